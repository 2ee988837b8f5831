// The DVK boards as the debugger sees them: the KCGD's GPU with its address space (RAM,
// ROM and the registers that can be looked at without effect), the boards' memories, and
// their registers read from the boards' state. Reading the GPU's keyboard or CPU-byte
// register through its bus would take a code or a byte; the view never does.
#include "machines/dvk/dvk_boards.h"
#include "machines/dvk/dvk_debug_view.h"

#include "cpu/pdp11/pdp11_debug.h"

#include <cstring>

namespace {

Workstation& ws = workstation;
DvkBoards& d = dvk;
KcgdBoard& kcgd = dvk.kcgd;

const DebugRegisterList<pdp11_debug_register_count> registers(pdp11_debug_register_names, 16);

uint16_t video_word(uint16_t index)
{
    return uint16_t(kcgd.block[2u * index] | kcgd.block[2u * index + 1] << 8);
}

uint32_t cpu_bytes_waiting() { return ws.ConsoleRings[RING_KCGD].waiting; }

// What the GPU's mode register reads (dvk_kcgd.cpp): no latch is taken for it.
uint16_t mode_read()
{
    return uint16_t((((kcgd.control >> 6) & 1) * 2 ^ kcgd.latchedAttribute) | (kcgd.modeWord & ~0x80));
}

struct IoView {
    uint16_t address;
    uint32_t (*read)();
};

// The GPU's registers whose reads change nothing, and the value the video word and
// keyboard data would give, without the attribute latch or the code being taken. The CPU
// byte register (0176562) moves the stream on: it is not shown.
const IoView gpu_io[] = {
    {0160000, [] { return uint32_t(kcgd.videoAddress); }},
    {0160002, [] { return uint32_t(video_word(kcgd.videoAddress)); }},
    {0160004, [] { return uint32_t(kcgd.videoAddress); }},
    {0160006, [] { return uint32_t(video_word(kcgd.videoAddress)); }},
    {0167770, [] { return uint32_t(mode_read()); }},
    {0167772, [] { return uint32_t(kcgd.control); }},
    {0176560, [] { return cpu_bytes_waiting() ? 0x80u : 0u; }},
    {0176564, [] { return uint32_t(ws.kcgdReplyStatus); }},
    {0176566, [] { return 0u; }},
    {0177560, [] { return uint32_t(kcgd.keyStatus); }},
    {0177562, [] { return uint32_t(kcgd.lastKey); }},
    {0177564, [] { return 0x80u; }},
    {0177566, [] { return 0u; }},
};

int peek_gpu(uint32_t a)
{
    a &= 0xFFFF;
    if (a < 0100000)
        return kcgd.block[a];
    if (a < 0120000)
        return kcgd.block[kcgd_rom_offset + a - 0100000];
    if (a < 0160000)
        return -1;
    for (const IoView& v : gpu_io)
        if (v.address == (a & 0xFFFE)) {
            const uint32_t word = v.read();
            return int((a & 1 ? word >> 8 : word) & 0xFF);
        }
    return -1;
}

void poke_gpu(uint32_t a, uint8_t v)
{
    a &= 0xFFFF;
    if (a < 0100000)
        kcgd.block[a] = v;
}

int peek_video(uint32_t a) { return kcgd.block[a % (2 * 0x10000)]; }
void poke_video(uint32_t a, uint8_t v) { kcgd.block[a % (2 * 0x10000)] = v; }
int peek_attributes(uint32_t a) { return kcgd.block[kcgd_attribute_offset + (a & 0xFFFF)]; }
void poke_attributes(uint32_t a, uint8_t v) { kcgd.block[kcgd_attribute_offset + (a & 0xFFFF)] = v; }
int peek_kcgd_rom(uint32_t a) { return kcgd.block[kcgd_rom_offset + a % kcgd_rom_size]; }
int peek_kgd(uint32_t a) { return d.kgd.memory[a % kgd_memory_size]; }
void poke_kgd(uint32_t a, uint8_t v) { d.kgd.memory[a % kgd_memory_size] = v; }
int peek_nemiga(uint32_t a) { return d.nemiga.memory[a % nemiga_memory_size]; }
void poke_nemiga(uint32_t a, uint8_t v) { d.nemiga.memory[a % nemiga_memory_size] = v; }
int peek_e85(uint32_t a) { return d.e85.memory[a % e85_memory_size]; }
void poke_e85(uint32_t a, uint8_t v) { d.e85.memory[a % e85_memory_size] = v; }

const DebugSpace kcgd_spaces[] = {
    {"GPU view", 0x10000, peek_gpu, poke_gpu},
    {"KCGD video memory", 2 * 0x10000, peek_video, poke_video},
    {"KCGD attributes", 0x10000, peek_attributes, poke_attributes},
    {"KCGD ROM", kcgd_rom_size, peek_kcgd_rom, nullptr},
};
const DebugSpace kgd_space = {"KGD memory", kgd_memory_size, peek_kgd, poke_kgd};
const DebugSpace nemiga_space = {"NEMIGA memory", nemiga_memory_size, peek_nemiga, poke_nemiga};
const DebugSpace e85_space = {"E-85 planes", e85_memory_size, peek_e85, poke_e85};

uint16_t gpu_word(uint32_t a) { return gpu_peek(a); }

const DebugProcessor gpu_processor = {
    "GPU", registers.info, pdp11_debug_register_count, [](uint32_t* v) { pdp11_debug_get_registers(kcgd.gpu, v); },
    [](int i, uint32_t v) { pdp11_debug_set_register(kcgd.gpu, i, v, gpu_word); }, pdp11_debug_flags_register,
    pdp11_debug_flag_letters, [] { return kcgd.gpu.r[7] & 0xFFFF; },
    [] { return int64_t(kcgd.gpu.cycleBudget / kcgd.gpu.speedFactor); },
    [](uint32_t address, const uint8_t* code, char* text, size_t size) {
        return pdp11_debug_disassemble(uint16_t(address), code, text, size);
    },
    pdp11_debug_call_length, 0, // the complex gives the space its place in the list
};

template <int N> uint32_t palette() { return kcgd.palette[N]; }

const DebugDevice kgd_devices[] = {
    {"KGD", "mode on", 1, [] { return uint32_t(ws.kgdMode); }},
    {"KGD", "176640 control", 16, [] { return uint32_t(d.kgd.control); }},
    {"KGD", "176642 data (at address)", 8, [] { return uint32_t(d.kgd.memory[d.kgd.address & 0x3FFF]); }},
    {"KGD", "176644 address", 16, [] { return uint32_t(d.kgd.address); }},
};

const DebugDevice kcgd_devices[] = {
    {"KCGD", "mode on", 1, [] { return uint32_t(ws.kcgdMode); }},
    {"KCGD", "160000 video address", 16, [] { return uint32_t(kcgd.videoAddress); }},
    {"KCGD", "160002 video word", 16, [] { return uint32_t(video_word(kcgd.videoAddress)); }},
    {"KCGD", "latched attribute", 8, [] { return uint32_t(kcgd.latchedAttribute); }},
    {"KCGD", "167770 mode", 16, [] { return uint32_t(mode_read()); }},
    {"KCGD", "167772 control", 8, [] { return uint32_t(kcgd.control); }},
    {"KCGD", "scroll flag", 1, [] { return uint32_t(kcgd.scrollFlag); }},
    {"KCGD palette", "register 0", 8, palette<0>},   {"KCGD palette", "register 1", 8, palette<1>},
    {"KCGD palette", "register 2", 8, palette<2>},   {"KCGD palette", "register 3", 8, palette<3>},
    {"KCGD palette", "register 4", 8, palette<4>},   {"KCGD palette", "register 5", 8, palette<5>},
    {"KCGD palette", "register 6", 8, palette<6>},   {"KCGD palette", "register 7", 8, palette<7>},
    {"KCGD palette", "register 8", 8, palette<8>},   {"KCGD palette", "register 9", 8, palette<9>},
    {"KCGD palette", "register 10", 8, palette<10>}, {"KCGD palette", "register 11", 8, palette<11>},
    {"KCGD palette", "register 12", 8, palette<12>}, {"KCGD palette", "register 13", 8, palette<13>},
    {"KCGD palette", "register 14", 8, palette<14>}, {"KCGD palette", "register 15", 8, palette<15>},
    {"KCGD link", "176560 CPU bytes status", 8, [] { return cpu_bytes_waiting() ? 0x80u : 0u; }},
    {"KCGD link", "CPU bytes waiting", 16, [] { return cpu_bytes_waiting() & 0xFFFF; }},
    {"KCGD link", "last CPU byte", 8, [] { return uint32_t(kcgd.lastCpuByte); }},
    {"KCGD link", "176564 reply status", 8, [] { return uint32_t(ws.kcgdReplyStatus & 0xFF); }},
    {"KCGD link", "reply pending", 1, [] { return uint32_t(kcgd.replyPending); }},
    {"KCGD link", "reply byte", 8, [] { return uint32_t(kcgd.replyByte); }},
    {"KCGD keyboard", "177560 status", 8, [] { return uint32_t(kcgd.keyStatus); }},
    {"KCGD keyboard", "177562 last code", 8, [] { return uint32_t(kcgd.lastKey); }},
    {"KCGD keyboard", "codes waiting", 8, [] { return uint32_t((kcgd.keyHead - kcgd.keyTail) & 127); }},
    {"KCGD keyboard", "data read armed", 1, [] { return uint32_t(kcgd.keyArmed); }},
    {"KCGD keyboard", "shift", 1, [] { return uint32_t(kcgd.shiftState); }},
    {"KCGD keyboard", "control", 1, [] { return uint32_t(kcgd.controlState); }},
    {"KCGD", "GPU requests", 16, [] { return ws.PendingInterrupts[UKNC_GPU] & 0xFFFF; }},
};

const DebugDevice nemiga_devices[] = {
    {"NEMIGA", "mode on", 1, [] { return uint32_t(ws.nemigaMode); }},
    {"NEMIGA", "177572 address", 16, [] { return uint32_t(d.nemiga.address); }},
    {"NEMIGA", "177772 register", 16, [] { return uint32_t(d.nemiga.register177772); }},
};

const DebugDevice e85_devices[] = {
    {"E-85", "mode on", 1, [] { return uint32_t(ws.e85Mode); }},
    {"E-85", "174004 status", 16, [] { return uint32_t(d.e85.status); }},
    {"E-85", "174006 mode", 16, [] { return uint32_t(d.e85.mode); }},
    {"E-85", "174410 operations", 16, [] { return uint32_t(d.e85.operations); }},
    {"E-85", "174412 colour", 16, [] { return uint32_t(d.e85.colour); }},
    {"E-85", "174016 X", 16, [] { return uint32_t(d.e85.x); }},
    {"E-85", "174020 Y", 16, [] { return uint32_t(d.e85.y); }},
    {"E-85", "174022 length", 16, [] { return uint32_t(d.e85.length); }},
    {"E-85", "174024 pattern", 16, [] { return uint32_t(d.e85.pattern); }},
    {"E-85", "173740 latched key", 8, [] { return uint32_t(d.e85.key); }},
};

} // namespace

void dvk_debug_lists(DebugLists* lists)
{
    if (ws.kcgdPresent)
        lists->gpu = debug_lists_add_processor(lists, gpu_processor, kcgd_spaces, kcgd_devices);
    if (ws.kgdPresent)
        debug_lists_add(lists, {kgd_space}, kgd_devices);
    if (ws.nemigaPresent)
        debug_lists_add(lists, {nemiga_space}, nemiga_devices);
    if (ws.e85Present)
        debug_lists_add(lists, {e85_space}, e85_devices);
}
