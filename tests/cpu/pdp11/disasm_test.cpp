// PDP-11 disassembler, number formatters, lines, dumps and register dump.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cpu/common/hex_format.h"
#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_disasm.h"

namespace {

struct Result {
    std::string text; // mnemonic, a blank and the operands (no blank without operands)
    uint32_t length;
};

Result dis(uint16_t w0, uint16_t w1 = 0, uint16_t w2 = 0, uint16_t address = 01000, uint32_t options = 0)
{
    DisasmRequest req{};
    req.address = address;
    req.options = options;
    disasm_set_words(req, w0, w1, w2);
    uint32_t length = disassemble(req);
    std::string text = req.mnemonic;
    if (req.operands[0])
        text += std::string(" ") + req.operands;
    return {text, length};
}

std::string byte_text(uint32_t v, uint32_t options)
{
    char buf[format_operand_max_chars];
    char* end = format_byte_operand(buf, v, options);
    EXPECT_EQ(end, buf + std::strlen(buf));
    return buf;
}

std::string word_text(uint32_t v, uint32_t options)
{
    char buf[format_operand_max_chars];
    char* end = format_word_operand(buf, v, options);
    EXPECT_EQ(end, buf + std::strlen(buf));
    return buf;
}

// 64 KB of little-endian words for the line and dump helpers.
struct Memory {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(65536, 0);
    void put(uint16_t address, std::initializer_list<uint16_t> words)
    {
        for (uint16_t w : words) {
            bytes[address] = static_cast<uint8_t>(w);
            bytes[static_cast<uint16_t>(address + 1)] = static_cast<uint8_t>(w >> 8);
            address = static_cast<uint16_t>(address + 2);
        }
    }
};

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

TEST(HexFormat, ByteForms)
{
    EXPECT_EQ(byte_text(0x0A, 0), "$0A");
    EXPECT_EQ(byte_text(0x1FF, 0), "$FF"); // only the low byte counts
    EXPECT_EQ(byte_text(0x0A, disasm_no_leading_zeros), "$A");
    EXPECT_EQ(byte_text(0x00, disasm_no_leading_zeros), "$0");
    EXPECT_EQ(byte_text(0xFB, disasm_signed_bytes), "-$05");
    EXPECT_EQ(byte_text(0x80, disasm_signed_bytes), "-$80");
    EXPECT_EQ(byte_text(0x7F, disasm_signed_bytes), "$7F");
    EXPECT_EQ(byte_text(10, disasm_byte_decimal), "010");
    EXPECT_EQ(byte_text(10, disasm_byte_decimal | disasm_no_leading_zeros), "10");
    EXPECT_EQ(byte_text(0, disasm_byte_decimal | disasm_no_leading_zeros), "0");
    EXPECT_EQ(byte_text(0xFB, disasm_byte_decimal | disasm_signed_bytes), "-005");
    EXPECT_EQ(byte_text(255, disasm_byte_decimal), "255");
}

TEST(HexFormat, WordForms)
{
    EXPECT_EQ(word_text(0x04D2, 0), "$04D2");
    EXPECT_EQ(word_text(0x1ABCD, 0), "$ABCD");
    EXPECT_EQ(word_text(0x0010, disasm_no_leading_zeros), "$10");
    // A word of zero loses every digit; a byte keeps its low digit.
    EXPECT_EQ(word_text(0, disasm_no_leading_zeros), "$");
    EXPECT_EQ(word_text(0, disasm_no_leading_zeros | disasm_signed_words), "$");
    EXPECT_EQ(word_text(0xFFFE, disasm_signed_words), "-$0002");
    EXPECT_EQ(word_text(0xFFFE, disasm_signed_words | disasm_no_leading_zeros), "-$2");
    EXPECT_EQ(word_text(0x8000, disasm_signed_words), "-$8000");
    EXPECT_EQ(word_text(0x7FFF, disasm_signed_words), "$7FFF");
    // Byte options do not reach words.
    EXPECT_EQ(word_text(0xFFFE, disasm_signed_bytes | disasm_byte_decimal), "$FFFE");
}

TEST(Pdp11Disasm, RewrittenNames)
{
    EXPECT_EQ(dis(012746, 0x04D2).text, "PUSH #$04D2");
    EXPECT_EQ(dis(012746, 0x04D2).length, 4u);
    EXPECT_EQ(dis(042700, 0177770).text, "AND #$0007,R0");
    EXPECT_EQ(dis(012600).text, "POP R0");
    EXPECT_EQ(dis(010146).text, "PUSH R1");
    EXPECT_EQ(dis(050102).text, "OR R1,R2");
    EXPECT_EQ(dis(0150102).text, "ORB R1,R2");
    EXPECT_EQ(dis(0142700, 0x1201).text, "ANDB #$FE,R0");
    EXPECT_EQ(dis(040102).text, "BIC R1,R2"); // only an immediate mask becomes AND
    EXPECT_EQ(dis(0112746, 5).text, "MOVB #$05,-(SP)"); // a byte move is no push
    EXPECT_EQ(dis(012646).text, "PUSH (SP)+");

    const uint32_t standard = disasm_standard_names;
    EXPECT_EQ(dis(012746, 0x04D2, 0, 01000, standard).text, "MOV #$04D2,-(SP)");
    EXPECT_EQ(dis(012600, 0, 0, 01000, standard).text, "MOV (SP)+,R0");
    EXPECT_EQ(dis(042700, 0177770, 0, 01000, standard).text, "BIC #$FFF8,R0");
    EXPECT_EQ(dis(050102, 0, 0, 01000, standard).text, "BIS R1,R2");
}

TEST(Pdp11Disasm, OperandModes)
{
    EXPECT_EQ(dis(005011).text, "CLR (R1)");
    EXPECT_EQ(dis(005021).text, "CLR (R1)+");
    EXPECT_EQ(dis(005031).text, "CLR @(R1)+");
    EXPECT_EQ(dis(005041).text, "CLR -(R1)");
    EXPECT_EQ(dis(005051).text, "CLR @-(R1)");
    EXPECT_EQ(dis(005061, 010).text, "CLR $8(R1)");
    EXPECT_EQ(dis(005075, 0177776).text, "CLR @-$2(R5)");
    EXPECT_EQ(dis(005061, 0).text, "CLR $(R1)");
    EXPECT_EQ(dis(005007).text, "CLR PC");
    EXPECT_EQ(dis(005017).text, "CLR (PC)");
    EXPECT_EQ(dis(005047).text, "CLR -(PC)");
    EXPECT_EQ(dis(005057).text, "CLR @-(PC)");
    // PC modes with an extra word at 01002: relative targets count from 01004.
    EXPECT_EQ(dis(005027, 0x1234).text, "CLR #$1234");
    EXPECT_EQ(dis(005037, 01000).text, "CLR (#$0200)");
    EXPECT_EQ(dis(005067, 0100).text, "CLR ($0244)");
    EXPECT_EQ(dis(005077, 0177774).text, "CLR @($0200)");
    // The destination's extra word follows the source's: 01006 + 2 + 0.
    EXPECT_EQ(dis(016767, 0, 0).text, "MOV ($0204),($0206)");
    // Three words: MOV 10(R1),20(R2).
    Result three = dis(016162, 010, 020);
    EXPECT_EQ(three.text, "MOV $8(R1),$10(R2)");
    EXPECT_EQ(three.length, 6u);
    EXPECT_EQ(dis(016500, 0177776).text, "MOV -$2(R5),R0");
    EXPECT_EQ(dis(0112700, 0xAB05).text, "MOVB #$05,R0");
    EXPECT_EQ(dis(0105727, 0x0080).text, "TSTB #$80");
}

TEST(Pdp11Disasm, FlowInstructions)
{
    EXPECT_EQ(dis(000777).text, "BR $0200");
    EXPECT_EQ(dis(001403).text, "BEQ $0208");
    EXPECT_EQ(dis(001200).text, "BNE $0102"); // offset -128
    EXPECT_EQ(dis(0103401).text, "BCS $0204");
    EXPECT_EQ(dis(0101401, 0, 0, 0xFFFE).text, "BLOS $0002"); // wraps at 16 bits
    EXPECT_EQ(dis(077102).text, "SOB R1,$01FE");
    EXPECT_EQ(dis(077700).text, "SOB PC,$0202");
    EXPECT_EQ(dis(004737, 01000).text, "JSR (#$0200)");
    EXPECT_EQ(dis(004767, 0100).text, "JSR $0244");
    EXPECT_EQ(dis(004567, 0100).text, "JSR R5,$0244");
    EXPECT_EQ(dis(004777, 0100).text, "JSR @($0244)");
    EXPECT_EQ(dis(004727, 0177776).text, "JSR #-$2");
    EXPECT_EQ(dis(000207).text, "RTS");
    EXPECT_EQ(dis(000205).text, "RTS R5");
    EXPECT_EQ(dis(000167, 0100).text, "JMP ($0244)");
    EXPECT_EQ(dis(006406).text, "MARK");
    EXPECT_EQ(dis(0104010).text, "EMT $08");
}

TEST(Pdp11Disasm, EisAndSingleOperand)
{
    EXPECT_EQ(dis(070102).text, "MUL R2,R1");
    EXPECT_EQ(dis(070127, 0177776).text, "MUL #$FFFE,R1");
    EXPECT_EQ(dis(071227, 3).text, "DIV #$0003,R2");
    EXPECT_EQ(dis(072027, 0177776).text, "ASH #-$2,R0");
    EXPECT_EQ(dis(073127, 3).text, "ASHC #$3,R1");
    EXPECT_EQ(dis(074112).text, "XOR R1,(R2)");
    EXPECT_EQ(dis(075003).text, "FLOAT R3");
    EXPECT_EQ(dis(0160102).text, "SUB R1,R2");
    EXPECT_EQ(dis(060102).text, "ADD R1,R2");
    EXPECT_EQ(dis(0130122).text, "BITB R1,(R2)+");
    EXPECT_EQ(dis(006702).text, "SXT R2");
    EXPECT_EQ(dis(0106427, 0340).text, "MTPS #$E0");
    EXPECT_EQ(dis(0106700).text, "MFPS R0");
    EXPECT_EQ(dis(0105401).text, "NEGB R1");
}

TEST(Pdp11Disasm, ConditionCodes)
{
    EXPECT_EQ(dis(000240).text, "NOP");
    EXPECT_EQ(dis(000260).text, "SE"); // SE of no flag: the letters of no flag
    EXPECT_EQ(dis(000257).text, "CCC");
    EXPECT_EQ(dis(000277).text, "SCC");
    EXPECT_EQ(dis(000243).text, "CLCV");
    EXPECT_EQ(dis(000264).text, "SEZ");
    EXPECT_EQ(dis(000276).text, "SEVZN");
}

TEST(Pdp11Disasm, HaltModeGroup)
{
    const char* const basic[] = {"HALT", "WAIT", "RTI", "BPT", "IOT", "RESET", "RTT"};
    for (uint16_t op = 0; op < 7; ++op)
        EXPECT_EQ(dis(op).text, basic[op]);
    EXPECT_EQ(dis(000007).text, "MFPT *");
    for (uint16_t op = 010; op <= 013; ++op)
        EXPECT_EQ(dis(op).text, "START");
    for (uint16_t op = 014; op <= 017; ++op)
        EXPECT_EQ(dis(op).text, "STEP");
    EXPECT_EQ(dis(000020).text, "RD (SEL),R0");
    EXPECT_EQ(dis(000030).text, "RD (SEL),R0");
    EXPECT_EQ(dis(000021).text, "URD (R5)+,R0");
    EXPECT_EQ(dis(000022).text, "RDPC PC',R0");
    EXPECT_EQ(dis(000023).text, "RDPC PC',R0");
    for (uint16_t op = 024; op <= 027; ++op)
        EXPECT_EQ(dis(op).text, "RDPS PSW',R0");
    EXPECT_EQ(dis(000031).text, "UWR R0,-(R5)");
    EXPECT_EQ(dis(000032).text, "WRPC R0,PC'");
    EXPECT_EQ(dis(000033).text, "WRPC R0,PC'");
    for (uint16_t op = 034; op <= 037; ++op)
        EXPECT_EQ(dis(op).text, "WRPS R0,PSW'");
}

TEST(Pdp11Disasm, UndefinedOpcodesAreStarredNops)
{
    const uint16_t undefined[] = {000040, 000077, 000210, 000237, 006500, 006677, 007000, 007777, 076000,
                                  076777, 0106500, 0106677, 0107000, 0107777, 0170000, 0177777};
    for (uint16_t op : undefined) {
        Result r = dis(op, 012345, 012345);
        EXPECT_EQ(r.text, "NOP *") << std::oct << op;
        EXPECT_EQ(r.length, 2u) << std::oct << op;
    }
}

TEST(Pdp11Disasm, LowerCaseOptions)
{
    EXPECT_EQ(dis(012746, 0x04D2, 0, 0, disasm_lower_mnemonics).text, "push #$04D2");
    EXPECT_EQ(dis(0110102, 0, 0, 0, disasm_lower_mnemonics).text, "movb R1,R2");
    EXPECT_EQ(dis(010602, 0, 0, 0, disasm_lower_registers).text, "MOV sp,r2");
    EXPECT_EQ(dis(000020, 0, 0, 0, disasm_lower_registers).text, "RD (SEL),r0");
    EXPECT_EQ(dis(000020, 0, 0, 0, disasm_lower_special).text, "RD (sel),R0");
    EXPECT_EQ(dis(000034, 0, 0, 0, disasm_lower_special).text, "WRPS R0,psw'");
    EXPECT_EQ(dis(000022, 0, 0, 0, disasm_lower_special).text, "RDPC pc',R0");
    // Number options reach the operands.
    EXPECT_EQ(dis(012746, 0x0012, 0, 0, disasm_no_leading_zeros).text, "PUSH #$12");
    EXPECT_EQ(dis(0104012, 0, 0, 0, disasm_byte_decimal).text, "EMT 010");
}

TEST(Pdp11Disasm, FlagString)
{
    EXPECT_EQ(pdp11_flag_string(0x0100), "H--------");
    EXPECT_EQ(pdp11_flag_string(0x00E9), "UP65-N--C");
    EXPECT_EQ(pdp11_flag_string(0x01FF), "HP65TNZVC");
    EXPECT_EQ(pdp11_flag_string(0x0000), "U--------");
    EXPECT_EQ(pdp11_flag_string(0x0016), "U---T-ZV-");
}

TEST(Pdp11Disasm, ConsoleAndFileLines)
{
    Memory mem;
    mem.put(0x0200, {012746, 0x04D2, 016162, 010, 020, 000240});
    uint16_t next = 0;
    std::string console = pdp11_disasm_line_text(0x0200, pdp11_read_flat_word, mem.bytes.data(), false, &next);
    EXPECT_EQ(console, "0200  15E6 04D2       PUSH  #$04D2");
    EXPECT_EQ(next, 0x0204);
    std::string file = pdp11_disasm_line_text(0x0204, pdp11_read_flat_word, mem.bytes.data(), true, &next);
    EXPECT_EQ(file, "0204  1C72 0008 0010  MOV   $8(R1),$10(R2)" + std::string(32 - 14, ' '));
    EXPECT_EQ(next, 0x020A);
    EXPECT_EQ(pdp11_disasm_line_text(0x020A, pdp11_read_flat_word, mem.bytes.data(), true),
              "020A  00A0            NOP   " + std::string(32, ' '));

    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(pdp11_print_disasm_line(f, 0x0200, pdp11_read_flat_word, mem.bytes.data()), 0x0204);
    EXPECT_EQ(file_contents(f), "0200  15E6 04D2       PUSH  #$04D2\n");
}

TEST(Pdp11Disasm, LineReadsWrapAtTopOfMemory)
{
    Memory mem;
    mem.put(0xFFFE, {012737}); // MOV #n,@#a: its words come from 0x0000 and 0x0002
    mem.put(0x0000, {0x1111, 0x2222});
    uint16_t next = 0;
    std::string line = pdp11_disasm_line_text(0xFFFE, pdp11_read_flat_word, mem.bytes.data(), false, &next);
    EXPECT_EQ(line, "FFFE  15DF 1111 2222  MOV   #$1111,(#$2222)");
    EXPECT_EQ(next, 0x0004);
}

TEST(Pdp11Disasm, DumpAndTraceFiles)
{
    Memory mem;
    mem.put(0x0200, {000240, 012746, 0x04D2, 000207});
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(pdp11_write_disasm_dump(f, 0x0200, 0x0206, pdp11_read_flat_word, mem.bytes.data()), 0x0208);
    std::string text = file_contents(f);
    std::string pad(32, ' ');
    EXPECT_EQ(text, "0200  00A0            NOP   " + pad + "\n" +
                        "0202  15E6 04D2       PUSH  #$04D2" + std::string(26, ' ') + "\n" +
                        "0206  0087            RTS   " + pad + "\n");

    // An end at the top of memory finishes instead of wrapping around forever.
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(pdp11_write_disasm_dump(f, 0xFFF0, 0xFFFF, pdp11_read_flat_word, mem.bytes.data()), 0x0000);
    text = file_contents(f);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);

