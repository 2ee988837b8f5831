// The workstation complex's saved state (see workstation_state.h).
//
// Memories go into sections of their own, as they are. Registers and counters go field by
// field, little-endian, through one list per record (the visit_* functions) that serves
// saving, checking and loading alike, so the three can never disagree about a field.
// Board ROMs, fonts and the PPU ROM are not stored: the host keeps their hashes.
#include "machines/workstation/workstation_state.h"

#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_boards.h"

#include "machines/terminals/terminals.h"

#include "cpu/ie15/ie15_step_codes.h"
#include "cpu/pdp11/pdp11_step_codes.h"
#include "cpu/z80/z80_step_codes.h"

#include "host/beeper.h"
#include "host/host.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace {

Workstation& ws = workstation;

// The layout of the complex's sections; a change of any field list bumps it.
constexpr uint32_t layout_version = 1;

// ---- Field codecs ------------------------------------------------------------------------

class FieldWriter {
public:
    explicit FieldWriter(std::vector<uint8_t>& buffer) : out(buffer) { out.clear(); }
    template <class T> void num(T& value)
    {
        static_assert(std::is_integral_v<T>);
        const auto bits = static_cast<uint64_t>(value);
        for (size_t k = 0; k < sizeof(T); ++k)
            out.push_back(static_cast<uint8_t>(bits >> (8 * k)));
    }
    template <class T, size_t n> void nums(T (&values)[n])
    {
        for (T& value : values)
            num(value);
    }
    void bytes(void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + size);
    }

private:
    std::vector<uint8_t>& out;
};

// Reads a section into the fields; `ok` goes false when the section is too short.
class FieldReader {
public:
    FieldReader(const uint8_t* data, size_t size) : ok(data != nullptr), p(data), left(data ? size : 0) {}
    template <class T> void num(T& value)
    {
        static_assert(std::is_integral_v<T>);
        if (left < sizeof(T)) {
            ok = false;
            return;
        }
        uint64_t bits = 0;
        for (size_t k = 0; k < sizeof(T); ++k)
            bits |= uint64_t(p[k]) << (8 * k);
        if constexpr (std::is_same_v<T, bool>)
            value = bits != 0;
        else
            value = static_cast<T>(bits);
        p += sizeof(T);
        left -= sizeof(T);
    }
    template <class T, size_t n> void nums(T (&values)[n])
    {
        for (T& value : values)
            num(value);
    }
    void bytes(void* data, size_t size)
    {
        if (left < size) {
            ok = false;
            return;
        }
        std::memcpy(data, p, size);
        p += size;
        left -= size;
    }
    bool complete() const { return ok && left == 0; }
    bool ok;

private:
    const uint8_t* p;
    size_t left;
};

// ---- Section tags ----------------------------------------------------------------------------

constexpr uint32_t tag_config = state_tag("UKCF");
constexpr uint32_t tag_main_block = state_tag("UKMB");
constexpr uint32_t tag_cpu = state_tag("UKCP");
constexpr uint32_t tag_ppu = state_tag("UKPP");
constexpr uint32_t tag_devices = state_tag("UKDV");
constexpr uint32_t tag_settings = state_tag("UKST");
constexpr uint32_t tag_kgd = state_tag("KGDR");
constexpr uint32_t tag_kgd_memory = state_tag("KGDM");
constexpr uint32_t tag_kcgd = state_tag("KCGR");
constexpr uint32_t tag_gpu = state_tag("KCGP");
constexpr uint32_t tag_kcgd_memory = state_tag("KCGM");
constexpr uint32_t tag_nemiga = state_tag("NEMR");
constexpr uint32_t tag_nemiga_memory = state_tag("NEMM");
constexpr uint32_t tag_e85 = state_tag("E85R");
constexpr uint32_t tag_e85_memory = state_tag("E85M");
constexpr uint32_t tag_ksm = state_tag("KSMR");
constexpr uint32_t tag_ksm_memory = state_tag("KSMM");
constexpr uint32_t tag_ie15 = state_tag("IE5R");
constexpr uint32_t tag_ie15_display = state_tag("IE5D");
constexpr uint32_t tag_ie15_picture = state_tag("IE5P");
constexpr uint32_t tag_terminals = state_tag("TERM");
constexpr uint32_t tag_floppy = state_tag("FDCR");
constexpr uint32_t tag_disk[2] = {state_tag("DSK0"), state_tag("DSK1")};

// Memory sections: the parts of the blocks that are not ROM.
constexpr uint32_t main_block_stored = uknc_rom_offset;     // CPU memory and PPU memory
constexpr uint32_t kcgd_block_stored = kcgd_rom_offset;     // video words and attributes
constexpr uint32_t ksm_ram_size = 0x10000 - ksm_rom_size;   // the TPU's RAM above its ROM

