// The synthetic programs of the whole-complex tests. The PPU program, at 0160300 of a
// synthetic ROM, builds a video line table with colour and cursor records, paints through
// the plane registers, loads the CPU program into CPU memory through the planes, starts
// the CPU, echoes the bytes the CPU sends on channels 0 and 1 from its receive interrupts
// and counts timer and field interrupts.
#pragma once

#include "workstation_test_support.h"

// PPU memory locations the program uses.
inline constexpr uint16_t field_count = 06000, timer_count = 06002, ch0_count = 06004, ch1_count = 06006;
inline constexpr uint16_t first_line_video = 040000; // video address of the first drawn line

// CPU program, at 0160300 in HALT mode: leave HALT mode into the user program at 02000.
inline Pdp11Program cpu_boot()
{
    Pdp11Program p(0160300);
    p.w({012706, 001000});  // MOV #1000,SP
    p.w({012700, 002000});  // MOV #2000,R0
    p.w({000032});          // WCPC
    p.w({005000});          // CLR R0
    p.w({000034});          // WCPS
    p.w({000010});          // START: PC and PSW (HALT bit clear) from PC' and PSW'
    p.resolve();
    return p;
}

// The user program sends 'A'..'E' on channels 0 and 1 and collects the replies through
// its receive interrupts at 03000 (channel 0) and 03100 (channel 1); 03200 counts fields.
inline Pdp11Program cpu_user()
{
    Pdp11Program p(002000);
    p.w({012737}).address_of("rx0").w({000060});   // MOV #rx0,@#60
    p.w({012737, 000200, 000062});                 // MOV #200,@#62
    p.w({012737}).address_of("rx1").w({000460});
    p.w({012737, 000200, 000462});
    p.w({012737}).address_of("field").w({000100});
    p.w({012737, 000200, 000102});
    p.w({012737, 000100, 0177560});                // receiver interrupts on
    p.w({012737, 000100, 0176660});
    p.w({012704, 003000});                         // MOV #3000,R4
    p.w({012705, 003100});                         // MOV #3100,R5
    p.w({012700, 000101});                         // MOV #'A',R0
    p.w({012701, 000005});                         // MOV #5,R1
    p.label("send");
    p.label("wait0").w({0105737, 0177564}).branch(0100000, "wait0"); // TSTB @#177564; BPL
    p.w({0110037, 0177566});                       // MOVB R0,@#177566
    p.label("wait1").w({0105737, 0176664}).branch(0100000, "wait1");
    p.w({0110037, 0176666});                       // MOVB R0,@#176666
    p.w({005200});                                 // INC R0
    p.sob(1, "send");
    p.label("idle").branch(000400, "idle");        // BR .
    p.label("rx0").w({0113724, 0177562, 000002});  // MOVB @#177562,(R4)+; RTI
    p.label("rx1").w({0113725, 0176662, 000002});  // MOVB @#176662,(R5)+; RTI
    p.label("field").w({005237, 003200, 000002});  // INC @#3200; RTI
    p.resolve();
    return p;
}

