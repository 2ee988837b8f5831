#include "cpu/pdp11/pdp11_disasm.h"

#include <cctype>
#include <cstring>

#include "cpu/pdp11/pdp11.h"

namespace {

// Builds one output text with a bound; everything past the end is dropped.
struct Text {
    char* buf;
    size_t cap;
    size_t len = 0;

    Text(char* b, size_t c) : buf(b), cap(c) { buf[0] = '\0'; }
    void put(char c)
    {
        if (len + 1 < cap) {
            buf[len++] = c;
            buf[len] = '\0';
        }
    }
    void put(const char* s)
    {
        while (*s)
            put(*s++);
    }
    void put_cased(const char* s, bool lower)
    {
        for (; *s; ++s)
            put(lower ? static_cast<char>(std::tolower(static_cast<unsigned char>(*s))) : *s);
    }
    void word(uint32_t value, uint32_t options)
    {
        char tmp[format_operand_max_chars];
        format_word_operand(tmp, value, options);
        put(tmp);
    }
    void byte(uint32_t value, uint32_t options)
    {
        char tmp[format_operand_max_chars];
        format_byte_operand(tmp, value, options);
        put(tmp);
    }
};

const char* const register_names[8] = {"R0", "R1", "R2", "R3", "R4", "R5", "SP", "PC"};

// Index values and the ASH/ASHC and JSR immediates: signed, no leading zeros.
constexpr uint32_t signed_trimmed = disasm_no_leading_zeros | disasm_signed_words;

// Decoding state of one instruction: the words and how many were consumed.
struct Decoder {
    DisasmRequest& req;
    Text ops;
    uint32_t options;
    uint16_t words[3];
    uint32_t used = 1; // words consumed so far (the opcode word)

    explicit Decoder(DisasmRequest& r) : req(r), ops(r.operands, sizeof r.operands), options(r.options)
    {
        for (int i = 0; i < 3; ++i)
            words[i] = static_cast<uint16_t>((r.code[2 * i] << 8) | r.code[2 * i + 1]);
    }

    // Next extra word and its address; the decoder never reads past three words
    // (a two-operand instruction needs at most two extra words).
    uint16_t extra(uint16_t* where)
    {
        *where = static_cast<uint16_t>(req.address + 2 * used);
        return words[used++];
    }

    void reg(uint32_t r) { ops.put_cased(register_names[r & 7], options & disasm_lower_registers); }
    void special(const char* name) { ops.put_cased(name, options & disasm_lower_special); }

    enum class Imm { word, byte, signed_word };

    // One operand in mode/register form (six bits).
    void operand(uint32_t field, Imm imm, bool jsr_target = false)
    {
        uint32_t mode = (field >> 3) & 7, r = field & 7;
        uint16_t where = 0;
        if (r == 7 && (mode == 2 || mode == 3 || mode == 6 || mode == 7)) {
            uint16_t x = extra(&where);
            switch (mode) {
            case 2:
                ops.put('#');
                if (imm == Imm::byte)
                    ops.byte(x, options);
                else if (imm == Imm::signed_word)
                    ops.word(x, options | signed_trimmed);
                else
                    ops.word(x, options);
                return;
            case 3:
                ops.put("(#");
                ops.word(x, options);
                ops.put(')');
                return;
            case 7:
                ops.put('@');
                [[fallthrough]];
            case 6: {
                uint16_t target = static_cast<uint16_t>(where + 2 + x);
                bool bare = jsr_target && mode == 6;
                if (!bare)
                    ops.put('(');
                ops.word(target, options);
                if (!bare)
                    ops.put(')');
                return;
            }
            }
        }
        switch (mode) {
        case 0:
            reg(r);
            return;
        case 1:
            ops.put('(');
            reg(r);
            ops.put(')');
            return;
        case 3:
            ops.put('@');
            [[fallthrough]];
        case 2:
            ops.put('(');
            reg(r);
            ops.put(")+");
            return;
        case 5:
            ops.put('@');
            [[fallthrough]];
        case 4:
            ops.put("-(");
            reg(r);
            ops.put(')');
            return;
        case 7:
            ops.put('@');
            [[fallthrough]];
        default: { // 6
            uint16_t x = extra(&where);
            ops.word(x, options | signed_trimmed);
            ops.put('(');
            reg(r);
            ops.put(')');
            return;
        }
        }
    }

