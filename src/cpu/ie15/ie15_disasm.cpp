// 15IE disassembler: a descriptor per opcode (mnemonic and two operand kinds),
// derived from the opcode's nibbles the way the execution templates are.

#include "cpu/ie15/ie15_disasm.h"

#include <array>
#include <cstring>

#include "cpu/ie15/ie15.h"

namespace {

const char* const mnemonics[] = {
    "nop", "", "skip", "ld", "add", "and", "xor", "rol", "ror", "cpl", "clr", "set",
    "inc", "dec", "incsn", "decsn", "incsp", "decsp", "skipc", "skips", "cmpsz", "jmp", "in", "out",
};
enum Mnemonic : uint8_t {
    NOP, EMPTY, SKIP, LD, ADD, AND, XOR, ROL, ROR, CPL, CLR, SET,
    INC, DEC, INCSN, DECSN, INCSP, DECSP, SKIPC, SKIPS, CMPSZ, JMP, IN, OUT,
};

const char* const out_port_names[16] = {
    "Data", "DNop", "AdrH", "AdrL", "AInc", "ADec", "$6 *", "TDAT",
    "SND", "$9 *", "$A *", "$B *", "$C *", "KFK", "Page1", "Page0",
};
const char* const in_port_names[16] = {
    "Data", "RRDY", "$2 *", "$3 *", "4 *", "5 *", "6 *", "cFF",
    "TRDY", "KDAT", "KRED", "KFK", "KSDV", "KDK", "KDUP", "KLIN",
};
const char* const condition_names[8] = {"HBlank", "Marker", "VBlank", "KOI7", "RusLat", "S", "C", "c0"};
const char* const control_names[8] = {"VDisab", "Marker", "SNDLen", "SysLin", "RusLat", "CLRC", "6 *", "KOI7"};

// Operand kinds; an undefined kind prints "*".
enum Operand : uint8_t { NONE, ACC, REG, TARGET, IN_PORT, OUT_PORT, CONDITION, CONTROL, BYTE, UNDEFINED };

struct Descriptor {
    uint8_t mnemonic;
    uint8_t first;
    uint8_t second;
    uint8_t length;
};

constexpr Descriptor describe(int op)
{
    const int h = op >> 4, n = op & 15;
    switch (h) {
    case 0x0: return {ADD, ACC, REG, 1};
    case 0x1: return {JMP, TARGET, NONE, 2};
    case 0x2: return {LD, REG, BYTE, 2};
    case 0x3:
        if (n == 0) return {LD, ACC, BYTE, 2};
        if (n == 3) return {ROL, ACC, NONE, 1};
        if (n == 5) return {ROR, ACC, NONE, 1};
        return {NOP, UNDEFINED, NONE, 1};
    case 0x4: return {DECSN, REG, NONE, 1};
    case 0x5:
        switch (n) {
        case 0x0: return {INCSN, ACC, NONE, 1};
        case 0x1: return {INC, ACC, NONE, 1};
        case 0x2: return {DECSN, ACC, NONE, 1};
        case 0x8: return {INCSP, ACC, NONE, 1};
        case 0xA: return {DECSP, ACC, NONE, 1};
        case 0xB: return {DEC, ACC, NONE, 1};
        case 0xD: return {CPL, ACC, NONE, 1};
        case 0xF: return {CLR, ACC, NONE, 1};
        default: return {NOP, UNDEFINED, NONE, 1};
        }
    case 0x6: return {IN, ACC, IN_PORT, 1};
    case 0x7: return {JMP, REG, NONE, 1};
    case 0x8:
        if (n == 7) return {SKIP, NONE, NONE, 1};  // flag 7 is never set: always skips
        return {n < 8 ? SKIPC : SKIPS, CONDITION, NONE, 1};
    case 0x9: return {AND, ACC, REG, 1};
    case 0xA: return {XOR, ACC, REG, 1};
    case 0xB: return {CMPSZ, ACC, REG, 1};
    case 0xC: return {n < 8 ? CLR : SET, CONTROL, NONE, 1};
    case 0xD: return {LD, ACC, REG, 1};
    case 0xE: return {LD, REG, ACC, 1};
    default: return {OUT, OUT_PORT, ACC, 1};
    }
}

constexpr std::array<Descriptor, 256> make_descriptors()
{
    std::array<Descriptor, 256> table{};
    for (int op = 0; op < 256; ++op) table[op] = describe(op);
    return table;
}
constexpr std::array<Descriptor, 256> descriptors = make_descriptors();

char* put_text(char* out, const char* text)
{
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length + 1);
    return out + length;
}

// A decimal number after an optional letter (prefix 0: none).
char* put_number(char* out, char prefix, int number)
{
    if (prefix) *out++ = prefix;
    if (number >= 10) *out++ = static_cast<char>('0' + number / 10);
    *out++ = static_cast<char>('0' + number % 10);
    *out = '\0';
    return out;
}

char* put_port(char* out, const char* name, int port, bool names)
{
    *out++ = '(';
    out = names ? put_text(out, name) : put_number(out, 0, port);
    return put_text(out, ")");
}

char* put_operand(char* out, uint8_t kind, const Ie15DisasmRequest& request)
{
    const int op = request.code[0], n = op & 15;
    const bool names = (request.options & ie15_disasm_numbers) == 0;
    switch (kind) {
    case ACC: return put_text(out, "a");
    case REG: return put_number(out, 'r', n);
    case TARGET: return format_word_operand(out, n * 256 + request.code[1] + 1, request.options);
    case IN_PORT: return put_port(out, in_port_names[n], n, names);
    case OUT_PORT: return put_port(out, out_port_names[n], n, names);
    case CONDITION: return names ? put_text(out, condition_names[n & 7]) : put_number(out, 'f', n & 7);
    case CONTROL: return names ? put_text(out, control_names[n & 7]) : put_number(out, 'f', n & 7);
    case BYTE: return format_byte_operand(out, request.code[1], request.options);
    default: return put_text(out, "*");
    }
}

}  // namespace

uint32_t ie15_disassemble(Ie15DisasmRequest& request)
{
    const Descriptor& d = descriptors[request.code[0]];
    std::strcpy(request.mnemonic, mnemonics[d.mnemonic]);
    char* out = request.operands;
    *out = '\0';
    if (d.first != NONE) out = put_operand(out, d.first, request);
    if (d.second != NONE) {
        out = put_text(out, ",");
        put_operand(out, d.second, request);
    }
    return d.length;
}