// A step that could not be coded (never met on the scratch processor) and the held CPU's
// own bus operation.
constexpr uint16_t step_unknown = 0xFFFF;
constexpr uint8_t bus_held = 0xFE;
constexpr uint8_t bus_unknown = 0xFF;

// ---- Records -----------------------------------------------------------------------------

struct Config {
    uint32_t version;
    bool kgd, kcgd, nemiga, e85, ksm, ie15;
    uint32_t pdp11_steps, z80_steps, ie15_steps;
};

template <class IO> void visit_config(IO& io, Config& c)
{
    io.num(c.version);
    io.num(c.kgd), io.num(c.kcgd), io.num(c.nemiga), io.num(c.e85), io.num(c.ksm), io.num(c.ie15);
    io.num(c.pdp11_steps), io.num(c.z80_steps), io.num(c.ie15_steps);
}

Config current_config()
{
    return {layout_version, ws.kgdPresent, ws.kcgdPresent, ws.nemigaPresent, ws.e85Present, ws.ksmPresent,
            ws.ie15Present, pdp11_step_fingerprint(), z80_step_fingerprint(), ie15_step_fingerprint()};
}

// A PDP-11 processor with the codes of its pending steps and bus operation.
struct Pdp11Codes {
    uint16_t step, continuation;
    uint8_t bus;
};

template <class IO> void visit_pdp11(IO& io, Pdp11Cpu& c, Pdp11Codes& codes)
{
    io.num(c.ir), io.num(c.prefetch);
    io.nums(c.r);
    io.num(c.psw), io.num(c.dataIn), io.num(c.dataOut), io.num(c.vector), io.num(c.busAddress);
    io.num(c.prefetchAddress), io.num(c.savedPc), io.num(c.savedPsw), io.num(c.indexBase);
    io.num(c.cycleBudget), io.num(c.costPrefetchHit), io.num(c.speedFactor), io.num(c.costBusCycle);
    io.num(c.costVectorStep), io.num(c.costFetch), io.num(c.costStep), io.num(c.costLongStep), io.num(c.haltBase);
    io.num(codes.step), io.num(codes.continuation), io.num(codes.bus);
}

Pdp11Codes pdp11_codes(const Pdp11Cpu& c, bool held)
{
    Pdp11Codes codes{0, 0, bus_held};
    if (!pdp11_step_code(c.continuation, &codes.continuation))
        codes.continuation = step_unknown;
    if (held)
        return codes;
    if (!pdp11_step_code(c.stepHandler, &codes.step))
        codes.step = step_unknown;
    const int bus = pdp11_bus_op_code(&c, c.busOperation);
    codes.bus = bus < 0 ? bus_unknown : static_cast<uint8_t>(bus);
    return codes;
}

template <class IO> void visit_ring(IO& io, ConsoleRing& ring)
{
    io.bytes(ring.data, sizeof ring.data);
    io.num(ring.count), io.num(ring.waiting);
}

template <class IO> void visit_devices(IO& io, Workstation& w)
{
    io.num(w.cpuHeld);
    io.num(w.kgdMode), io.num(w.kcgdMode), io.num(w.nemigaMode), io.num(w.e85Mode);
    io.num(w.KgdConsoleLimit), io.num(w.kcgdReplyStatus);
    io.nums(w.cpuRxCsr), io.nums(w.cpuRxData), io.nums(w.cpuTxCsr), io.nums(w.cpuTxData);
    io.nums(w.ppuRxData), io.num(w.ppuRxStatus), io.num(w.ppuDataPresent), io.nums(w.ppuTxData);
    io.num(w.ppuTxStatus), io.num(w.consoleBytesThisFrame);
    for (ConsoleRing& ring : w.ConsoleRings)
        visit_ring(io, ring);
    io.nums(w.PendingInterrupts);
    io.num(w.cpuPlaneAddress), io.num(w.planeAddress), io.nums(w.colourMask), io.nums(w.background);
    io.num(w.planeDisable);
    io.num(w.memoryControl), io.num(w.systemRegister);
    io.num(w.timerControl), io.num(w.timerBuffer), io.num(w.timerCompare), io.num(w.timerLatched);
    UkncKeyboard& kb = w.keyboard;
    io.bytes(kb.ring, sizeof kb.ring);
    io.num(kb.producer), io.num(kb.consumer), io.num(kb.status), io.num(kb.last_byte);
    io.bytes(kb.hold, sizeof kb.hold);
    io.num(kb.combination), io.num(kb.blocked_key);
    UkncVideoState& v = w.video;
    io.num(v.scale), io.nums(v.colour_words), io.num(v.cursor_word), io.num(v.bank), io.nums(v.line_colours);
    // The speaker's level changes not yet made into samples (those past the frame's end).
    io.num(w.speakerEdgeCount);
    const int edges = w.speakerEdgeCount < 0 ? 0 : std::min(w.speakerEdgeCount, uknc_speaker_edge_capacity);
    for (int k = 0; k < edges; ++k)
        io.num(w.speakerEdges[k]);
    io.num(w.speakerLevel), io.num(w.speakerPartialSum), io.num(w.speakerFrameEnded);
}