    void comma() { ops.put(','); }
    void word_target(uint32_t target) { ops.word(target & 0xFFFF, options); }
};

void set_mnemonic(DisasmRequest& req, const char* name, bool byte_form = false)
{
    Text m(req.mnemonic, sizeof req.mnemonic);
    bool lower = (req.options & disasm_lower_mnemonics) != 0;
    m.put_cased(name, lower);
    if (byte_form)
        m.put(lower ? 'b' : 'B');
}

// An opcode with no instruction: NOP and "*".
void undefined(Decoder& d)
{
    set_mnemonic(d.req, "NOP");
    d.ops.put('*');
}

const char* const branch_names[16] = {"",    "BR",  "BNE", "BEQ", "BGE", "BLT", "BGT",  "BLE",
                                      "BPL", "BMI", "BHI", "BLOS", "BVC", "BVS", "BCC", "BCS"};

void condition_codes(Decoder& d, uint32_t op)
{
    uint32_t flags = op & 0xF;
    bool set = (op & 0x10) != 0;
    if (flags == 0 && !set) { // 000240; 000260 is "SE" of no flag
        set_mnemonic(d.req, "NOP");
        return;
    }
    if (flags == 0xF) {
        set_mnemonic(d.req, set ? "SCC" : "CCC");
        return;
    }
    char name[8] = {set ? 'S' : 'C', set ? 'E' : 'L'};
    size_t n = 2;
    const char letters[4] = {'C', 'V', 'Z', 'N'};
    for (int bit = 0; bit < 4; ++bit)
        if (flags & (1u << bit))
            name[n++] = letters[bit];
    name[n] = '\0';
    set_mnemonic(d.req, name);
}

// 000000-000077: machine control and the HALT-mode group.
void control_group(Decoder& d, uint32_t op)
{
    static const char* const basic[8] = {"HALT", "WAIT", "RTI", "BPT", "IOT", "RESET", "RTT", "MFPT"};
    if (op < 8) {
        set_mnemonic(d.req, basic[op]);
        if (op == 7)
            d.ops.put('*');
        return;
    }
    if (op >= 040) {
        undefined(d);
        return;
    }
    if (op < 014) {
        set_mnemonic(d.req, "START");
        return;
    }
    if (op < 020) {
        set_mnemonic(d.req, "STEP");
        return;
    }
    switch (op) {
    case 020:
    case 030:
        set_mnemonic(d.req, "RD");
        d.special("(SEL)");
        d.comma();
        d.reg(0);
        return;
    case 021:
        set_mnemonic(d.req, "URD");
        d.operand(025, Decoder::Imm::word); // (R5)+
        d.comma();
        d.reg(0);
        return;
    case 031:
        set_mnemonic(d.req, "UWR");
        d.reg(0);
        d.comma();
        d.operand(045, Decoder::Imm::word); // -(R5)
        return;
    }
    bool write = op >= 030;
    bool psw = (op & 4) != 0;
    set_mnemonic(d.req, write ? (psw ? "WRPS" : "WRPC") : (psw ? "RDPS" : "RDPC"));
    if (write) {
        d.reg(0);
        d.comma();
    }
    d.special(psw ? "PSW'" : "PC'");
    if (!write) {
        d.comma();
        d.reg(0);
    }
}

// 0004xx-0037xx and 1000xx-1037xx: the branches, a signed word offset from the next
// instruction in the low byte.
void branch(Decoder& d, uint32_t op)
{
    set_mnemonic(d.req, branch_names[((op >> 12) & 8) | ((op >> 8) & 7)]);
    d.word_target(d.req.address + 2 + 2 * static_cast<int8_t>(op & 0xFF));
}

// 0050dd-0077dd and their byte forms 1050dd-1077dd: CLR to ASL, then MARK (its number is
// not shown) or MTPS, two undefined rows, SXT or MFPS, and undefined rows up to 0077.
void single_operand(Decoder& d, uint32_t op)
{
    static const char* const names[12] = {"CLR", "COM", "INC", "DEC", "NEG", "ADC",
                                          "SBC", "TST", "ROR", "ROL", "ASR", "ASL"};
    const bool byte_form = (op & 0100000) != 0;
    const uint32_t code = (op >> 6) & 077, dst = op & 077;
    const Decoder::Imm imm = byte_form ? Decoder::Imm::byte : Decoder::Imm::word;
    if (code < 064) {
        set_mnemonic(d.req, names[code - 050], byte_form);
        d.operand(dst, imm);
    } else if (code == 065 || code == 066 || code >= 070) {
        undefined(d);
    } else if (code == 064 && !byte_form) {
        set_mnemonic(d.req, "MARK");
    } else {
        set_mnemonic(d.req, code == 064 ? "MTPS" : byte_form ? "MFPS" : "SXT");
        d.operand(dst, imm);
    }
}

// 000000-004777: everything below the single-operand rows.
void zero_group(Decoder& d, uint32_t op)
{
    using Imm = Decoder::Imm;
    uint32_t dst = op & 077;
    if (op < 0100) {
        control_group(d, op);
    } else if (op < 0200) {
        set_mnemonic(d.req, "JMP");
        d.operand(dst, Imm::word);
    } else if (op < 0210) {
        set_mnemonic(d.req, "RTS");
        if ((op & 7) != 7)
            d.reg(op & 7);
    } else if (op < 0240) {
        undefined(d);
    } else if (op < 0300) {
        condition_codes(d, op);
    } else if (op < 0400) {
        set_mnemonic(d.req, "SWAB");
        d.operand(dst, Imm::word);
    } else if (op < 04000) {
        branch(d, op);
    } else {
        set_mnemonic(d.req, "JSR");
        uint32_t r = (op >> 6) & 7;
        if (r != 7) {
            d.reg(r);
            d.comma();
        }
        d.operand(dst, Imm::signed_word, true);
    }
}

// 07xxxx: the EIS group, XOR, FLOAT and SOB.
void eis_group(Decoder& d, uint32_t op)
{
    using Imm = Decoder::Imm;
    uint32_t r = (op >> 6) & 7, operand = op & 077;
    switch ((op >> 9) & 7) {
    case 0:
    case 1:
    case 2:
    case 3: {
        static const char* const names[4] = {"MUL", "DIV", "ASH", "ASHC"};
        uint32_t which = (op >> 9) & 7;
        set_mnemonic(d.req, names[which]);
        d.operand(operand, which >= 2 ? Imm::signed_word : Imm::word);
        d.comma();
        d.reg(r);
        return;
    }
    case 4:
        set_mnemonic(d.req, "XOR");
        d.reg(r);
        d.comma();
        d.operand(operand, Imm::word);
        return;
    case 5:
        set_mnemonic(d.req, "FLOAT");
        d.reg(op & 7);
        return;
    case 6:
        undefined(d);
        return;
    default:
        set_mnemonic(d.req, "SOB");
        d.reg(r);
        d.comma();
        d.word_target(d.req.address + 2 - 2 * (op & 077));
        return;
    }
}

// 100000-104777: the byte group below its single-operand rows.
void byte_zero_group(Decoder& d, uint32_t op)
{
    uint32_t low = op & 077777;
    if (low < 04000) {
        branch(d, op);
    } else if (low < 04400) {
        set_mnemonic(d.req, "EMT");
        d.ops.byte(op & 0xFF, d.options);
    } else {
        set_mnemonic(d.req, "TRAP");
        d.ops.byte(op & 0xFF, d.options);
    }
}

void double_operand(Decoder& d, uint32_t op)
{
    using Imm = Decoder::Imm;
    bool byte_form = (op & 0100000) != 0;
    uint32_t kind = (op >> 12) & 7;
    uint32_t src = (op >> 6) & 077, dst = op & 077;
    bool rewrite = (d.options & disasm_standard_names) == 0;
    Imm imm = byte_form ? Imm::byte : Imm::word;

    if (byte_form && kind == 6) { // 16xxxx is SUB, a word instruction
        set_mnemonic(d.req, "SUB");
        d.operand(src, Imm::word);
        d.comma();
        d.operand(dst, Imm::word);
        return;
    }
    static const char* const names[7] = {"", "MOV", "CMP", "BIT", "BIC", "BIS", "ADD"};
    const char* name = names[kind];
    if (rewrite && kind == 1 && !byte_form) {
        if (dst == 046) { // MOV src,-(SP)
            set_mnemonic(d.req, "PUSH");
            d.operand(src, imm);
            return;
        }
        if (src == 026) { // MOV (SP)+,dst
            set_mnemonic(d.req, "POP");
            d.operand(dst, imm);
            return;
        }
    }
    if (rewrite && kind == 5)
        name = "OR";
    if (rewrite && kind == 4 && src == 027) { // BIC #n: AND with the complement
        set_mnemonic(d.req, "AND", byte_form);
        uint16_t where;
        uint16_t x = static_cast<uint16_t>(~d.extra(&where));
        d.ops.put('#');
        if (byte_form)
            d.ops.byte(x, d.options);
        else
            d.ops.word(x, d.options);
        d.comma();
        d.operand(dst, imm);
        return;
    }
    set_mnemonic(d.req, name, byte_form);
    d.operand(src, imm);
    d.comma();
    d.operand(dst, imm);
}

} // namespace

