// The E-85 mode: switched on by a CPU program, its registers, keys and status, the
// drawing engine's logic operations in a table, the word fill with its wrap, the
// unsupported operations, and the picture with its monochrome rule.
#include "dvk_test_support.h"

#include <random>

namespace {

Workstation& ws = workstation;

uint8_t* plane(int n) { return dvk.e85.memory + n * e85_plane_size; }
bool pixel(int n, uint32_t position)
{
    uint32_t word = position / 16;
    return (peek_word(plane(n), 2 * word) >> (15 - position % 16)) & 1;
}

TEST(DvkE85, CpuProgramSwitchesItOnAndDraws)
{
    dvk_test_complex();
    Pdp11Program p(01000);
    p.w({013737, 0174000, 002000});  // identification: 2, E-85 on
    p.w({013737, 0174404, 002002});  // status (the mirror at 0174400)
    p.w({013737, 0174004, 002004});  // status again: bit 7 gone
    p.w({012737, 0x0402, 0174006});  // palette mode, plane 0 copies the pattern
    p.w({012737, 0x0007, 0174410});  // plane 1 set, plane 2 nothing
    p.w({012737, 0x0005, 0174012});  // colour (printed)
    p.w({012737, 0x0013, 0174016});  // X = 19
    p.w({012737, 0x0102, 0174020});  // Y = 2 (a byte)
    p.w({012737, 0xF00F, 0174024});  // pattern
    p.w({012737, 000040, 0174022});  // length 32: draw
    p.w({012737, 0x0002, 0174006});  // standard mode again
    p.label("idle").branch(000400, "idle");
    p.resolve();
    dvk.e85.status = 0;
    dvk_test_start_cpu(p);
    std::string out = dvk_test_frames(1);
    EXPECT_EQ(out, "Videomode E-85 Activated!\n\nSwitch to palette mode\nCOL = 0x5, \nSwitch to standart mode\n");
    EXPECT_TRUE(ws.e85Mode);
    EXPECT_EQ(workstation_display_mode(), 5);
    EXPECT_EQ(requested_client_width, 1024u);
    EXPECT_EQ(requested_client_height, 768u);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02000), 2);
    // The frame start set bit 7 and toggled bit 5 before the program read it.
    EXPECT_EQ(peek_word(ws.cpuMemory, 02002), 0x00A0);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02004), 0x0020);
    EXPECT_EQ(dvk.e85.x, 19);
    EXPECT_EQ(dvk.e85.y, 2);
    // Plane 0 took the pattern bit by bit from bit 0, rotating right; plane 1 is set.
    for (uint32_t i = 0; i < 40; ++i) {
        uint32_t position = 2 * 1024 + 19 + i - 4;
        bool inside = i >= 4 && i < 36;
        EXPECT_EQ(pixel(0, position), inside && ((0xF00F >> ((i - 4) % 16)) & 1)) << i;
        EXPECT_EQ(pixel(1, position), inside) << i;
        EXPECT_FALSE(pixel(2, position)) << i;
    }
    // Status: bit 7 set and bit 5 toggled every frame.
    uint16_t before = dvk.e85.status;
    dvk_frame_start();
    EXPECT_EQ(dvk.e85.status, uint16_t((before | 0x80) ^ 0x20));
}

// Every logic operation on the four combinations of pixel and pattern bit, on every
// plane it can reach.
TEST(DvkE85, LogicOperationsOfThePixelRun)
{
    dvk_test_complex();
    const struct {
        int operation;
        bool result[4]; // (pixel, pattern bit) = (0,0), (0,1), (1,0), (1,1)
    } table[] = {
        {0, {0, 0, 1, 1}}, {1, {0, 1, 1, 0}}, {2, {0, 1, 0, 1}}, {3, {1, 0, 1, 0}},
        {4, {0, 1, 1, 1}}, {5, {0, 0, 1, 0}}, {6, {0, 0, 0, 0}}, {7, {1, 1, 1, 1}},
    };
    for (int target = 0; target < 3; ++target)
        for (const auto& row : table) {
            std::memset(dvk.e85.memory, 0, e85_memory_size);
            // Pixels 0-3 of line 5 from X = 100: 0, 0, 1, 1 against pattern bits 0, 1, 0, 1.
            for (int n = 0; n < 3; ++n) {
                uint32_t word = 5 * 64 + 100 / 16;
                poke_word(plane(n), 2 * word, uint16_t(0x3 << (15 - (100 % 16) - 3)));
            }
            dvk.e85.status = 0x0000;
            dvk.e85.mode = uint16_t(target == 0 ? row.operation : 0);
            dvk.e85.operations = uint16_t(target == 1 ? row.operation : target == 2 ? row.operation << 8 : 0);
            dvk.e85.x = 100;
            dvk.e85.y = 5;
            dvk.e85.pattern = 0xAAAA;
            dvk.e85.length = 4;
            e85_draw();
            for (int i = 0; i < 4; ++i)
                for (int n = 0; n < 3; ++n) {
                    bool expected = n == target ? row.result[i] : (i >= 2);
                    EXPECT_EQ(pixel(n, 5 * 1024 + 100 + i), expected)
                        << "operation " << row.operation << " plane " << n << " pixel " << i;
                }
        }
}