// The picture settings the complex keeps (the host keeps the window size they give).
template <class IO> void visit_settings(IO& io, Workstation& w)
{
    io.num(w.paletteIndex), io.num(w.paletteStep);
    io.num(w.display.x_scale_code), io.num(w.display.scanline_mode), io.num(w.display.lines_fit);
    io.num(w.frameDelay), io.num(w.frameDelayCounter);
    io.num(w.ie15Selected), io.num(w.keepKgd);
    io.num(w.kgdPaletteIndex), io.num(w.kgdPaletteStep), io.num(w.nemigaPaletteIndex), io.num(w.nemigaPaletteStep);
    io.num(w.nemigaXScaleCode), io.num(w.displayMode);
}

template <class IO> void visit_kgd(IO& io, KgdBoard& k) { io.num(k.control), io.num(k.address); }

template <class IO> void visit_kcgd(IO& io, KcgdBoard& k)
{
    io.num(k.turn), io.num(k.videoAddress), io.num(k.latchedAttribute), io.num(k.modeWord), io.num(k.control);
    io.nums(k.palette), io.num(k.scrollFlag), io.num(k.escHistory), io.num(k.lastCpuByte);
    io.num(k.replyPending), io.num(k.replyByte), io.num(k.replyDue);
    io.bytes(k.keyRing, sizeof k.keyRing);
    io.num(k.keyHead), io.num(k.keyTail), io.num(k.keyStatus), io.num(k.keyArmed), io.num(k.lastKey);
    io.num(k.repeatCounter), io.num(k.shiftState), io.num(k.controlState);
}

template <class IO> void visit_nemiga(IO& io, NemigaBoard& n) { io.num(n.address), io.num(n.register177772); }

template <class IO> void visit_e85(IO& io, E85Board& e)
{
    io.num(e.status), io.num(e.mode), io.num(e.operations), io.num(e.colour);
    io.num(e.x), io.num(e.y), io.num(e.length), io.num(e.pattern), io.num(e.key);
}

// The TPU with the codes of its step, bus cycle, index register and instruction set.
struct Z80Codes {
    uint16_t step;
    uint8_t bus, index, i8080;
};

template <class IO> void visit_ksm(IO& io, KsmTerminal& k, Z80Codes& codes)
{
    Z80State& s = k.tpu;
    io.num(s.a), io.num(s.f), io.num(s.hl), io.num(s.de), io.num(s.bc), io.num(s.sp), io.num(s.pc);
    io.num(s.ix), io.num(s.iy), io.num(s.r), io.num(s.r7), io.num(s.i), io.num(s.iff), io.num(s.im);
    io.num(s.addr), io.num(s.temp), io.num(s.latch), io.num(s.data);
    io.num(s.af_alt), io.num(s.hl_alt), io.num(s.de_alt), io.num(s.bc_alt);
    io.num(s.ticks), io.nums(s.cost);
    io.num(codes.step), io.num(codes.bus), io.num(codes.index), io.num(codes.i8080);
    io.num(k.inputLatch), io.num(k.rowLatch), io.num(k.blinkCounter);
}

Z80Codes z80_codes(const Z80State& s)
{
    Z80Codes codes{0, 0, 0, z80_8080_mode(&s)};
    if (!z80_step_code(s.step, &codes.step))
        codes.step = step_unknown;
    const int bus = z80_bus_code(&s, s.bus);
    codes.bus = bus < 0 ? bus_unknown : static_cast<uint8_t>(bus);
    codes.index = s.index_reg == &s.iy ? 1 : s.index_reg == &s.ix ? 0 : bus_unknown;
    return codes;
}

