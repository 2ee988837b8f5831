// Z80 disassembler, disassembly line, dump and register dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "cpu/z80/z80.h"
#include "cpu/z80/z80_disasm.h"

namespace {

struct Result {
    std::string text; // mnemonic, a blank and the operands (no blank without operands)
    uint32_t length;
};

Result dis(std::initializer_list<uint8_t> bytes, uint16_t address = 0x8000)
{
    Z80DisasmRequest req{};
    req.address = address;
    size_t i = 0;
    for (uint8_t b : bytes)
        req.code[i++] = b;
    uint32_t length = z80_disassemble(req);
    std::string text = req.mnemonic;
    if (req.operands[0])
        text += std::string(" ") + req.operands;
    return {text, length};
}

std::string file_contents(FILE* f)
{
    std::rewind(f);
    std::string s;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        s += static_cast<char>(c);
    std::fclose(f);
    return s;
}

} // namespace

TEST(Z80Disasm, PrefixRules)
{
    EXPECT_EQ(dis({0x00}).text, "NOP");
    EXPECT_EQ(dis({0x00}).length, 1u);
    EXPECT_EQ(dis({0xDD, 0x00}).text, "NOP *");
    EXPECT_EQ(dis({0xDD, 0x00}).length, 2u);
    EXPECT_EQ(dis({0xDD, 0xDD}).text, "NOP $DD *");
    EXPECT_EQ(dis({0xDD, 0xDD}).length, 1u);
    EXPECT_EQ(dis({0xFD, 0xED, 0x45}).text, "NOP $FD *");
    EXPECT_EQ(dis({0xFD, 0xED}).length, 1u);
    EXPECT_EQ(dis({0xDD, 0xFD}).text, "NOP $DD *");
    // The prefix has nothing to change in these.
    EXPECT_EQ(dis({0xDD, 0xEB}).text, "EX DE,HL *");
    EXPECT_EQ(dis({0xFD, 0x76}).text, "HALT *");
    EXPECT_EQ(dis({0xDD, 0x41}).text, "LD B,C *");
    EXPECT_EQ(dis({0xDD, 0x3E, 0x12}).text, "LD A,$12 *");
    EXPECT_EQ(dis({0xDD, 0x3E, 0x12}).length, 3u);
}

TEST(Z80Disasm, IndexRegisters)
{
    EXPECT_EQ(dis({0xDD, 0x7E, 0x05}).text, "LD A,(IX+$05)");
    EXPECT_EQ(dis({0xDD, 0x7E, 0x05}).length, 3u);
    EXPECT_EQ(dis({0xFD, 0x77, 0xFB}).text, "LD (IY-$05),A");
    EXPECT_EQ(dis({0xDD, 0x86, 0x80}).text, "ADD A,(IX-$80)");
    EXPECT_EQ(dis({0xDD, 0x34, 0x7F}).text, "INC (IX+$7F)");
    EXPECT_EQ(dis({0xDD, 0x36, 0x05, 0x12}).text, "LD (IX+$05),$12");
    EXPECT_EQ(dis({0xDD, 0x36, 0x05, 0x12}).length, 4u);
    EXPECT_EQ(dis({0xDD, 0x66, 0x05}).text, "LD H,(IX+$05)"); // the real H, not HX
    EXPECT_EQ(dis({0xFD, 0x75, 0x00}).text, "LD (IY+$00),L");
    EXPECT_EQ(dis({0xDD, 0x26, 0x12}).text, "LD HX,$12");
    EXPECT_EQ(dis({0xFD, 0x6C}).text, "LD LY,HY");
    EXPECT_EQ(dis({0xDD, 0x44}).text, "LD B,HX");
    EXPECT_EQ(dis({0xFD, 0x95}).text, "SUB LY");
    EXPECT_EQ(dis({0xDD, 0x21, 0x34, 0x12}).text, "LD IX,$1234");
    EXPECT_EQ(dis({0xDD, 0x21, 0x34, 0x12}).length, 4u);
    EXPECT_EQ(dis({0xFD, 0x2A, 0x34, 0x12}).text, "LD IY,($1234)");
    EXPECT_EQ(dis({0xDD, 0x22, 0x34, 0x12}).text, "LD ($1234),IX");
    EXPECT_EQ(dis({0xDD, 0x09}).text, "ADD IX,BC");
    EXPECT_EQ(dis({0xFD, 0x29}).text, "ADD IY,IY");
    EXPECT_EQ(dis({0xDD, 0xE9}).text, "JP (IX)");
    EXPECT_EQ(dis({0xFD, 0xE3}).text, "EX (SP),IY");
    EXPECT_EQ(dis({0xDD, 0xF9}).text, "LD SP,IX");
    EXPECT_EQ(dis({0xDD, 0xE5}).text, "PUSH IX");
}

