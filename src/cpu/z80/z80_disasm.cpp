#include "cpu/z80/z80_disasm.h"

#include <cstring>

#include "cpu/z80/z80.h"

namespace {

const char* const cb_rotations[8] = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SLI", "SRL"};
const char* const cb_bit_ops[4] = {"", "BIT", "RES", "SET"};
const char* const conditions[8] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
const char* const accumulator_ops[8] = {"ADD", "ADC", "SUB", "SBC", "AND", "XOR", "OR", "CP"};
// ADD, ADC and SBC name the accumulator; SUB, AND, XOR, OR and CP do not.
const bool accumulator_named[8] = {true, true, false, true, false, false, false, false};
const char* const rotate_a[8] = {"RLCA", "RRCA", "RLA", "RRA", "DAA", "CPL", "SCF", "CCF"};
const char* const block_ops[4][4] = {{"LDI", "CPI", "INI", "OUTI"},
                                     {"LDD", "CPD", "IND", "OUTD"},
                                     {"LDIR", "CPIR", "INIR", "OTIR"},
                                     {"LDDR", "CPDR", "INDR", "OTDR"}};
const char* const im_modes[4] = {"0", "0.5", "1", "2"};

const char* const reg_names[3][8] = {{"B", "C", "D", "E", "H", "L", "(HL)", "A"},
                                     {"B", "C", "D", "E", "HX", "LX", "(IX)", "A"},
                                     {"B", "C", "D", "E", "HY", "LY", "(IY)", "A"}};
const char* const pair_names[3] = {"HL", "IX", "IY"};

struct Decoder {
    Z80DisasmRequest& req;
    int prefix = 0;          // 0 none, 1 DD (IX), 2 FD (IY)
    uint32_t pos = 0;        // next byte to read
    bool uses_index = false; // the prefix changed something in this instruction
    bool marked = false;     // undocumented or prefix-ignoring form
    size_t ops_len = 0;

    explicit Decoder(Z80DisasmRequest& r) : req(r)
    {
        req.mnemonic[0] = '\0';
        req.operands[0] = '\0';
    }

    uint8_t next_byte()
    {
        // Never more than four bytes: the longest forms are DD CB d op, DD 36 d n, DD 21 nn.
        uint8_t b = req.code[pos < 4 ? pos : 3];
        ++pos;
        return b;
    }

    void mnemonic(const char* m)
    {
        std::strncpy(req.mnemonic, m, sizeof req.mnemonic - 1);
        req.mnemonic[sizeof req.mnemonic - 1] = '\0';
    }
    void put(const char* s)
    {
        while (*s && ops_len + 1 < sizeof req.operands)
            req.operands[ops_len++] = *s++;
        req.operands[ops_len] = '\0';
    }
    void comma() { put(","); }
    void byte(uint32_t v)
    {
        char t[format_operand_max_chars];
        format_byte_operand(t, v, req.flags);
        put(t);
    }
    void word(uint32_t v)
    {
        char t[format_operand_max_chars];
        format_word_operand(t, v, req.flags);
        put(t);
    }
    void imm8() { byte(next_byte()); }
    void imm16()
    {
        uint32_t lo = next_byte();
        uint32_t hi = next_byte();
        word(lo | (hi << 8));
    }
    void indirect16()
    {
        put("(");
        imm16();
        put(")");
    }
    // (IX+$hh) / (IX-$hh): sign and magnitude of the displacement.
    void indexed(uint8_t d)
    {
        uses_index = true;
        put(prefix == 1 ? "(IX" : "(IY");
        int v = static_cast<int8_t>(d);
        put(v < 0 ? "-" : "+");
        // The sign is already written: the magnitude must not get a second one.
        char t[format_operand_max_chars];
        format_byte_operand(t, static_cast<uint32_t>(v < 0 ? -v : v), req.flags & ~disasm_signed_bytes);
        put(t);
        put(")");
    }
    // Register by three opcode bits; (HL) becomes (IX+d) under a prefix. With
    // plain_halves the H and L names stay (LD H,(IX+d) keeps the real H).
    void reg(uint32_t n, bool plain_halves = false)
    {
        n &= 7;
        if (n == 6 && prefix) {
            indexed(next_byte());
            return;
        }
        int names = plain_halves ? 0 : prefix;
        if (names && (n == 4 || n == 5))
            uses_index = true;
        put(reg_names[names][n]);
    }
    void hl()
    {
        if (prefix)
            uses_index = true;
        put(pair_names[prefix]);
    }
    void pair(uint32_t p, bool af)
    {
        p &= 3;
        if (p == 2)
            hl();
        else
            put(p == 0 ? "BC" : p == 1 ? "DE" : af ? "AF" : "SP");
    }
    void relative()
    {
        int d = static_cast<int8_t>(next_byte());
        // The target counts from the byte after the whole instruction (prefix included).
        word((req.address + pos + d) & 0xFFFF);
    }
    void mark() { marked = true; }

