// The workstation complex's saved state, inside its own files: the field codecs, the
// section tags, the records and their field lists (one list per record serves saving,
// checking and loading), and the checks of the values read (workstation_state_valid.cpp).
#pragma once

#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_state.h"

#include "machines/terminals/terminals.h"

#include "cpu/ie15/ie15_step_codes.h"
#include "cpu/pdp11/pdp11_step_codes.h"
#include "cpu/z80/z80_step_codes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace workstation_state {

inline Workstation& ws = workstation;

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

inline Config current_config()
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

inline Pdp11Codes pdp11_codes(const Pdp11Cpu& c, bool held)
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

inline Z80Codes z80_codes(const Z80State& s)
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

// ---- Checks of the values read (workstation_state_valid.cpp) ------------------------------

bool fail(std::string* why, const std::string& text);
bool pdp11_codes_valid(const Pdp11Codes& codes, bool held, const char* name, std::string* why);
bool pdp11_valid(const Pdp11Cpu& c, const char* name, std::string* why);
bool devices_valid(const Workstation& w, std::string* why);
bool settings_valid(const Workstation& w, std::string* why);
bool boards_valid(const Scratch& s, std::string* why);
bool terminals_valid(const Scratch& s, std::string* why);
bool floppy_valid(const UkncFloppy& f, std::string* why);

} // namespace workstation_state