TEST(Z80Disasm, BitGroup)
{
    EXPECT_EQ(dis({0xCB, 0x00}).text, "RLC B");
    EXPECT_EQ(dis({0xCB, 0x00}).length, 2u);
    EXPECT_EQ(dis({0xCB, 0x1E}).text, "RR (HL)");
    EXPECT_EQ(dis({0xCB, 0x37}).text, "SLI A *");
    EXPECT_EQ(dis({0xCB, 0x3F}).text, "SRL A");
    EXPECT_EQ(dis({0xCB, 0x7E}).text, "BIT 7,(HL)");
    EXPECT_EQ(dis({0xCB, 0xFF}).text, "SET 7,A");
    EXPECT_EQ(dis({0xDD, 0xCB, 0x05, 0x06}).text, "RLC (IX+$05)");
    EXPECT_EQ(dis({0xDD, 0xCB, 0x05, 0x06}).length, 4u);
    EXPECT_EQ(dis({0xDD, 0xCB, 0x05, 0x00}).text, "RLC B,(IX+$05) *");
    EXPECT_EQ(dis({0xDD, 0xCB, 0xFB, 0xC6}).text, "SET 0,(IX-$05)");
    EXPECT_EQ(dis({0xFD, 0xCB, 0x01, 0x36}).text, "SLI (IY+$01) *");
    EXPECT_EQ(dis({0xFD, 0xCB, 0x01, 0x34}).text, "SLI H,(IY+$01) *");
    EXPECT_EQ(dis({0xFD, 0xCB, 0x01, 0x46}).text, "BIT 0,(IY+$01)");
    EXPECT_EQ(dis({0xFD, 0xCB, 0x01, 0x47}).text, "BIT 0,(IY+$01) *");
    EXPECT_EQ(dis({0xDD, 0xCB, 0x01, 0xBF}).text, "RES 7,(IX+$01) *");
}

