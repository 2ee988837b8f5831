// The window's frame draws only the picture lines whose sources changed and presents only
// those into the BackBuffer. Every kind of change must still reach the window: after each,
// the BackBuffer must hold exactly what a whole render and presentation give.
#include "state_test_support.h"
#include "workstation_programs.h"

#include "host/host_internal.h"
#include "machines/workstation/workstation_state.h"

#include <functional>
#include <vector>

namespace {

Workstation& ws = workstation;

// One bus write by a processor, as its instruction would make it; the processor itself
// is left as it was.
void bus_write(Pdp11Cpu& c, uint32_t address, uint16_t value, bool byte = false)
{
    const Pdp11Cpu saved = c;
    c.busAddress = address;
    c.dataOut = value;
    (byte ? c.opWriteByte : c.opWrite)(&c);
    c = saved;
}

// Video address and line-table record of drawn line L of the synthetic screen.
uint16_t video_of(int line) { return uint16_t(first_line_video + 80 * line); }
uint16_t record_of(int line) { return uint16_t(02020 + 4 * (16 + line)); }

// The BackBuffer rows of the picture, compared with a whole render and presentation.
void expect_window_shows_the_picture(const char* what)
{
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> expected(size_t(back_buffer_width) * back_buffer_height);
    workstation_render(picture.data());
    uknc_present_into(picture.data(), ws.display, buffer.data(), expected.data(), back_buffer_width,
                      back_buffer_width, back_buffer_height);
    const uint32_t top = back_buffer_height / 2 - ws.display.lines_fit + 1;
    ASSERT_LE(top + 2 * uknc_picture_lines, back_buffer_height);
    for (uint32_t row = top; row < top + 2 * uknc_picture_lines; ++row)
        ASSERT_EQ(std::memcmp(host.back_buffer + size_t(row) * back_buffer_width,
                              expected.data() + size_t(row) * back_buffer_width, back_buffer_width * 4),
                  0)
            << what << ": row " << row;
}

TEST(WorkstationLineCache, EveryKindOfChangeReachesTheWindow)
{
    workstation_test_complex();
    std::vector<uint8_t> rom = synthetic_rom();
    std::memcpy(ws.rom, rom.data(), rom.size());
    workstation_restart();
    ws.display = UkncDisplaySettings{12, uknc_scanlines_black, 276}; // as the window starts
    static std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    if (!ws.PictureBuffer)
        ws.PictureBuffer = picture_buffer.data(); // the window's start-up allocates it
    for (int frame = 0; frame < 3; ++frame)
        workstation_run_frame();
    clear_back_buffer();
    workstation_present();
    expect_window_shows_the_picture("start");

    MemoryState saved;
    struct Case {
        const char* what;
        std::function<void()> change;
        bool changes_picture;
    };
    const Case cases[] = {
        {"CPU word into planes 1 and 2", [] { bus_write(ws.cpu, 2 * video_of(5) + 2, 0x1234); }, true},
        {"CPU byte into plane 2", [] { bus_write(ws.cpu, 2 * video_of(6) + 9, 0xA5, true); }, true},
        {"CPU plane window", [] {
             bus_write(ws.cpu, 0176640, video_of(7) + 4);
             bus_write(ws.cpu, 0176642, 0x00FF); // the window writes planes 1 and 2
         }, true},
        {"PPU word into plane 0", [] { bus_write(ws.ppu, video_of(8) + 10, 0xF00F); }, true},
        {"PPU byte into plane 0", [] { bus_write(ws.ppu, video_of(9) + 11, 0x3C, true); }, true},
        {"PPU pixel registers", [] {
             bus_write(ws.ppu, 0177010, video_of(10) + 12);
             bus_write(ws.ppu, 0177012, 0x81, true);
             bus_write(ws.ppu, 0177014, 0x4242);
         }, true},
        {"line table: a record shows another line", [] { bus_write(ws.ppu, record_of(20), video_of(0)); }, true},
        {"colour record", [] { bus_write(ws.ppu, 02000, 0x7531); }, true},
        {"cursor position", [] { bus_write(ws.ppu, 02010, (300 << 5) | 0x0B); }, true},
        {"scale and bank", [] { bus_write(ws.ppu, 02012, 0x0013); }, true},
        {"palette", [] { ws.paletteIndex = 2; }, true},
        {"state saved", [&saved] { saved = memory_state_save(workstation_state_save); }, false},
        {"planes wiped", [] {
             std::memset(ws.ppuMemory + first_line_video, 0, 80 * 298);
             std::memset(ws.cpuMemory + 2 * first_line_video, 0, 160 * 298);
         }, true},
        {"state loaded", [&saved] {
             MemoryReader reader(saved);
             workstation_state_load(reader.get());
         }, true},
        {"KGD display on", [] { workstation_switch_mode(WS_MODE_KGD, true, false); }, true},
        {"KGD display off", [] { workstation_switch_mode(WS_MODE_KGD, false, false); }, true},
        {"restart", [] { workstation_restart(); }, false},
        {"frames run after the restart", [] {
             for (int frame = 0; frame < 3; ++frame)
                 workstation_run_frame();
         }, false},
        {"lines fit and X-scale", [] { ws.display = UkncDisplaySettings{15, uknc_scanlines_smooth, 288}; }, true},
        {"smooth scanlines: one line", [] { bus_write(ws.ppu, video_of(100), 0xFFFF); }, true},
        {"double lines, X-scale 1.0", [] {
             clear_back_buffer(); // as the Delete keys do
             ws.display = UkncDisplaySettings{0, uknc_scanlines_double, 298};
         }, true},
        {"BackBuffer cleared", [] { clear_back_buffer(); }, false},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> before(host.back_buffer, host.back_buffer + size_t(back_buffer_width) * back_buffer_height);
        c.change();
        workstation_present();
        if (ws.kgdMode)
            continue; // the KGD has the screen
        expect_window_shows_the_picture(c.what);
        if (HasFatalFailure())
            return;
        const bool changed = std::memcmp(before.data(), host.back_buffer, before.size() * 4) != 0;
        if (c.changes_picture) {
            EXPECT_TRUE(changed) << c.what << " changed nothing: the case tests nothing";
        }
    }
}

} // namespace