template <class IO> void visit_ie15(IO& io, Ie15Terminal& t, uint16_t& step)
{
    Ie15Cpu& c = t.cpu;
    io.num(c.pc), io.num(c.a), io.num(c.c), io.num(c.bank), io.num(c.skip), io.num(c.data_cycle);
    io.num(c.data), io.num(c.opcode);
    for (auto& bank : c.r)
        io.nums(bank);
    io.num(c.adr), io.num(c.budget), io.num(c.speed_factor), io.nums(c.flags);
    io.num(c.vdis), io.num(c.marken), io.num(c.syslin), io.num(c.koi7);
    io.nums(c.in_ports), io.nums(c.out_ports);
    io.num(c.xpos), io.num(c.line), io.num(c.vrow);
    io.num(step);
    io.num(t.lineOffset), io.num(t.phase), io.num(t.nextPhase), io.num(t.blinkPhase), io.num(t.blinkCounter);
    io.num(t.catchingUp);
}

template <class IO> void visit_terminals(IO& io, Terminals& t) { io.num(t.turn), io.num(t.selected); }

template <class IO> void visit_floppy(IO& io, UkncFloppy& f)
{
    io.num(f.control);
    io.nums(f.modified), io.nums(f.inserted);
    for (auto& name : f.names)
        io.bytes(name, sizeof name);
    for (FloppyDrive& d : f.drives) {
        io.num(d.track), io.num(d.side), io.num(d.motor), io.num(d.indicator_countdown), io.num(d.indicator_shown);
        io.num(d.state), io.num(d.marker_found), io.num(d.data_phase), io.num(d.sector), io.num(d.position);
        io.num(d.image), io.nums(d.header);
    }
}

// ---- Saving ----------------------------------------------------------------------------------

// One buffer per field section: the writer may keep the bytes until the state is done.
std::vector<uint8_t> buffers[13];

template <class Visit> void put_fields(StateWriter* w, uint32_t tag, std::vector<uint8_t>& buffer, Visit visit)
{
    FieldWriter io(buffer);
    visit(io);
    state_put(w, tag, buffer.data(), buffer.size());
}

// ---- Checking --------------------------------------------------------------------------------

// Scratch copies the sections are read into for checking: the live records stay untouched.
struct Scratch {
    Config config;
    Pdp11Cpu cpu[3];
    Pdp11Codes codes[3];
    Workstation* ws; // only the saved fields are used
    KgdBoard kgd;
    KcgdBoard* kcgd;
    NemigaBoard nemiga;
    E85Board e85;
    KsmTerminal ksm;
    Z80Codes z80;
    Ie15Terminal ie15;
    uint16_t ie15_step;
    Terminals terminals;
    UkncFloppy* floppy; // drives and names; the images are not copied
};

Scratch& scratch()
{
    static Scratch s{};
    if (!s.ws) { // large records: allocated once, for the run
        s.ws = new Workstation{};
        s.kcgd = new KcgdBoard{};
        s.floppy = new UkncFloppy{};
    }
    return s;
}

template <class Visit>
bool read_fields(const StateReader* r, uint32_t tag, std::string* why, const char* what, Visit visit)
{
    size_t size = 0;
    const uint8_t* data = state_get(r, tag, &size);
    FieldReader io(data, size);
    visit(io);
    if (!io.complete()) {
        if (why)
            *why = data ? std::string("the ") + what + " section has the wrong size"
                        : std::string("the state has no ") + what + " section";
        return false;
    }
    return true;
}

bool need_block(const StateReader* r, uint32_t tag, size_t size, const char* what, std::string* why)
{
    size_t got = 0;
    const uint8_t* data = state_get(r, tag, &got);
    if (data && got == size)
        return true;
    *why = data ? std::string("the ") + what + " section has the wrong size"
                : std::string("the state has no ") + what + " section";
    return false;
}

bool fail(std::string* why, const std::string& text)
{
    *why = text;
    return false;
}

bool pdp11_codes_valid(const Pdp11Codes& codes, bool held, const char* name, std::string* why)
{
    const uint32_t count = pdp11_step_count();
    if (codes.continuation >= count)
        return fail(why, std::string("the ") + name + " stands at a step this program does not know");
    if (held)
        return codes.bus == bus_held || fail(why, std::string("the held ") + name + " has a bus operation");
    if (codes.step == 0 || codes.step >= count)
        return fail(why, std::string("the ") + name + " stands at a step this program does not know");
    if (codes.bus >= pdp11_bus_op_count)
        return fail(why, std::string("the ") + name + " has an unknown bus operation");
    return true;
}

bool pdp11_valid(const Pdp11Cpu& c, const char* name, std::string* why)
{
    // The timer divides by the speed factor; the costs are the chip's own.
    if (c.speedFactor <= 0 || c.speedFactor > 0x10000)
        return fail(why, std::string("the ") + name + "'s speed factor is out of range");
    for (uint32_t r : c.r)
        if (r > 0xFFFF)
            return fail(why, std::string("a register of the ") + name + " is out of range");
    if (c.psw > 0xFFFF || c.haltBase > 0xFFFF)
        return fail(why, std::string("the ") + name + "'s PSW is out of range");
    return true;
}