TEST(Z80Disasm, ExtendedGroup)
{
    EXPECT_EQ(dis({0xED, 0x45}).text, "RETN");
    EXPECT_EQ(dis({0xED, 0x55}).text, "RETN *");
    EXPECT_EQ(dis({0xED, 0x4D}).text, "RETI");
    EXPECT_EQ(dis({0xED, 0x7D}).text, "RETI *");
    EXPECT_EQ(dis({0xED, 0x00}).text, "NOP *");
    EXPECT_EQ(dis({0xED, 0x00}).length, 2u);
    EXPECT_EQ(dis({0xED, 0x77}).text, "NOP *");
    EXPECT_EQ(dis({0xED, 0xA4}).text, "NOP *");
    EXPECT_EQ(dis({0xED, 0x44}).text, "NEG");
    for (uint8_t op : {0x4C, 0x54, 0x5C, 0x64, 0x6C, 0x74, 0x7C})
        EXPECT_EQ(dis({0xED, op}).text, "NEG *");
    EXPECT_EQ(dis({0xED, 0x46}).text, "IM 0");
    EXPECT_EQ(dis({0xED, 0x56}).text, "IM 1");
    EXPECT_EQ(dis({0xED, 0x5E}).text, "IM 2");
    EXPECT_EQ(dis({0xED, 0x4E}).text, "IM 0.5 *");
    EXPECT_EQ(dis({0xED, 0x6E}).text, "IM 0.5 *");
    EXPECT_EQ(dis({0xED, 0x66}).text, "IM 0 *");
    EXPECT_EQ(dis({0xED, 0x76}).text, "IM 1 *");
    EXPECT_EQ(dis({0xED, 0x7E}).text, "IM 2 *");
    EXPECT_EQ(dis({0xED, 0x70}).text, "INF");
    EXPECT_EQ(dis({0xED, 0x71}).text, "OUT (C),0 *");
    EXPECT_EQ(dis({0xED, 0x78}).text, "IN A,(C)");
    EXPECT_EQ(dis({0xED, 0x41}).text, "OUT (C),B");
    EXPECT_EQ(dis({0xED, 0x43, 0x34, 0x12}).text, "LD ($1234),BC");
    EXPECT_EQ(dis({0xED, 0x43, 0x34, 0x12}).length, 4u);
    EXPECT_EQ(dis({0xED, 0x7B, 0x34, 0x12}).text, "LD SP,($1234)");
    EXPECT_EQ(dis({0xED, 0x63, 0x34, 0x12}).text, "LD ($1234),HL *");
    EXPECT_EQ(dis({0xED, 0x6B, 0x34, 0x12}).text, "LD HL,($1234) *");
    EXPECT_EQ(dis({0xED, 0x42}).text, "SBC HL,BC");
    EXPECT_EQ(dis({0xED, 0x47}).text, "LD I,A");
    EXPECT_EQ(dis({0xED, 0x5F}).text, "LD A,R");
    EXPECT_EQ(dis({0xED, 0x67}).text, "RRD");
    EXPECT_EQ(dis({0xED, 0xB0}).text, "LDIR");
    EXPECT_EQ(dis({0xED, 0xBB}).text, "OTDR");
}

TEST(Z80Disasm, FormatFlagsReachNumbers)
{
    Z80DisasmRequest req{};
    const uint8_t code[4] = {0xDD, 0x36, 0x80, 0xFB}; // LD (IX-$80),$FB
    std::memcpy(req.code, code, 4);
    req.flags = disasm_signed_bytes | disasm_no_leading_zeros;
    EXPECT_EQ(z80_disassemble(req), 4u);
    EXPECT_STREQ(req.operands, "(IX-$80),-$5");
}

TEST(Z80Disasm, MainTable)
{
    EXPECT_EQ(dis({0x18, 0xFE}, 0x8000).text, "JR $8000");
    EXPECT_EQ(dis({0x20, 0x05}, 0x0000).text, "JR NZ,$0007");
    EXPECT_EQ(dis({0x38, 0x80}, 0x0000).text, "JR C,$FF82"); // wraps at 16 bits
    EXPECT_EQ(dis({0x10, 0xFE}, 0x1234).text, "DJNZ $1234");
    // A prefixed JR: the target counts from the end of all three bytes.
    EXPECT_EQ(dis({0xDD, 0x18, 0xFE}, 0x8000).text, "JR $8001 *");
    EXPECT_EQ(dis({0x08}).text, "EX AF,AF'");
    EXPECT_EQ(dis({0x76}).text, "HALT");
    EXPECT_EQ(dis({0x36, 0x12}).text, "LD (HL),$12");
    EXPECT_EQ(dis({0x01, 0x34, 0x12}).text, "LD BC,$1234");
    EXPECT_EQ(dis({0x01, 0x34, 0x12}).length, 3u);
    EXPECT_EQ(dis({0x22, 0x34, 0x12}).text, "LD ($1234),HL");
    EXPECT_EQ(dis({0x3A, 0x34, 0x12}).text, "LD A,($1234)");
    EXPECT_EQ(dis({0x1A}).text, "LD A,(DE)");
    EXPECT_EQ(dis({0x39}).text, "ADD HL,SP");
    EXPECT_EQ(dis({0x80}).text, "ADD A,B");
    EXPECT_EQ(dis({0x8E}).text, "ADC A,(HL)");
    EXPECT_EQ(dis({0x90}).text, "SUB B");
    EXPECT_EQ(dis({0x9F}).text, "SBC A,A");
    EXPECT_EQ(dis({0xA0}).text, "AND B");
    EXPECT_EQ(dis({0xBE}).text, "CP (HL)");
    EXPECT_EQ(dis({0xC6, 0x01}).text, "ADD A,$01");
    EXPECT_EQ(dis({0xFE, 0x10}).text, "CP $10");
    EXPECT_EQ(dis({0xD3, 0xFE}).text, "OUT ($FE),A");
    EXPECT_EQ(dis({0xDB, 0xFE}).text, "IN A,($FE)");
    EXPECT_EQ(dis({0xFF}).text, "RST $38");
    EXPECT_EQ(dis({0xC3, 0x34, 0x12}).text, "JP $1234");
    EXPECT_EQ(dis({0xEA, 0x34, 0x12}).text, "JP PE,$1234");
    EXPECT_EQ(dis({0xCD, 0x34, 0x12}).text, "CALL $1234");
    EXPECT_EQ(dis({0xC0}).text, "RET NZ");
    EXPECT_EQ(dis({0xC9}).text, "RET");
    EXPECT_EQ(dis({0xF5}).text, "PUSH AF");
    EXPECT_EQ(dis({0xC1}).text, "POP BC");
    EXPECT_EQ(dis({0xE9}).text, "JP (HL)");
    EXPECT_EQ(dis({0xF9}).text, "LD SP,HL");
    EXPECT_EQ(dis({0xE3}).text, "EX (SP),HL");
    EXPECT_EQ(dis({0xF3}).text, "DI");
    EXPECT_EQ(dis({0x27}).text, "DAA");
    EXPECT_EQ(dis({0x07}).text, "RLCA");
}