inline Pdp11Program ppu_program(const Pdp11Program& boot, const Pdp11Program& user)
{
    Pdp11Program p(0160300);
    p.w({012706, 001000});
    // Vectors: field 0100, timer 0304, channel 0 and 1 receive 0320/0330; PSW 0200.
    const struct {
        uint16_t vector;
        const char* handler;
    } vectors[] = {{0100, "field"}, {0304, "timer"}, {0320, "rx0"}, {0330, "rx1"}};
    for (const auto& v : vectors) {
        p.w({012737}).address_of(v.handler).w({v.vector});
        p.w({012737, 000200, uint16_t(v.vector + 2)});
    }
    // Line table: 0270 plain -> colour record (02006) -> cursor/scale record with the
    // cursor toggle (02013) -> 320 plain records from 02020, 80 bytes of video apart.
    p.w({005037, 000270});                 // CLR @#270
    p.w({012737, 002006, 000272});         // next: colour record at 02000
    p.w({012737, 0x3210, 002000});         // codes 0-3: nibbles 0, 1, 2, 3
    p.w({012737, 0xFED4, 002002});         // codes 4-7: nibbles 4, D, E, F
    p.w({005037, 002004});
    p.w({012737, 002013, 002006});         // next: cursor record at 02010, toggle on
    p.w({012737, (100 << 5) | 0x10 | 0x0E, 002010}); // graphic cursor at 100, nibble E
    p.w({005037, 002012});                 // scale 0, bank 0
    p.w({005037, 002014});
    p.w({012737, 002020, 002016});
    p.w({012702, 002020});                 // MOV #2020,R2
    p.w({012703, uint16_t(first_line_video - 16 * 80)}); // 16 more undrawn records
    p.w({012701, 000500});                 // MOV #320.,R1
    p.label("table");
    p.w({010322});                         // MOV R3,(R2)+
    p.w({062703, 000120});                 // ADD #80.,R3
    p.w({010204});                         // MOV R2,R4
    p.w({062704, 000002});                 // ADD #2,R4
    p.w({010422});                         // MOV R4,(R2)+
    p.sob(1, "table");
    // Paint the first line: byte 0 by the pixel register (code 5 over background 2),
    // byte 1 through plane 0, byte 2 through planes 1 and 2.
    p.w({012737, first_line_video, 0177010});
    p.w({012737, 000005, 0177016});
    p.w({012737, 0x2222, 0177020});
    p.w({012737, 0x2222, 0177022});
    p.w({012737, 000017, 0177024});
    p.w({005237, 0177010});
    p.w({012737, 000377, 0177012});
    p.w({005237, 0177010});
    p.w({012737, 0177400, 0177014});
    // Load the CPU's programs into CPU memory through the plane window.
    p.w({012701}).address_of("boot").w({012702, uint16_t(boot.words.size())});
    p.w({012703, uint16_t(boot.origin / 2)}).w({004737}).address_of("copy");
    p.w({012701}).address_of("user").w({012702, uint16_t(user.words.size())});
    p.w({012703, uint16_t(user.origin / 2)}).w({004737}).address_of("copy");
    p.w({012737, 000003, 0177066});        // receive interrupts of channels 0 and 1
    p.w({012737, 000144, 0177712});        // timer: 100 ticks of 16 cycles
    p.w({012737, 000101, 0177710});        // run, interrupt
    p.w({012737, 000001, 0177054});        // field interrupts for both processors
    p.w({012737, 0100000, 0177716});       // start the CPU
    p.label("idle").branch(000400, "idle");
    p.label("copy").w({010337, 0177010});  // MOV R3,@#177010
    p.label("copy1").w({012137, 0177014}); // MOV (R1)+,@#177014
    p.w({005237, 0177010});                // INC @#177010
    p.sob(2, "copy1");
    p.w({000207});                         // RTS PC
    p.label("field").w({005237, field_count, 000002});
    p.label("timer").w({005237, timer_count, 000002});
    // Echo in lower case on the same channel.
    p.label("rx0").w({0113700, 0177060, 062700, 040, 0110037, 0177070, 005237, ch0_count, 000002});
    p.label("rx1").w({0113700, 0177062, 062700, 040, 010037, 0177072, 005237, ch1_count, 000002});
    p.label("boot");
    p.words.insert(p.words.end(), boot.words.begin(), boot.words.end());
    p.label("user");
    p.words.insert(p.words.end(), user.words.begin(), user.words.end());
    p.resolve();
    return p;
}

// The whole synthetic ROM image (32 KB, unprogrammed bytes 0xFF).
inline std::vector<uint8_t> synthetic_rom()
{
    std::vector<uint8_t> rom(uknc_rom_size, 0xFF);
    Pdp11Program ppu = ppu_program(cpu_boot(), cpu_user());
    ppu.store(rom.data(), ppu.origin - 0100000);
    return rom;
}