void disasm_set_words(DisasmRequest& request, uint16_t word0, uint16_t word1, uint16_t word2)
{
    const uint16_t words[3] = {word0, word1, word2};
    for (int i = 0; i < 3; ++i) {
        request.code[2 * i] = static_cast<uint8_t>(words[i] >> 8);
        request.code[2 * i + 1] = static_cast<uint8_t>(words[i]);
    }
}

uint32_t disassemble(DisasmRequest& request)
{
    request.mnemonic[0] = '\0';
    Decoder d(request);
    uint32_t op = d.words[0];
    uint32_t top = (op >> 12) & 7;
    if (op >= 0170000)
        undefined(d);
    else if (top == 0 && (op & 07777) >= 05000)
        single_operand(d, op);
    else if (top == 0)
        (op & 0100000) ? byte_zero_group(d, op) : zero_group(d, op);
    else if (top == 7)
        eis_group(d, op); // 07xxxx (17xxxx is taken above)
    else
        double_operand(d, op);
    return 2 * d.used;
}

uint16_t pdp11_read_flat_word(const void* memory, uint16_t address)
{
    const uint8_t* m = static_cast<const uint8_t*>(memory);
    uint16_t a = static_cast<uint16_t>(address & 0xFFFE);
    return static_cast<uint16_t>(m[a] | (m[a + 1] << 8));
}