bool one_of(int value, std::initializer_list<int> allowed)
{
    for (int a : allowed)
        if (value == a)
            return true;
    return false;
}

// A Shift combination in progress is the offset of a record in the combination list.
bool combination_valid(int offset)
{
    if (offset == -1)
        return true;
    for (const uint8_t* record = uknc_shift_combinations; record[0] != 0; record += record[0])
        if (record - uknc_shift_combinations == offset)
            return true;
    return false;
}

bool devices_valid(const Workstation& w, std::string* why)
{
    const UkncKeyboard& kb = w.keyboard;
    if (kb.producer > 127 || kb.consumer > 127 || !combination_valid(kb.combination))
        return fail(why, "the UKNC keyboard's ring is out of range");
    if (w.video.scale < 0 || w.video.scale > 3 || w.video.bank < 0 || w.video.bank > 7)
        return fail(why, "the UKNC video scale or palette bank is out of range");
    if (w.speakerEdgeCount < 0 || w.speakerEdgeCount > uknc_speaker_edge_capacity ||
        (w.speakerLevel != beeper_high && w.speakerLevel != beeper_low))
        return fail(why, "the speaker's level or edge count is out of range");
    return true;
}

bool settings_valid(const Workstation& w, std::string* why)
{
    auto in = [](int v, int n) { return v >= 0 && v < n; };
    if (!in(w.paletteIndex, uknc_palette_count) || !in(w.paletteStep, uknc_palette_count) ||
        !in(w.kgdPaletteIndex, kgd_palette_count) || !in(w.kgdPaletteStep, kgd_palette_count) ||
        !in(w.nemigaPaletteIndex, nemiga_palette_count) || !in(w.nemigaPaletteStep, nemiga_palette_count))
        return fail(why, "a palette number is out of range");
    if (!one_of(w.display.x_scale_code, {0, 12, 13, 15}) || !one_of(w.nemigaXScaleCode, {0, 15}))
        return fail(why, "an X-scale is out of range");
    if (!in(w.display.scanline_mode, 3) || !one_of(w.display.lines_fit, {276, 288, 298}))
        return fail(why, "the scan line mode or lines-fit is out of range");
    if (!in(w.displayMode, WS_DISPLAY_E85 + 1))
        return fail(why, "the display mode is out of range");
    if (!in(w.frameDelay, 1000) || !in(w.frameDelayCounter, 1000))
        return fail(why, "the frame delay is out of range");
    return true;
}

bool boards_valid(const Scratch& s, std::string* why)
{
    if (s.kgd.address >= kgd_memory_size)
        return fail(why, "the KGD address is out of range");
    const KcgdBoard& k = *s.kcgd;
    if (k.keyHead > 127 || k.keyTail > 127 || k.turn < 0 || k.turn > 2)
        return fail(why, "the KCGD keyboard ring or turn is out of range");
    if (s.e85.x > 0x3FF || s.e85.y > 0xFF)
        return fail(why, "the E-85 position is out of range");
    return true;
}

bool terminals_valid(const Scratch& s, std::string* why)
{
    const Z80Codes& z = s.z80;
    if (z.step == 0 || z.step >= z80_step_count() || z.bus >= z80_bus_slot_count || z.index > 1 || z.i8080 > 1 ||
        s.ksm.tpu.im > 3)
        return fail(why, "the KSM's processor stands at a step this program does not know");
    if (s.ksm.blinkCounter > 9)
        return fail(why, "the KSM's blink counter is out of range");
    const Ie15Cpu& c = s.ie15.cpu;
    if (s.ie15_step == 0 || s.ie15_step >= ie15_step_count())
        return fail(why, "the 15IE's processor stands at a step this program does not know");
    bool registers = c.pc <= 0xFFF && c.adr <= 0xFFF && c.bank <= 1 && c.skip <= 1 && c.data_cycle <= 1 &&
                     c.c <= 1 && c.speed_factor > 0 && c.speed_factor <= 0x10000;
    for (const auto& bank : c.r)
        for (uint16_t r : bank)
            registers = registers && r <= 0xFFF;
    if (!registers)
        return fail(why, "a register of the 15IE's processor is out of range");
    const Ie15Terminal& t = s.ie15;
    const uint32_t line = t.lineOffset - ie15_picture_offset;
    if (t.lineOffset < ie15_picture_offset || line > ie15_picture_size - terminal_bytes_per_line ||
        line % terminal_bytes_per_line || t.phase > IE15_VIDEO_BLANK || t.nextPhase > IE15_VIDEO_BLANK ||
        c.xpos >= 160 || c.line >= 8 || c.vrow >= 28 || t.blinkCounter > 9 || t.blinkPhase > 1)
        return fail(why, "the 15IE's video generator is out of range");
    if (s.terminals.selected > TERMINAL_IE15)
        return fail(why, "the terminal shown is out of range");
    return true;
}

