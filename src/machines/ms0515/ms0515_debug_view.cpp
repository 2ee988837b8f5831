// The MS-0515 as the debugger sees it: the processor, the address space as the processor
// sees it (pages and I/O page), the two RAM banks, the ROM and video RAM, and the system
// registers, keyboard and floppy controller read from their state.
#include "host/debug.h"
#include "machines/ms0515/ms0515.h"

#include "cpu/pdp11/pdp11_debug.h"

namespace {

const DebugRegisterList<pdp11_debug_register_count> registers(pdp11_debug_register_names, 16);

void get_registers(uint32_t* values) { pdp11_debug_get_registers(ms0515.cpu, values); }
uint16_t word_at(uint32_t address) { return ms0515_peek_word(nullptr, uint16_t(address)); }
void set_register(int index, uint32_t value) { pdp11_debug_set_register(ms0515.cpu, index, value, word_at); }
uint32_t pc() { return ms0515.cpu.r[7] & 0xFFFF; }
int64_t cycles() { return ms0515.cpu.cycleBudget / ms0515.cpu.speedFactor; }
int disassemble(uint32_t address, const uint8_t* code, char* text, size_t size)
{
    return pdp11_debug_disassemble(uint16_t(address), code, text, size);
}

const DebugProcessor processors[] = {
    {"CPU", registers.info, pdp11_debug_register_count, get_registers, set_register, pdp11_debug_flags_register,
     pdp11_debug_flag_letters, pc, cycles, disassemble, pdp11_debug_call_length, 0},
};

// The byte the next read of the keyboard data register would deliver.
uint8_t keyboard_next_byte()
{
    const Ms0515Keyboard& k = ms0515.keyboard;
    return ms0515_keyboard_queue_empty(k) ? k.latch : k.queue[k.readIndex & 0x7F];
}

uint8_t floppy_next_byte()
{
    const Ms0515Floppy& f = ms0515.floppy;
    return f.readPointer ? f.readPointer[f.readCounter % ms0515_sector_size] : 0;
}

// I/O page words as their registers hold them; -1 where reading is no plain look.
int io_peek_word(uint32_t address)
{
    switch (address) {
    case 0177400: case 0177460: case 0177504: case 0177506: case 0177600: case 0177606: case 0177700:
        return 0;
    case 0177440: return keyboard_next_byte();
    case 0177442: return ms0515.keyboard.status;
    case 0177604: return ms0515.videoMode;
    case 0177640: return ms0515.floppy.status;
    case 0177642: return ms0515.floppy.trackRegister;
    case 0177644: return ms0515.floppy.sectorRegister;
    case 0177646: return floppy_next_byte();
    default: return -1;
    }
}

int peek_cpu(uint32_t a)
{
    a &= 0xFFFF;
    if (a >= 0xFF00) {
        const int word = io_peek_word(a & 0xFFFE);
        return word < 0 ? -1 : (a & 1 ? word >> 8 : word) & 0xFF;
    }
    return ms0515.ReadPages[a >> 13][a & 0x1FFF];
}

void poke_cpu(uint32_t a, uint8_t v)
{
    a &= 0xFFFF;
    if (a < 0xFF00) // ROM pages write into the sink, as the processor's writes do
        ms0515.WritePages[a >> 13][a & 0x1FFF] = v;
}

template <uint32_t Base, uint32_t Size> int peek_block(uint32_t a) { return ms0515.memory[Base + a % Size]; }
template <uint32_t Base, uint32_t Size> void poke_block(uint32_t a, uint8_t v) { ms0515.memory[Base + a % Size] = v; }

const DebugSpace spaces[] = {
    {"CPU view", 0x10000, peek_cpu, poke_cpu},
    {"Bank A", 0x10000, peek_block<ms0515_bank_a, 0x10000>, poke_block<ms0515_bank_a, 0x10000>},
    {"Bank B", 0x10000, peek_block<ms0515_bank_b, 0x10000>, poke_block<ms0515_bank_b, 0x10000>},
    {"ROM", 0x4000, peek_block<ms0515_rom, 0x4000>, nullptr},
    {"Video RAM", 0x4000, peek_block<ms0515_video, 0x4000>, poke_block<ms0515_video, 0x4000>},
};

template <int Drive> uint32_t drive_track() { return ms0515.floppy.drives[Drive].track; }

const DebugDevice devices[] = {
    {"System", "MEM_CON 177400", 16, [] { return uint32_t(ms0515.memCon); }},
    {"System", "SYSREG_A 177600", 8, [] { return uint32_t(ms0515.sysregA); }},
    {"System", "video mode 177604", 8, [] { return uint32_t(ms0515.videoMode); }},
    {"System", "pending interrupts", 16, [] { return ms0515.MsPendingInterrupts; }},
    {"Keyboard", "data 177440 (next)", 8, [] { return uint32_t(keyboard_next_byte()); }},
    {"Keyboard", "status 177442", 8, [] { return uint32_t(ms0515.keyboard.status); }},
    {"Keyboard", "bytes queued", 8,
     [] { return uint32_t((ms0515.keyboard.writeIndex - ms0515.keyboard.readIndex) & 0x7F); }},
    {"Floppy", "status 177640", 8, [] { return uint32_t(ms0515.floppy.status); }},
    {"Floppy", "command", 8, [] { return uint32_t(ms0515.floppy.command); }},
    {"Floppy", "track 177642", 8, [] { return uint32_t(ms0515.floppy.trackRegister); }},
    {"Floppy", "sector 177644", 8, [] { return uint32_t(ms0515.floppy.sectorRegister); }},
    {"Floppy", "data 177646 (next)", 8, [] { return uint32_t(floppy_next_byte()); }},
    {"Floppy", "selected drive", 8, [] { return uint32_t(ms0515.floppy.selected); }},
    {"Floppy", "bytes read of sector", 16, [] { return ms0515.floppy.readCounter % ms0515_sector_size; }},
    {"Floppy", "drive 0 track", 8, drive_track<0>},
    {"Floppy", "drive 1 track", 8, drive_track<1>},
    {"Floppy", "drive 2 track", 8, drive_track<2>},
    {"Floppy", "drive 3 track", 8, drive_track<3>},
};

const DebugMachine machine = debug_machine_of("ms0515", processors, spaces, devices);

} // namespace

void ms0515_debug_register()
{
    debug_register_machine(&machine);
}