TEST(Z80Disasm, LineAndDump)
{
    std::vector<uint8_t> mem(65536, 0);
    const uint8_t program[] = {0x18, 0xFE, 0xDD, 0xCB, 0x05, 0x00, 0x00};
    std::copy(std::begin(program), std::end(program), mem.begin() + 0x8000);
    uint16_t next = 0;
    EXPECT_EQ(z80_disasm_line_text(0x8000, z80_read_flat_byte, mem.data(), &next),
              "8000 18 FE        JR   $8000\n");
    EXPECT_EQ(next, 0x8002);
    EXPECT_EQ(z80_disasm_line_text(0x8002, z80_read_flat_byte, mem.data(), &next),
              "8002 DD CB 05 00  RLC  B,(IX+$05) *\n");
    EXPECT_EQ(next, 0x8006);
    EXPECT_EQ(z80_disasm_line_text(0x8006, z80_read_flat_byte, mem.data()), "8006 00           NOP  \n");

    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(z80_write_disasm_dump(f, 0x8000, 0x8006, z80_read_flat_byte, mem.data()), 0x8007);
    EXPECT_EQ(file_contents(f), "8000 18 FE        JR   $8000\n"
                                "8002 DD CB 05 00  RLC  B,(IX+$05) *\n"
                                "8006 00           NOP  \n");

    // Up to the top of memory: ends instead of wrapping; the last bytes wrap to 0x0000.
    mem[0xFFFF] = 0xC3;
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(z80_write_disasm_dump(f, 0xFFFC, 0xFFFF, z80_read_flat_byte, mem.data()), 0x0002);
    EXPECT_EQ(file_contents(f), "FFFC 00           NOP  \n"
                                "FFFD 00           NOP  \n"
                                "FFFE 00           NOP  \n"
                                "FFFF C3 00 00     JP   $0000\n");

    // Nothing when the end lies before the start.
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(z80_write_disasm_dump(f, 0x8002, 0x8001, z80_read_flat_byte, mem.data()), 0x8002);
    EXPECT_EQ(file_contents(f), "");
}