    void finish()
    {
        if (marked)
            put(ops_len ? " *" : "*");
    }
};

void decode_cb(Decoder& d, uint8_t op, bool indexed, uint8_t disp)
{
    uint32_t x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    if (x == 0) {
        d.mnemonic(cb_rotations[y]);
        if (y == 6)
            d.mark();
    } else {
        d.mnemonic(cb_bit_ops[x]);
        char bit[3] = {static_cast<char>('0' + y), ',', '\0'};
        d.put(bit);
    }
    if (!indexed) {
        d.reg(z);
        return;
    }
    if (z != 6) {
        // Undocumented: the result also lands in a plain register (shown for rotations).
        if (x == 0) {
            d.put(reg_names[0][z]);
            d.comma();
        }
        d.mark();
    }
    d.indexed(disp);
}

void decode_ed(Decoder& d, uint8_t op)
{
    uint32_t x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    if (x == 2 && z <= 3 && y >= 4) {
        d.mnemonic(block_ops[y - 4][z]);
        return;
    }
    if (x != 1) {
        d.mnemonic("NOP");
        d.mark();
        return;
    }
    switch (z) {
    case 0:
        if (y == 6) {
            d.mnemonic("INF");
            return;
        }
        d.mnemonic("IN");
        d.reg(y);
        d.put(",(C)");
        return;
    case 1:
        d.mnemonic("OUT");
        d.put("(C),");
        if (y == 6) {
            d.put("0");
            d.mark();
        } else {
            d.reg(y);
        }
        return;
    case 2:
        d.mnemonic(q ? "ADC" : "SBC");
        d.put("HL,");
        d.pair(p, false);
        return;
    case 3:
        d.mnemonic("LD");
        if (q == 0) {
            d.indirect16();
            d.comma();
            d.pair(p, false);
        } else {
            d.pair(p, false);
            d.comma();
            d.indirect16();
        }
        if (p == 2) // the ED copy of LD (nn),HL / LD HL,(nn)
            d.mark();
        return;
    case 4:
        d.mnemonic("NEG");
        if (y != 0)
            d.mark();
        return;
    case 5:
        d.mnemonic(q ? "RETI" : "RETN");
        if (y > 1)
            d.mark();
        return;
    case 6:
        d.mnemonic("IM");
        d.put(im_modes[y & 3]);
        if (y != 0 && y != 2 && y != 3)
            d.mark();
        return;
    default: {
        static const char* const specials[8] = {"I,A", "R,A", "A,I", "A,R", "", "", "", ""};
        if (y < 4) {
            d.mnemonic("LD");
            d.put(specials[y]);
        } else if (y < 6) {
            d.mnemonic(y == 4 ? "RRD" : "RLD");
        } else {
            d.mnemonic("NOP");
            d.mark();
        }
        return;
    }
    }
}

void decode_main(Decoder& d, uint8_t op)
{
    uint32_t x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    if (x == 1) {
        if (op == 0x76) {
            d.mnemonic("HALT");
            return;
        }
        d.mnemonic("LD");
        bool memory = (y == 6 || z == 6);
        d.reg(y, memory);
        d.comma();
        d.reg(z, memory);
        return;
    }
    if (x == 2) {
        d.mnemonic(accumulator_ops[y]);
        if (accumulator_named[y])
            d.put("A,");
        d.reg(z);
        return;
    }
    if (x == 0) {
        switch (z) {
        case 0:
            if (y == 0) {
                d.mnemonic("NOP");
            } else if (y == 1) {
                d.mnemonic("EX");
                d.put("AF,AF'");
            } else if (y == 2) {
                d.mnemonic("DJNZ");
                d.relative();
            } else {
                d.mnemonic("JR");
                if (y >= 4) {
                    d.put(conditions[y - 4]);
                    d.comma();
                }
                d.relative();
            }
            return;
        case 1:
            if (q == 0) {
                d.mnemonic("LD");
                d.pair(p, false);
                d.comma();
                d.imm16();
            } else {
                d.mnemonic("ADD");
                d.hl();
                d.comma();
                d.pair(p, false);
            }
            return;
        case 2: {
            d.mnemonic("LD");
            static const char* const simple[2] = {"(BC)", "(DE)"};
            if (q == 0) {
                if (p < 2)
                    d.put(simple[p]);
                else
                    d.indirect16();
                d.comma();
                if (p == 2)
                    d.hl();
                else
                    d.put("A");
            } else {
                if (p == 2)
                    d.hl();
                else
                    d.put("A");
                d.comma();
                if (p < 2)
                    d.put(simple[p]);
                else
                    d.indirect16();
            }
            return;
        }
        case 3:
            d.mnemonic(q ? "DEC" : "INC");
            d.pair(p, false);
            return;
        case 4:
        case 5:
            d.mnemonic(z == 4 ? "INC" : "DEC");
            d.reg(y);
            return;
        case 6:
            d.mnemonic("LD");
            d.reg(y); // (IX+d): the displacement comes before the immediate
            d.comma();
            d.imm8();
            return;
        default:
            d.mnemonic(rotate_a[y]);
            return;
        }
    }
    // x == 3
    switch (z) {
    case 0:
        d.mnemonic("RET");
        d.put(conditions[y]);
        return;
    case 1:
        if (q == 0) {
            d.mnemonic("POP");
            d.pair(p, true);
            return;
        }
        switch (p) {
        case 0:
            d.mnemonic("RET");
            return;
        case 1:
            d.mnemonic("EXX");
            return;
        case 2:
            d.mnemonic("JP");
            d.put("(");
            d.hl();
            d.put(")");
            return;
        default:
            d.mnemonic("LD");
            d.put("SP,");
            d.hl();
            return;
        }
    case 2: // JP cc,nn
    case 4: // CALL cc,nn
        d.mnemonic(z == 2 ? "JP" : "CALL");
        d.put(conditions[y]);
        d.comma();
        d.imm16();
        return;
    case 3:
        switch (y) {
        case 0:
            d.mnemonic("JP");
            d.imm16();
            return;
        case 2:
            d.mnemonic("OUT");
            d.put("(");
            d.imm8();
            d.put("),A");
            return;
        case 3:
            d.mnemonic("IN");
            d.put("A,(");
            d.imm8();
            d.put(")");
            return;
        case 4:
            d.mnemonic("EX");
            d.put("(SP),");
            d.hl();
            return;
        case 5:
            d.mnemonic("EX");
            d.put("DE,HL"); // the prefix does not reach EX DE,HL
            return;
        case 6:
            d.mnemonic("DI");
            return;
        case 7:
            d.mnemonic("EI");
            return;
        default: // CB is decoded before this table
            return;
        }
    case 5:
        if (q == 0) {
            d.mnemonic("PUSH");
            d.pair(p, true);
        } else {
            d.mnemonic("CALL"); // p == 0; the prefixes are decoded before this table
            d.imm16();
        }
        return;
    case 6:
        d.mnemonic(accumulator_ops[y]);
        if (accumulator_named[y])
            d.put("A,");
        d.imm8();
        return;
    default:
        d.mnemonic("RST");
        d.byte(y * 8);
        return;
    }
}

} // namespace