std::string pdp11_disasm_line_text(uint16_t address, Pdp11WordReader read, const void* context, bool file_form,
                                   uint16_t* next)
{
    uint16_t words[3];
    for (int i = 0; i < 3; ++i)
        words[i] = read(context, static_cast<uint16_t>((address + 2 * i) & 0xFFFE));
    DisasmRequest req{};
    req.address = address;
    disasm_set_words(req, words[0], words[1], words[2]);
    uint32_t length = disassemble(req);

    char buf[160];
    int n = std::snprintf(buf, sizeof buf, "%.4X  ", address);
    std::string line(buf, static_cast<size_t>(n));
    size_t column = line.size();
    for (uint32_t i = 0; i < length / 2; ++i) {
        std::snprintf(buf, sizeof buf, "%.4X ", words[i]);
        line += buf;
    }
    line.resize(column + 16, ' ');
    std::snprintf(buf, sizeof buf, "%-6s", req.mnemonic);
    line += buf;
    std::snprintf(buf, sizeof buf, file_form ? "%-32s" : "%s", req.operands);
    line += buf;
    if (next)
        *next = static_cast<uint16_t>(address + length);
    return line;
}

uint16_t pdp11_print_disasm_line(FILE* out, uint16_t address, Pdp11WordReader read, const void* context)
{
    uint16_t next = 0;
    std::string line = pdp11_disasm_line_text(address, read, context, false, &next);
    line += '\n';
    std::fputs(line.c_str(), out);
    return next;
}