    // The first line is written even when the end lies before the start.
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(pdp11_write_disasm_dump(f, 0x0206, 0x0100, pdp11_read_flat_word, mem.bytes.data()), 0x0208);
    EXPECT_EQ(file_contents(f), "0206  0087            RTS   " + pad + "\n");

    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    pdp11_write_trace_line(f, 0x0206, pdp11_read_flat_word, mem.bytes.data());
    EXPECT_EQ(file_contents(f), "\n0206  0087            RTS   " + pad);
}

TEST(Pdp11Disasm, RegisterDump)
{
    Memory mem;
    mem.put(0x0200, {012746, 0x04D2, 000240, 000241, 000242, 000243});
    Pdp11Cpu cpu{};
    for (int i = 0; i < 6; ++i)
        cpu.r[i] = 0x1110u * static_cast<uint32_t>(i + 1);
    cpu.r[6] = 0x10000 | 0x01FE; // only 16 bits are shown
    cpu.r[7] = 0x0200;
    cpu.psw = 0x00E9;
    cpu.savedPsw = 0x0100;
    cpu.savedPc = 0xF404;
    cpu.speedFactor = 256;
    cpu.cycleBudget = 256 * 1234;

    std::string dump = pdp11_register_dump_text(cpu, "CPU (Main)   ", pdp11_read_flat_word, mem.bytes.data());
    const std::string expected = " R0=1110  R4=5550  PSW =00E9     0200  15E6 04D2       PUSH  #$04D2\n"
                                 " R1=2220  R5=6660  PSW'=0100     0204  00A0            NOP   \n"
                                 " R2=3330  SP=01FE  PC' =F404     0206  00A1            CLC   \n"
                                 " R3=4440  PC=0200  Ctr=001234    0208  00A2            CLV   \n"
                                 " Flags = UP65-N--C  CPU (Main)   020A  00A3            CLCV  \n"
                                 "\n\n";
    EXPECT_EQ(dump, expected);

    // A record without a speed factor yet must not divide by zero.
    cpu.speedFactor = 0;
    cpu.cycleBudget = -5;
    dump = pdp11_register_dump_text(cpu, "PPU (Main)   ", pdp11_read_flat_word, mem.bytes.data());
    EXPECT_NE(dump.find("Ctr=-000005"), std::string::npos);
    cpu.speedFactor = -1;
    cpu.cycleBudget = INT32_MIN;
    dump = pdp11_register_dump_text(cpu, "", pdp11_read_flat_word, mem.bytes.data());
    EXPECT_NE(dump.find("Ctr=2147483648"), std::string::npos);

    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    pdp11_print_register_dump(f, cpu, "", pdp11_read_flat_word, mem.bytes.data());
    EXPECT_EQ(file_contents(f), dump);
}

// Every first word with several kinds of extension words: no crash, a length of
// 2, 4 or 6, a mnemonic, and texts that fit their buffers.
TEST(Pdp11Disasm, SweepAllFirstWords)
{
    const uint16_t extensions[][2] = {{0, 0}, {0xFFFF, 0x8000}, {0x7FFF, 0x0001}};
    for (uint32_t op = 0; op < 0x10000; ++op) {
        for (const auto& ext : extensions) {
            for (uint32_t options : {0u, 0xFFFFFFFFu}) {
                DisasmRequest req{};
                req.address = static_cast<uint16_t>(op * 7);
                req.options = options;
                disasm_set_words(req, static_cast<uint16_t>(op), ext[0], ext[1]);
                uint32_t length = disassemble(req);
                ASSERT_TRUE(length == 2 || length == 4 || length == 6) << std::oct << op;
                ASSERT_GT(std::strlen(req.mnemonic), 0u) << std::oct << op;
                ASSERT_LT(std::strlen(req.mnemonic), 6u) << std::oct << op;
                ASSERT_LT(std::strlen(req.operands), sizeof req.operands - 1) << std::oct << op;
            }
        }
    }
}