uint32_t z80_disassemble(Z80DisasmRequest& request)
{
    Decoder d(request);
    uint8_t op = d.next_byte();
    if (op == 0xDD || op == 0xFD) {
        d.prefix = op == 0xDD ? 1 : 2;
        op = d.next_byte();
        if (op == 0xDD || op == 0xED || op == 0xFD) {
            // A prefix followed by another prefix acts alone, as a one-byte no-op.
            d.mnemonic("NOP");
            d.byte(request.code[0]);
            d.mark();
            d.finish();
            return 1;
        }
        if (op == 0xCB) {
            uint8_t disp = d.next_byte();
            uint8_t cb_op = d.next_byte();
            decode_cb(d, cb_op, true, disp);
            d.finish();
            return 4;
        }
        decode_main(d, op);
        if (!d.uses_index)
            d.mark();
        d.finish();
        return d.pos;
    }
    if (op == 0xCB)
        decode_cb(d, d.next_byte(), false, 0);
    else if (op == 0xED)
        decode_ed(d, d.next_byte());
    else
        decode_main(d, op);
    d.finish();
    return d.pos;
}

uint8_t z80_read_flat_byte(const void* memory, uint16_t address)
{
    return static_cast<const uint8_t*>(memory)[address];
}

std::string z80_disasm_line_text(uint16_t address, Z80ByteReader read, const void* context, uint16_t* next)
{
    Z80DisasmRequest req{};
    req.address = address;
    for (int i = 0; i < 4; ++i)
        req.code[i] = read(context, static_cast<uint16_t>(address + i));
    uint32_t length = z80_disassemble(req);

    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4X ", address);
    std::string line = buf;
    for (uint32_t i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, "%.2X ", req.code[i]);
        line += buf;
    }
    line.append(13 - 3 * length, ' ');
    std::snprintf(buf, sizeof buf, "%-5s", req.mnemonic);
    line += buf;
    line += req.operands;
    line += '\n';
    if (next)
        *next = static_cast<uint16_t>(address + length);
    return line;
}