TEST(DvkE85, WordFillWrapsAndUnsupportedOperationsOnlyReport)
{
    dvk_test_complex();
    std::memset(dvk.e85.memory, 0, e85_memory_size);
    // Invert three words from the plane's last word: it wraps to the first two.
    poke_word(plane(0), 2 * 0x3FFF, 0x00FF);
    poke_word(plane(0), 2, 0x1234);
    dvk.e85.status = 0x0200;
    dvk.e85.mode = 1;
    dvk.e85.x = 63 * 16 + 5;
    dvk.e85.y = 255;
    dvk.e85.length = 3;
    testing::internal::CaptureStdout();
    e85_draw();
    EXPECT_EQ(peek_word(plane(0), 2 * 0x3FFF), 0xFF00);
    EXPECT_EQ(peek_word(plane(0), 0), 0xFFFF);
    EXPECT_EQ(peek_word(plane(0), 2), 0xEDCB);
    EXPECT_EQ(peek_word(plane(0), 4), 0x0000);
    // Pattern fill.
    dvk.e85.mode = 2;
    dvk.e85.pattern = 0x5A5A;
    dvk.e85.x = 32;
    dvk.e85.y = 1;
    dvk.e85.length = 2;
    e85_draw();
    EXPECT_EQ(peek_word(plane(0), 2 * 66), 0x5A5A);
    EXPECT_EQ(peek_word(plane(0), 2 * 67), 0x5A5A);
    EXPECT_EQ(peek_word(plane(0), 2 * 68), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    std::vector<uint8_t> snapshot(dvk.e85.memory, dvk.e85.memory + e85_memory_size);
    const struct {
        uint16_t status, mode;
        const char* message;
    } unsupported[] = {
        {0x0200, 3, "Unsupported logic operation: 3\n"},
        {0x0200, 0, "Unsupported logic operation: 0\n"},
        {0x0100, 1,
         "\nUnsupported opeation: Len = 0x2, D1 = 0x1, D2 = 0x0, x = 32, y = 1, w = 0x5A5A, type = 0x1\n"},
        {0x0300, 1,
         "\nUnsupported opeation: Len = 0x2, D1 = 0x1, D2 = 0x0, x = 32, y = 1, w = 0x5A5A, type = 0x3\n"},
    };
    dvk.e85.operations = 0;
    for (const auto& u : unsupported) {
        dvk.e85.status = u.status;
        dvk.e85.mode = u.mode;
        testing::internal::CaptureStdout();
        e85_draw();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), u.message);
        EXPECT_TRUE(std::equal(snapshot.begin(), snapshot.end(), dvk.e85.memory));
    }
}

TEST(DvkE85, KeysAreLatchedInTableOrder)
{
    dvk_test_complex();
    auto read = [](uint32_t address) { return ws.CpuIoReadTable[(address >> 1) & 0xFFF](address); };
    EXPECT_EQ(read(0173742), 0);
    const struct {
        std::vector<uint8_t> held;
        uint16_t code;
    } cases[] = {{{0x02}, 0x96}, {{0x4F}, 0x96}, {{0x53}, 0x94}, {{0x53, 0x1C}, 0xBD}, {{0x4E, 0x3B}, 0xA2}};
    for (const auto& c : cases) {
        std::memset(KeySnapshot, 0, 256);
        for (uint8_t key : c.held)
            KeySnapshot[key] = 0x80;
        EXPECT_EQ(read(0173742), 2);
        EXPECT_EQ(read(0173740), c.code);
    }
    std::memset(KeySnapshot, 0, 256);
    EXPECT_EQ(read(0173742), 0);
    EXPECT_EQ(read(0173740), 0xA2); // the last latched code stays
}

// Eight colours from three planes, or green on black while planes 1 and 2 are blank.
TEST(DvkE85, PictureColoursAndMonochromeRule)
{
    dvk_test_complex();
    std::mt19937 random(3);
    std::vector<uint32_t> picture(e85_width * e85_lines);
    for (int colour_planes = 0; colour_planes < 2; ++colour_planes) {
        std::memset(dvk.e85.memory, 0, e85_memory_size);
        for (uint32_t i = 0; i < (colour_planes ? e85_memory_size : e85_plane_size); ++i)
            dvk.e85.memory[i] = uint8_t(random());
        e85_render(picture.data());
        for (uint32_t y = 0; y < uint32_t(e85_lines); ++y)
            for (uint32_t x = 0; x < uint32_t(e85_width); ++x) {
                uint32_t position = y * 1024 + x;
                int value = pixel(0, position) | pixel(1, position) << 1 | pixel(2, position) << 2;
                uint32_t expected = colour_planes ? e85_colours[value] : (value ? 0x00FF00u : 0u);
                ASSERT_EQ(picture[position], expected) << x << "," << y;
            }
    }
    // One set bit in plane 2 is enough for colour.
    std::memset(dvk.e85.memory, 0, e85_memory_size);
    poke_word(plane(0), 0, 0x8000);
    dvk.e85.memory[3 * e85_plane_size - 2] = 0x01; // bit 0 of the last word: the last pixel
    e85_render(picture.data());
    EXPECT_EQ(picture[0], e85_colours[1]);
    EXPECT_EQ(picture[e85_width * e85_lines - 1], e85_colours[4]);
}

} // namespace
