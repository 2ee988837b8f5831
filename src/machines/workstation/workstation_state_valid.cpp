// The checks of a saved complex's values: processors and their step codes, devices,
// picture settings, boards, terminals and floppy drives, each against the ranges the
// running machine can hold.
#include "machines/workstation/workstation_state_records.h"

#include "host/beeper.h"

namespace workstation_state {

namespace {

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

} // namespace

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

} // namespace workstation_state