bool floppy_valid(const UkncFloppy& f, std::string* why)
{
    for (const auto& name : f.names)
        if (!std::memchr(name, 0, sizeof name))
            return fail(why, "a disk image name is not terminated");
    for (const FloppyDrive& d : f.drives)
        if (d.track < 0 || d.track > 79 || d.side < 0 || d.side > 1 || d.sector < 0 || d.sector > 9 ||
            d.position < -1 || d.position > 255 || d.image < 0 || d.image > 1 || d.state < UKNC_DRIVE_IDLE ||
            d.state > UKNC_DRIVE_WRITING)
            return fail(why, "a floppy drive's position is out of range");
    return true;
}

// Reads every field section into `s` (the live records when `live`) and checks the memory
// sections' sizes; false with the reason at the first fault.
bool read_all(const StateReader* r, Scratch& s, Workstation& w, KcgdBoard& kcgd, UkncFloppy& floppy, bool live,
              std::string* why)
{
    Pdp11Cpu* cpus[3] = {&s.cpu[0], &s.cpu[1], &s.cpu[2]};
    if (live)
        cpus[0] = &ws.cpu, cpus[1] = &ws.ppu, cpus[2] = &dvk.kcgd.gpu;
    KgdBoard& kgd = live ? dvk.kgd : s.kgd;
    NemigaBoard& nemiga = live ? dvk.nemiga : s.nemiga;
    E85Board& e85 = live ? dvk.e85 : s.e85;
    KsmTerminal& ksm = live ? ksm_terminal : s.ksm;
    Ie15Terminal& ie15 = live ? ie15_terminal : s.ie15;
    Terminals& term = live ? terminals : s.terminals;
    const uint32_t cpu_tags[3] = {tag_cpu, tag_ppu, tag_gpu};
    const char* cpu_names[3] = {"CPU", "PPU", "GPU"};
    if (!read_fields(r, tag_config, why, "configuration", [&](auto& io) { visit_config(io, s.config); }))
        return false;
    for (int k = 0; k < 3; ++k)
        if (!read_fields(r, cpu_tags[k], why, cpu_names[k],
                         [&](auto& io) { visit_pdp11(io, *cpus[k], s.codes[k]); }))
            return false;
    return read_fields(r, tag_devices, why, "UKNC devices", [&](auto& io) { visit_devices(io, w); }) &&
           read_fields(r, tag_settings, why, "display settings",
                       [&](auto& io) { visit_settings(io, w); }) &&
           read_fields(r, tag_kgd, why, "KGD", [&](auto& io) { visit_kgd(io, kgd); }) &&
           read_fields(r, tag_kcgd, why, "KCGD", [&](auto& io) { visit_kcgd(io, kcgd); }) &&
           read_fields(r, tag_nemiga, why, "NEMIGA", [&](auto& io) { visit_nemiga(io, nemiga); }) &&
           read_fields(r, tag_e85, why, "E-85", [&](auto& io) { visit_e85(io, e85); }) &&
           read_fields(r, tag_ksm, why, "KSM", [&](auto& io) { visit_ksm(io, ksm, s.z80); }) &&
           read_fields(r, tag_ie15, why, "15IE", [&](auto& io) { visit_ie15(io, ie15, s.ie15_step); }) &&
           read_fields(r, tag_terminals, why, "terminals", [&](auto& io) { visit_terminals(io, term); }) &&
           read_fields(r, tag_floppy, why, "floppy controller", [&](auto& io) { visit_floppy(io, floppy); });
}

bool blocks_present(const StateReader* r, std::string* why)
{
    return need_block(r, tag_main_block, main_block_stored, "UKNC memory", why) &&
           need_block(r, tag_kgd_memory, kgd_memory_size, "KGD memory", why) &&
           need_block(r, tag_kcgd_memory, kcgd_block_stored, "KCGD memory", why) &&
           need_block(r, tag_nemiga_memory, nemiga_memory_size, "NEMIGA memory", why) &&
           need_block(r, tag_e85_memory, e85_memory_size, "E-85 memory", why) &&
           need_block(r, tag_ksm_memory, ksm_ram_size, "KSM memory", why) &&
           need_block(r, tag_ie15_display, 0x1000, "15IE display memory", why) &&
           need_block(r, tag_ie15_picture, ie15_picture_size, "15IE picture", why) &&
           need_block(r, tag_disk[0], uknc_image_size, "disk image 0", why) &&
           need_block(r, tag_disk[1], uknc_image_size, "disk image 1", why);
}