TEST(Z80Disasm, RegisterDump)
{
    EXPECT_EQ(z80_flag_string(0x44), "-Z---P--");
    EXPECT_EQ(z80_flag_string(0xFF), "SZ5H3PNC");
    EXPECT_EQ(z80_flag_string(0x00), "--------");

    std::vector<uint8_t> mem(65536, 0);
    mem[0x0100] = 0x3E; // LD A,$12
    mem[0x0101] = 0x12;
    mem[0x0102] = 0xED; // LD A,R
    mem[0x0103] = 0x5F;
    mem[0x0104] = 0xC9; // RET
    Z80State cpu{};
    cpu.hl = 0x1234;
    cpu.hl_alt = 0x2345;
    cpu.ix = 0x3456;
    cpu.pc = 0x0100;
    cpu.de = 0x4567;
    cpu.de_alt = 0x5678;
    cpu.iy = 0x6789;
    cpu.sp = 0xFFF0;
    cpu.bc = 0x789A;
    cpu.bc_alt = 0x89AB;
    cpu.i = 0x3F;
    cpu.r = 0xFF;  // counted bits 0-6 show
    cpu.r7 = 0x00; // bit 7 as loaded
    cpu.ticks = 12345 << 8;
    cpu.a = 0x12;
    cpu.f = 0x44;
    cpu.af_alt = 0xC3A5; // A' low byte, F' high byte
    cpu.iff = 6;

    std::string dump = z80_register_dump_text(cpu, 8, z80_read_flat_byte, mem.data());
    const std::string expected = " HL=1234  HL'=2345  IX=3456    PC=0100    0100 3E 12        LD   A,$12\n"
                                 " DE=4567  DE'=5678  IY=6789    SP=FFF0    0102 ED 5F        LD   A,R\n"
                                 " BC=789A  BC'=89AB  IR=3F7F  CTR=12345    0104 C9           RET  \n" +
                                 std::string(42, ' ') + "0105 00           NOP  \n" +
                                 " AF=12 44  AF'=A5 C3 EI Flags=-Z---P--    0106 00           NOP  \n"
                                 "\n\n";
    EXPECT_EQ(dump, expected);

    // ZX units: 4096 per T-state; interrupts off shows D.
    cpu.ticks = 100 << 12;
    cpu.iff = 0;
    cpu.r7 = 0x80;
    dump = z80_register_dump_text(cpu, 12, z80_read_flat_byte, mem.data());
    EXPECT_NE(dump.find("IR=3FFF  CTR=00100"), std::string::npos);
    EXPECT_NE(dump.find(" DI Flags="), std::string::npos);

    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    z80_print_register_dump(f, cpu, 12, z80_read_flat_byte, mem.data());
    EXPECT_EQ(file_contents(f), dump);
}

namespace {

void check_sweep(const uint8_t code[4], uint32_t min_length)
{
    Z80DisasmRequest req{};
    std::memcpy(req.code, code, 4);
    req.address = 0xFFFE;
    uint32_t length = z80_disassemble(req);
    std::string where = testing::PrintToString(std::vector<int>(code, code + 4));
    ASSERT_GE(length, min_length) << where;
    ASSERT_LE(length, 4u) << where;
    size_t m = std::strlen(req.mnemonic);
    ASSERT_GE(m, 2u) << where;
    ASSERT_LE(m, 4u) << where; // the line pads the mnemonic to 5 columns
    ASSERT_LT(std::strlen(req.operands), sizeof req.operands - 1) << where;
    for (const char* p = req.operands; *p; ++p)
        ASSERT_FALSE(std::islower(static_cast<unsigned char>(*p))) << where;
}

} // namespace

// Every opcode under every prefix, with displacement and operand bytes that
// exercise both signs: no crash, a length of 1 to 4, upper-case texts that fit.
TEST(Z80Disasm, SweepAllOpcodeCombinations)
{
    for (uint8_t fill : {0x00, 0x80, 0xFF}) {
        for (int op = 0; op < 256; ++op) {
            const uint8_t plain[4] = {static_cast<uint8_t>(op), fill, fill, fill};
            check_sweep(plain, 1);
            for (uint8_t prefix : {0xCB, 0xED, 0xDD, 0xFD}) {
                const uint8_t prefixed[4] = {prefix, static_cast<uint8_t>(op), fill, fill};
                check_sweep(prefixed, 1);
            }
            for (uint8_t prefix : {0xDD, 0xFD}) {
                const uint8_t indexed_bits[4] = {prefix, 0xCB, fill, static_cast<uint8_t>(op)};
                check_sweep(indexed_bits, 4);
            }
        }
    }
}
