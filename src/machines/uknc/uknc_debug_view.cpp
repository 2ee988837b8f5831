// The UKNC as the debugger sees it: the CPU and the PPU, their address spaces (memory and
// the I/O registers that can be looked at without effect), the three planes and the ROM,
// and the channels, timer, keyboard, floppy, plane window and memory control read from
// their state: a view never takes a byte or clears a ready bit.
#include "host/debug.h"
#include "machines/uknc/debug_lists.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/uknc/workstation_hooks.h"

#include "cpu/pdp11/pdp11_debug.h"

#include <cstring>

namespace {

Workstation& ws = workstation;

const DebugRegisterList<pdp11_debug_register_count> registers(pdp11_debug_register_names, 16);

// ---- Registers looked at in place ------------------------------------------------------

uint16_t timer_counter()
{
    if (ws.timerControl & 0xA0)
        return ws.timerLatched;
    if (ws.timerControl & 1) {
        const int shift = 4 + ((ws.timerControl >> 1) & 3);
        return uint16_t(((int64_t(ws.ppu.cycleBudget) - ws.timerCompare) / ws.cpu.speedFactor) >> shift);
    }
    return ws.timerBuffer;
}

uint8_t keyboard_next_byte()
{
    const UkncKeyboard& k = ws.keyboard;
    return k.producer == k.consumer ? k.last_byte : k.ring[k.consumer & 127];
}

uint16_t plane12_word(uint16_t address)
{
    uint16_t w;
    std::memcpy(&w, ws.cpuMemory + 2 * uint32_t(address), 2);
    return w;
}

uint16_t colour_code()
{
    for (int n = 0; n < 3; ++n)
        if (ws.colourMask[n])
            return uint16_t(1 << n);
    return 0;
}

struct IoView {
    uint16_t address;
    uint32_t (*read)();
};

// The CPU's registers of the channels and the plane window.
const IoView cpu_io[] = {
    {0177560, [] { return uint32_t(ws.cpuRxCsr[0]); }},
    {0177562, [] { return uint32_t(ws.cpuRxData[0]); }},
    {0177564, [] { return uint32_t(ws.cpuTxCsr[0]); }},
    {0177566, [] { return 0u; }},
    {0176660, [] { return uint32_t(ws.cpuRxCsr[1]); }},
    {0176662, [] { return uint32_t(ws.cpuRxData[1]); }},
    {0176664, [] { return uint32_t(ws.cpuTxCsr[1]); }},
    {0176666, [] { return 0u; }},
    {0176674, [] { return uint32_t(ws.cpuTxCsr[2]); }},
    {0176676, [] { return 0u; }},
    {0176640, [] { return uint32_t(ws.cpuPlaneAddress); }},
    {0176642, [] { return uint32_t(plane12_word(ws.cpuPlaneAddress)); }},
};

const IoView ppu_io[] = {
    {0177010, [] { return uint32_t(ws.planeAddress); }},
    {0177012, [] { return uint32_t(ws.ppuMemory[ws.planeAddress]); }},
    {0177014, [] { return uint32_t(plane12_word(ws.planeAddress)); }},
    {0177016, [] { return uint32_t(colour_code()); }},
    {0177026, [] { return uint32_t(ws.planeDisable); }},
    {0177054, [] { return uint32_t(ws.memoryControl); }},
    {0177060, [] { return uint32_t(ws.ppuRxData[0]); }},
    {0177062, [] { return uint32_t(ws.ppuRxData[1]); }},
    {0177064, [] { return uint32_t(ws.ppuRxData[2]); }},
    {0177066, [] { return uint32_t(ws.ppuRxStatus); }},
    {0177070, [] { return 0u; }},
    {0177076, [] { return uint32_t(ws.ppuTxStatus); }},
    {0177700, [] { return uint32_t(ws.keyboard.status); }},
    {0177702, [] { return uint32_t(keyboard_next_byte()); }},
    {0177710, [] { return uint32_t(ws.timerControl); }},
    {0177714, [] { return uint32_t(timer_counter()); }},
    {0177716, [] { return uint32_t(ws.systemRegister); }},
};

template <size_t N> int io_peek(const IoView (&table)[N], uint32_t address)
{
    for (const IoView& v : table)
        if (v.address == (address & 0xFFFE)) {
            const uint32_t word = v.read();
            return int((address & 1 ? word >> 8 : word) & 0xFF);
        }
    return -1;
}

// ---- Address spaces -------------------------------------------------------------------

bool cpu_is_memory(uint32_t a) { return a < 0xE000 || (ws.cpu.psw & PDP11_HALT_MODE); }

int peek_cpu(uint32_t a)
{
    a &= 0xFFFF;
    return cpu_is_memory(a) ? ws.cpuMemory[a] : io_peek(cpu_io, a);
}

void poke_cpu(uint32_t a, uint8_t v)
{
    a &= 0xFFFF;
    if (cpu_is_memory(a))
        ws.cpuMemory[a] = v;
}

int peek_ppu(uint32_t a)
{
    a &= 0xFFFF;
    if (a >= 0xFE00)
        return io_peek(ppu_io, a);
    // The page pointers are biased: page + address is the byte.
    const uint8_t* page = ws.ppuReadPage[a >> uknc_ppu_block_shift];
    return page ? page[a] : -1;
}

void poke_ppu(uint32_t a, uint8_t v)
{
    a &= 0xFFFF;
    if (uint8_t* page = ws.ppuWritePage[a >> uknc_ppu_block_shift])
        page[a] = v;
}

int peek_plane0(uint32_t a) { return ws.ppuMemory[a & 0x7FFF]; }
void poke_plane0(uint32_t a, uint8_t v) { ws.ppuMemory[a & 0x7FFF] = v; }
template <int Plane> int peek_plane(uint32_t a) { return ws.cpuMemory[2 * (a & 0x7FFF) + Plane - 1]; }
template <int Plane> void poke_plane(uint32_t a, uint8_t v) { ws.cpuMemory[2 * (a & 0x7FFF) + Plane - 1] = v; }
int peek_rom(uint32_t a) { return ws.rom[a & 0x7FFF]; }

const DebugSpace spaces[] = {
    {"CPU view", 0x10000, peek_cpu, poke_cpu},
    {"PPU view", 0x10000, peek_ppu, poke_ppu},
    {"Plane 0 (PPU memory)", 0x8000, peek_plane0, poke_plane0},
    {"Plane 1", 0x8000, peek_plane<1>, poke_plane<1>},
    {"Plane 2", 0x8000, peek_plane<2>, poke_plane<2>},
    {"ROM", 0x8000, peek_rom, nullptr},
};

// ---- Processors -----------------------------------------------------------------------

uint16_t cpu_word(uint32_t a) { return workstation_cpu_reader(nullptr, uint16_t(a)); }
uint16_t ppu_word(uint32_t a) { return workstation_ppu_reader(nullptr, uint16_t(a)); }

int disassemble(uint32_t address, const uint8_t* code, char* text, size_t size)
{
    return pdp11_debug_disassemble(uint16_t(address), code, text, size);
}

const DebugProcessor processors[] = {
    {"CPU", registers.info, pdp11_debug_register_count, [](uint32_t* v) { pdp11_debug_get_registers(ws.cpu, v); },
     [](int i, uint32_t v) { pdp11_debug_set_register(ws.cpu, i, v, cpu_word); }, pdp11_debug_flags_register,
     pdp11_debug_flag_letters, [] { return ws.cpu.r[7] & 0xFFFF; },
     [] { return int64_t(ws.cpu.cycleBudget / ws.cpu.speedFactor); }, disassemble, pdp11_debug_call_length, 0},
    {"PPU", registers.info, pdp11_debug_register_count, [](uint32_t* v) { pdp11_debug_get_registers(ws.ppu, v); },
     [](int i, uint32_t v) { pdp11_debug_set_register(ws.ppu, i, v, ppu_word); }, pdp11_debug_flags_register,
     pdp11_debug_flag_letters, [] { return ws.ppu.r[7] & 0xFFFF; },
     [] { return int64_t(ws.ppu.cycleBudget / ws.ppu.speedFactor); }, disassemble, pdp11_debug_call_length, 1},
};

// ---- Devices --------------------------------------------------------------------------

template <int Drive> uint32_t drive_track() { return uint32_t(uknc_floppy.drives[Drive].track); }
template <int Drive> uint32_t drive_side() { return uint32_t(uknc_floppy.drives[Drive].side); }
template <int Drive> uint32_t drive_motor() { return uint32_t(uknc_floppy.drives[Drive].motor); }
template <int Drive> uint32_t drive_sector() { return uint32_t(uknc_floppy.drives[Drive].sector); }
template <int Drive> uint32_t drive_state() { return uint32_t(uknc_floppy.drives[Drive].state); }

const DebugDevice devices[] = {
    {"Channel 0 (CPU)", "177560 receiver status", 8, [] { return uint32_t(ws.cpuRxCsr[0]); }},
    {"Channel 0 (CPU)", "177562 receiver data", 8, [] { return uint32_t(ws.cpuRxData[0]); }},
    {"Channel 0 (CPU)", "177564 transmitter status", 8, [] { return uint32_t(ws.cpuTxCsr[0]); }},
    {"Channel 0 (CPU)", "177566 last byte sent", 8, [] { return uint32_t(ws.cpuTxData[0]); }},
    {"Channel 1 (CPU)", "176660 receiver status", 8, [] { return uint32_t(ws.cpuRxCsr[1]); }},
    {"Channel 1 (CPU)", "176662 receiver data", 8, [] { return uint32_t(ws.cpuRxData[1]); }},
    {"Channel 1 (CPU)", "176664 transmitter status", 8, [] { return uint32_t(ws.cpuTxCsr[1]); }},
    {"Channel 1 (CPU)", "176666 last byte sent", 8, [] { return uint32_t(ws.cpuTxData[1]); }},
    {"Channel 2 (CPU)", "176674 transmitter status", 8, [] { return uint32_t(ws.cpuTxCsr[2]); }},
    {"Channel 2 (CPU)", "176676 last byte sent", 8, [] { return uint32_t(ws.cpuTxData[2]); }},
    {"Channels (PPU)", "177060 channel 0 data", 8, [] { return uint32_t(ws.ppuRxData[0]); }},
    {"Channels (PPU)", "177062 channel 1 data", 8, [] { return uint32_t(ws.ppuRxData[1]); }},
    {"Channels (PPU)", "177064 channel 2 data", 8, [] { return uint32_t(ws.ppuRxData[2]); }},
    {"Channels (PPU)", "177066 receiver status", 8, [] { return uint32_t(ws.ppuRxStatus); }},
    {"Channels (PPU)", "data present", 8, [] { return uint32_t(ws.ppuDataPresent); }},
    {"Channels (PPU)", "177070 channel 0 sent", 8, [] { return uint32_t(ws.ppuTxData[0]); }},
    {"Channels (PPU)", "177072 channel 1 sent", 8, [] { return uint32_t(ws.ppuTxData[1]); }},
    {"Channels (PPU)", "177076 transmitter status", 8, [] { return uint32_t(ws.ppuTxStatus); }},
    {"Timer", "177710 control", 8, [] { return uint32_t(ws.timerControl); }},
    {"Timer", "177712 buffer", 16, [] { return uint32_t(ws.timerBuffer); }},
    {"Timer", "177714 counter", 16, [] { return uint32_t(timer_counter()); }},
    {"Keyboard", "177700 status", 16, [] { return uint32_t(ws.keyboard.status); }},
    {"Keyboard", "177702 data (next)", 8, [] { return uint32_t(keyboard_next_byte()); }},
    {"Keyboard", "codes waiting", 8, [] { return (ws.keyboard.producer - ws.keyboard.consumer) & 127; }},
    {"Floppy", "177130 control", 16, [] { return uint32_t(uknc_floppy.control); }},
    {"Floppy", "drive 0 track", 8, drive_track<0>},
    {"Floppy", "drive 0 side", 1, drive_side<0>},
    {"Floppy", "drive 0 motor", 1, drive_motor<0>},
    {"Floppy", "drive 0 sector", 8, drive_sector<0>},
    {"Floppy", "drive 0 state", 8, drive_state<0>},
    {"Floppy", "drive 1 track", 8, drive_track<1>},
    {"Floppy", "drive 1 side", 1, drive_side<1>},
    {"Floppy", "drive 1 motor", 1, drive_motor<1>},
    {"Floppy", "drive 1 sector", 8, drive_sector<1>},
    {"Floppy", "drive 1 state", 8, drive_state<1>},
    {"Memory control", "177054 memory control", 16, [] { return uint32_t(ws.memoryControl); }},
    {"Memory control", "177716 system register", 16, [] { return uint32_t(ws.systemRegister); }},
    {"Memory control", "CPU held", 1, [] { return uint32_t(ws.cpuHeld); }},
    {"Planes", "176640 CPU plane address", 16, [] { return uint32_t(ws.cpuPlaneAddress); }},
    {"Planes", "177010 PPU plane address", 16, [] { return uint32_t(ws.planeAddress); }},
    {"Planes", "177016 colour", 8, [] { return uint32_t(colour_code()); }},
    {"Planes", "177026 planes disabled", 8, [] { return uint32_t(ws.planeDisable); }},
    {"Interrupts", "CPU requests", 16, [] { return ws.PendingInterrupts[UKNC_CPU]; }},
    {"Interrupts", "PPU requests", 16, [] { return ws.PendingInterrupts[UKNC_PPU]; }},
};

const DebugMachine machine = debug_machine_of("uknc", processors, spaces, devices);

} // namespace

void uknc_debug_register()
{
    debug_register_machine(&machine);
}

void uknc_debug_lists(DebugLists* lists)
{
    for (const DebugProcessor& p : processors)
        lists->processors[lists->processor_count++] = p; // the first spaces: indices hold
    for (const DebugSpace& s : spaces)
        lists->spaces[lists->space_count++] = s;
    for (const DebugDevice& d : devices)
        lists->devices[lists->device_count++] = d;
}