void copy_block(const StateReader* r, uint32_t tag, void* destination, size_t size)
{
    if (const uint8_t* data = state_get_exact(r, tag, size))
        std::memcpy(destination, data, size);
}

const char* const board_names[6] = {"the KGD", "the KCGD (KCGD.rom)", "NEMIGA", "the E-85",
                                    "the KSM terminal (KSM.rom, KSM_FONT.rom)",
                                    "the 15IE terminal (15IE.rom, 15IE_FONT.rom)"};

} // namespace

void workstation_state_save(StateWriter* w)
{
    Pdp11Codes codes[3] = {pdp11_codes(ws.cpu, ws.cpuHeld), pdp11_codes(ws.ppu, false),
                           pdp11_codes(dvk.kcgd.gpu, false)};
    Z80Codes z80 = z80_codes(ksm_terminal.tpu);
    uint16_t ie15_step = step_unknown;
    if (!ie15_step_code(ie15_terminal.cpu.step, &ie15_step))
        ie15_step = step_unknown;
    // Never met on the scratch processors, so never expected; but a state that could not
    // be continued is not written at all.
    for (const Pdp11Codes& c : codes)
        if (c.step == step_unknown || c.continuation == step_unknown || c.bus == bus_unknown)
            state_fail(w, "a PDP-11 processor of the complex stands at a step that cannot be saved");
    if (z80.step == step_unknown || z80.bus == bus_unknown || z80.index == bus_unknown || ie15_step == step_unknown)
        state_fail(w, "a terminal's processor stands at a step that cannot be saved");

    Config config = current_config();
    put_fields(w, tag_config, buffers[0], [&](auto& io) { visit_config(io, config); });
    state_put(w, tag_main_block, ws.mainBlock, main_block_stored);
    put_fields(w, tag_cpu, buffers[1], [&](auto& io) { visit_pdp11(io, ws.cpu, codes[0]); });
    put_fields(w, tag_ppu, buffers[2], [&](auto& io) { visit_pdp11(io, ws.ppu, codes[1]); });
    put_fields(w, tag_gpu, buffers[3], [&](auto& io) { visit_pdp11(io, dvk.kcgd.gpu, codes[2]); });
    put_fields(w, tag_devices, buffers[4], [&](auto& io) { visit_devices(io, ws); });
    put_fields(w, tag_settings, buffers[5], [&](auto& io) { visit_settings(io, ws); });

    put_fields(w, tag_kgd, buffers[6], [&](auto& io) { visit_kgd(io, dvk.kgd); });
    state_put(w, tag_kgd_memory, dvk.kgd.memory, kgd_memory_size);
    put_fields(w, tag_kcgd, buffers[7], [&](auto& io) { visit_kcgd(io, dvk.kcgd); });
    state_put(w, tag_kcgd_memory, dvk.kcgd.block, kcgd_block_stored);
    put_fields(w, tag_nemiga, buffers[8], [&](auto& io) { visit_nemiga(io, dvk.nemiga); });
    state_put(w, tag_nemiga_memory, dvk.nemiga.memory, nemiga_memory_size);
    put_fields(w, tag_e85, buffers[9], [&](auto& io) { visit_e85(io, dvk.e85); });
    state_put(w, tag_e85_memory, dvk.e85.memory, e85_memory_size);

    put_fields(w, tag_ksm, buffers[10], [&](auto& io) { visit_ksm(io, ksm_terminal, z80); });
    state_put(w, tag_ksm_memory, ksm_terminal.block + ksm_rom_size, ksm_ram_size);
    put_fields(w, tag_ie15, buffers[11], [&](auto& io) { visit_ie15(io, ie15_terminal, ie15_step); });
    put_fields(w, tag_terminals, buffers[12], [&](auto& io) { visit_terminals(io, terminals); });
    state_put(w, tag_ie15_display, ie15_terminal.block + ie15_display_offset, 0x1000);
    state_put(w, tag_ie15_picture, ie15_terminal.block + ie15_picture_offset, ie15_picture_size);

    static std::vector<uint8_t> floppy_buffer;
    put_fields(w, tag_floppy, floppy_buffer, [&](auto& io) { visit_floppy(io, uknc_floppy); });
    for (int k = 0; k < 2; ++k)
        state_put(w, tag_disk[k], uknc_floppy.images[k], uknc_image_size);
}