uint16_t z80_print_disasm_line(FILE* out, uint16_t address, Z80ByteReader read, const void* context)
{
    uint16_t next = 0;
    std::fputs(z80_disasm_line_text(address, read, context, &next).c_str(), out);
    return next;
}

uint16_t z80_write_disasm_dump(FILE* out, uint16_t start, uint16_t end, Z80ByteReader read, const void* context)
{
    // A wider counter: a dump up to 0xFFFF must end rather than wrap to 0.
    uint32_t address = start;
    while (address <= end) {
        uint16_t next = z80_print_disasm_line(out, static_cast<uint16_t>(address), read, context);
        address += static_cast<uint16_t>(next - address);
    }
    return static_cast<uint16_t>(address);
}

std::string z80_flag_string(uint8_t f)
{
    const char letters[] = "SZ5H3PNC";
    std::string s(8, '-');
    for (int i = 0; i < 8; ++i)
        if (f & (0x80 >> i))
            s[i] = letters[i];
    return s;
}

std::string z80_register_dump_text(const Z80State& cpu, int ticks_shift, Z80ByteReader read, const void* context)
{
    if (ticks_shift < 0)
        ticks_shift = 0;
    if (ticks_shift > 31)
        ticks_shift = 31;
    int32_t tstates = cpu.ticks >> ticks_shift;
    unsigned ir = (cpu.i << 8) | z80_visible_r(&cpu);

    char lines[5][96];
    std::snprintf(lines[0], sizeof lines[0], " HL=%.4X  HL'=%.4X  IX=%.4X    PC=%.4X    ", cpu.hl, cpu.hl_alt, cpu.ix,
                  cpu.pc);
    std::snprintf(lines[1], sizeof lines[1], " DE=%.4X  DE'=%.4X  IY=%.4X    SP=%.4X    ", cpu.de, cpu.de_alt, cpu.iy,
                  cpu.sp);
    std::snprintf(lines[2], sizeof lines[2], " BC=%.4X  BC'=%.4X  IR=%.4X  CTR=%.5d    ", cpu.bc, cpu.bc_alt, ir,
                  static_cast<int>(tstates));
    std::snprintf(lines[3], sizeof lines[3], "%42s", "");
    std::snprintf(lines[4], sizeof lines[4], " AF=%.2X %.2X  AF'=%.2X %.2X %cI Flags=%s    ", cpu.a, cpu.f,
                  cpu.af_alt & 0xFF, cpu.af_alt >> 8, z80_iff1(&cpu) ? 'E' : 'D', z80_flag_string(cpu.f).c_str());

    std::string text;
    uint16_t address = cpu.pc;
    for (const auto& line : lines) {
        text += line;
        text += z80_disasm_line_text(address, read, context, &address);
    }
    text += "\n\n";
    return text;
}

void z80_print_register_dump(FILE* out, const Z80State& cpu, int ticks_shift, Z80ByteReader read,
                             const void* context)
{
    std::fputs(z80_register_dump_text(cpu, ticks_shift, read, context).c_str(), out);
}