uint16_t pdp11_write_file_disasm_line(FILE* out, uint16_t address, Pdp11WordReader read, const void* context)
{
    uint16_t next = 0;
    std::fputs(pdp11_disasm_line_text(address, read, context, true, &next).c_str(), out);
    return next;
}

uint16_t pdp11_write_disasm_dump(FILE* out, uint16_t start, uint16_t end, Pdp11WordReader read,
                                 const void* context)
{
    // A wider counter: a dump up to 0xFFFF must end rather than wrap to 0.
    uint32_t address = start;
    do {
        uint16_t next = pdp11_write_file_disasm_line(out, static_cast<uint16_t>(address), read, context);
        std::fputc('\n', out);
        uint32_t length = static_cast<uint16_t>(next - address);
        address += length;
    } while (address <= end);
    return static_cast<uint16_t>(address);
}

void pdp11_write_trace_line(FILE* out, uint16_t pc, Pdp11WordReader read, const void* context)
{
    std::fputc('\n', out);
    pdp11_write_file_disasm_line(out, pc, read, context);
}

std::string pdp11_flag_string(uint32_t psw)
{
    const char letters[] = "HP65TNZVC";
    std::string s(9, '-');
    s[0] = (psw & 0x100) ? 'H' : 'U';
    for (int i = 1; i < 9; ++i)
        if (psw & (1u << (8 - i)))
            s[i] = letters[i];
    return s;
}

std::string pdp11_register_dump_text(const Pdp11Cpu& cpu, const char* caption, Pdp11WordReader read,
                                     const void* context)
{
    // The budget in cycles; a processor record without a speed factor yet shows the raw budget.
    int32_t speed = cpu.speedFactor != 0 ? cpu.speedFactor : 1;
    int64_t cycles = static_cast<int64_t>(cpu.cycleBudget) / speed;

    char lines[5][96];
    std::snprintf(lines[0], sizeof lines[0], " R0=%.4X  R4=%.4X  PSW =%.4X     ", cpu.r[0] & 0xFFFF,
                  cpu.r[4] & 0xFFFF, cpu.psw & 0xFFFF);
    std::snprintf(lines[1], sizeof lines[1], " R1=%.4X  R5=%.4X  PSW'=%.4X     ", cpu.r[1] & 0xFFFF,
                  cpu.r[5] & 0xFFFF, cpu.savedPsw & 0xFFFF);
    std::snprintf(lines[2], sizeof lines[2], " R2=%.4X  SP=%.4X  PC' =%.4X     ", cpu.r[2] & 0xFFFF,
                  cpu.r[6] & 0xFFFF, cpu.savedPc & 0xFFFF);
    std::snprintf(lines[3], sizeof lines[3], " R3=%.4X  PC=%.4X  Ctr=%.6lld    ", cpu.r[3] & 0xFFFF,
                  cpu.r[7] & 0xFFFF, static_cast<long long>(cycles));
    std::snprintf(lines[4], sizeof lines[4], " Flags = %s  %s", pdp11_flag_string(cpu.psw).c_str(),
                  caption ? caption : "");

    std::string text;
    uint16_t address = static_cast<uint16_t>(cpu.r[7]);
    for (const auto& line : lines) {
        text += line;
        text += pdp11_disasm_line_text(address, read, context, false, &address);
        text += '\n';
    }
    text += "\n\n";
    return text;
}

void pdp11_print_register_dump(FILE* out, const Pdp11Cpu& cpu, const char* caption, Pdp11WordReader read,
                               const void* context)
{
    std::fputs(pdp11_register_dump_text(cpu, caption, read, context).c_str(), out);
}