bool workstation_state_check(const StateReader* r, std::string* why)
{
    std::string reason;
    if (!why)
        why = &reason;
    Scratch& s = scratch();
    if (!read_all(r, s, *s.ws, *s.kcgd, *s.floppy, false, why) || !blocks_present(r, why))
        return false;
    const Config now = current_config();
    if (s.config.version != now.version)
        return fail(why, "the state was saved by another version of the UKNC complex");
    const bool saved[6] = {s.config.kgd, s.config.kcgd, s.config.nemiga, s.config.e85, s.config.ksm, s.config.ie15};
    const bool fitted[6] = {now.kgd, now.kcgd, now.nemiga, now.e85, now.ksm, now.ie15};
    for (int k = 0; k < 6; ++k)
        if (saved[k] != fitted[k])
            return fail(why, std::string("the state was saved ") + (saved[k] ? "with " : "without ") + board_names[k] +
                                 ", which this run " + (fitted[k] ? "has" : "lacks"));
    if (s.config.pdp11_steps != now.pdp11_steps || s.config.z80_steps != now.z80_steps ||
        s.config.ie15_steps != now.ie15_steps)
        return fail(why, "the state was saved by a program with other processor cores");
    const char* names[3] = {"CPU", "PPU", "GPU"};
    for (int k = 0; k < 3; ++k)
        if (!pdp11_valid(s.cpu[k], names[k], why) ||
            !pdp11_codes_valid(s.codes[k], k == 0 && s.ws->cpuHeld, names[k], why))
            return false;
    return devices_valid(*s.ws, why) && settings_valid(*s.ws, why) && boards_valid(s, why) &&
           terminals_valid(s, why) && floppy_valid(*s.floppy, why);
}

void workstation_state_load(const StateReader* r)
{
    Scratch& s = scratch();
    std::string ignored;
    // The drives' images stay in place while the fields are read; their names and marks
    // come with the controller.
    read_all(r, s, ws, dvk.kcgd, uknc_floppy, true, &ignored);
    copy_block(r, tag_main_block, ws.mainBlock, main_block_stored);
    copy_block(r, tag_kgd_memory, dvk.kgd.memory, kgd_memory_size);
    copy_block(r, tag_kcgd_memory, dvk.kcgd.block, kcgd_block_stored);
    copy_block(r, tag_nemiga_memory, dvk.nemiga.memory, nemiga_memory_size);
    copy_block(r, tag_e85_memory, dvk.e85.memory, e85_memory_size);
    copy_block(r, tag_ksm_memory, ksm_terminal.block + ksm_rom_size, ksm_ram_size);
    copy_block(r, tag_ie15_display, ie15_terminal.block + ie15_display_offset, 0x1000);
    copy_block(r, tag_ie15_picture, ie15_terminal.block + ie15_picture_offset, ie15_picture_size);
    for (int k = 0; k < 2; ++k)
        copy_block(r, tag_disk[k], uknc_floppy.images[k], uknc_image_size);

    // Pointers: the processors' pending steps and bus operations from their codes.
    Pdp11Cpu* cpus[3] = {&ws.cpu, &ws.ppu, &dvk.kcgd.gpu};
    for (int k = 0; k < 3; ++k) {
        Pdp11Cpu& c = *cpus[k];
        c.continuation = pdp11_step_from_code(s.codes[k].continuation);
        if (k == 0 && ws.cpuHeld) {
            workstation_hold_cpu();
            continue;
        }
        c.stepHandler = pdp11_step_from_code(s.codes[k].step);
        c.busOperation = pdp11_bus_op_from_code(&c, s.codes[k].bus);
    }
    Z80State& tpu = ksm_terminal.tpu;
    z80_set_8080_mode(&tpu, s.z80.i8080 != 0);
    tpu.step = z80_step_from_code(s.z80.step);
    tpu.bus = z80_bus_from_code(&tpu, s.z80.bus);
    tpu.index_reg = s.z80.index ? &tpu.iy : &tpu.ix;
    ie15_terminal.cpu.step = ie15_step_from_code(s.ie15_step);

    // Tables and page maps as the restored modes and memory control have them.
    workstation_map_ppu_pages();
    workstation_install_cpu_io();
    workstation_install_ppu_io();
    gpu_install_io();

    // The picture starts cleared (the host restores the window size), with its title.
    clear_back_buffer();
    if (ws.PictureBuffer)
        std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4);
    const int shown = ws.displayMode;
    ws.displayMode = -1;
    workstation_update_title();
    ws.displayMode = shown;
}

const MachineStateOps workstation_state_ops = {"uknc", workstation_state_save, workstation_state_check,
                                               workstation_state_load};
