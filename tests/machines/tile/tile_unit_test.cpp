// Tile machine pieces: write rules, ports, colour table, program file, sprites over
// tiles, the three scales and the hot keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "machines/tile/tile.h"

namespace fs = std::filesystem;

namespace {

void cpu_write(uint16_t address, uint8_t value)
{
    Z80State s{};
    s.addr = address;
    s.data = value;
    tile_write_mem(&s);
}

uint8_t port_in(uint16_t port)
{
    Z80State s{};
    s.addr = port;
    tile_read_port(&s);
    return s.data;
}

void port_out(uint16_t port, uint8_t value)
{
    Z80State s{};
    s.addr = port;
    s.data = value;
    tile_write_port(&s);
}

// Video state reset to a known picture: tile code 0 everywhere, all planes 0, palette
// register k = 0x010101 * k so colour indices can be read back from pixels.
void reset_video()
{
    tile_build_colour_table();
    std::memset(tile.tile_map, 0, sizeof tile.tile_map);
    std::memset(tile.tile_planes, 0, sizeof tile.tile_planes);
    std::memset(tile.graphics, 0, sizeof tile.graphics);
    for (auto& sprite : tile.sprites) {
        sprite[0] = sprite[1] = sprite[2] = 0;
        sprite[3] = tile_sprite_hidden;
    }
    for (uint32_t k = 0; k < 16; ++k) tile.palette[k] = 0x010101 * k;
    tile.control = 0;
    tile.x_scroll = 0;
}

// Sets the colour index of pixel (px, row) of the pattern in the graphics block as the
// unmirrored, downward sprite shows it.
void set_pattern_pixel(uint8_t pattern, int px, int row, uint8_t index)
{
    const uint32_t base = (255u - pattern) * 16u + static_cast<uint32_t>(row) + (px >= 8 ? 0x1000u : 0u);
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (px & 7));
    for (int k = 0; k < 4; ++k) {
        uint8_t& b = tile.graphics[base + 0x2000u * k];
        b = static_cast<uint8_t>((index >> k) & 1 ? (b | bit) : (b & ~bit));
    }
}

// A pattern whose every pixel is transparent.
void clear_pattern(uint8_t pattern)
{
    for (int row = 0; row < 16; ++row)
        for (int px = 0; px < 16; ++px) set_pattern_pixel(pattern, px, row, 15);
}

// Renders at 1:1 and returns the colour index of emulated pixel (x, y).
struct Picture {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(512 * 256);
    void render() { tile_render(pixels.data(), 512); }
    uint32_t index(int x, int y) const { return pixels[static_cast<size_t>(y) * 512 + 2 * x] / 0x010101; }
};

} // namespace

TEST(TileBus, WindowWritesFollowTheControlBits)
{
    reset_video();
    tile.control = 0x1E; // planes off, map on
    cpu_write(0xB123, 0x5A);
    EXPECT_EQ(tile.tile_map[0x123], 0x5A);
    for (auto& plane : tile.tile_planes) EXPECT_EQ(plane[0x123], 0);

    tile.control = 0x01; // map off, four planes on
    cpu_write(0xB123, 0xA5);
    EXPECT_EQ(tile.tile_map[0x123], 0x5A);
    for (auto& plane : tile.tile_planes) EXPECT_EQ(plane[0x123], 0xA5);

    tile.control = 0x1F ^ 0x08; // plane 2 only
    cpu_write(0xB7FF, 0x11);
    EXPECT_EQ(tile.tile_planes[2][0x7FF], 0x11);
    EXPECT_EQ(tile.tile_planes[1][0x7FF], 0);
    EXPECT_EQ(tile.tile_map[0x7FF], 0);

    tile.control = 0;
    cpu_write(0xB800, 0x99); // just past the window
    cpu_write(0xAFFF, 0x99);
    EXPECT_EQ(tile.tile_map[0], 0);
    EXPECT_EQ(tile.tile_map[0x7FF], 0);
    EXPECT_EQ(tile.tile_planes[0][0x7FF], 0);
}

TEST(TileBus, ProgramAreaIsReadOnlyBelowC000)
{
    tile.memory[0x1000] = 0x12;
    tile.memory[0xBFFF] = 0x34;
    tile.memory[0xB000] = 0x56;
    cpu_write(0x1000, 0xEE);
    cpu_write(0xBFFF, 0xEE);
    cpu_write(0xB000, 0xEE); // goes to tile memory, not to the program bytes
    EXPECT_EQ(tile.memory[0x1000], 0x12);
    EXPECT_EQ(tile.memory[0xBFFF], 0x34);
    EXPECT_EQ(tile.memory[0xB000], 0x56);
    cpu_write(0xC000, 0xEE);
    cpu_write(0xFFFF, 0xEF);
    EXPECT_EQ(tile.memory[0xC000], 0xEE);
    EXPECT_EQ(tile.memory[0xFFFF], 0xEF);
    Z80State s{};
    s.addr = 0xFFFF;
    tile_read_mem(&s);
    EXPECT_EQ(s.data, 0xEF);
}

TEST(TilePorts, SpritePaletteScrollAndInputPorts)
{
    reset_video();
    port_out(0x53, 10);
    port_out(0x43, 20);
    port_out(0x63, 30);
    port_out(0x7F, 0x0A);
    port_out(0x125F, 40); // only the low byte decodes
    EXPECT_EQ(tile.sprites[3][0], 10);
    EXPECT_EQ(tile.sprites[3][1], 20);
    EXPECT_EQ(tile.sprites[3][2], 30);
    EXPECT_EQ(tile.sprites[15][3], 0x0A);
    EXPECT_EQ(tile.sprites[15][0], 40);

    port_out(0xA3, 0xFF);
    EXPECT_EQ(tile.palette[3], 0xFFD8E8u);
    port_out(0xAF, 0x00);
    EXPECT_EQ(tile.palette[15], 0u);
    port_out(0xA0, 0x29); // red level 5, green level 1, blue level 0
    EXPECT_EQ(tile.palette[0], (210u << 16) | (44u << 8));
    port_out(0xA0, 0xC0); // blue level 3 only
    EXPECT_EQ(tile.palette[0], 232u);
    port_out(0xBE, 0x9F);
    EXPECT_EQ(tile.control, 0x9F);

    tile.input[0] = 1;
    tile.input[1] = 2;
    tile.input[2] = 0x83;
    EXPECT_EQ(port_in(0x00D0), 1);
    EXPECT_EQ(port_in(0xFFD1), 2);
    EXPECT_EQ(port_in(0x00D2), 0x83);
    EXPECT_EQ(port_in(0x00D3), 0);
    EXPECT_EQ(port_in(0x00CF), 0);
}

TEST(TilePorts, ScrollRegistersLogOnlyChanges)
{
    tile.x_scroll = 0;
    tile.y_scroll = 0;
    ::testing::internal::CaptureStdout();
    port_out(0xBD, 7);
    port_out(0xBD, 7);
    port_out(0xBC, 0);   // unchanged from 0: silent
    port_out(0xBC, 200);
    port_out(0xBD, 0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "X-Scroll = 7\nY-Scroll = 200\nX-Scroll = 0\n");
    EXPECT_EQ(tile.y_scroll, 200);
}

TEST(TileVideo, ControlBit7SelectsTheMapsSecondScreen)
{
    reset_video();
    tile.tile_map[0] = 1;        // first screen, top-left tile
    tile.tile_map[1024] = 2;     // second screen, top-left tile
    tile.tile_planes[0][1 * 8] = 0x80; // tile 1 line 0: leftmost pixel index 1
    tile.tile_planes[1][2 * 8] = 0x80; // tile 2 line 0: leftmost pixel index 2
    tile.tile_planes[3][2 * 8 + 7] = 0x01; // tile 2 line 7: rightmost pixel index 8
    Picture p;
    p.render();
    EXPECT_EQ(p.index(0, 0), 1u);
    tile.control = 0x80;
    p.render();
    EXPECT_EQ(p.index(0, 0), 2u);
    EXPECT_EQ(p.index(7, 7), 8u);
    EXPECT_EQ(p.index(8, 0), 0u);
    EXPECT_EQ(p.pixels[1], p.pixels[0]) << "each pixel is drawn twice";
}

TEST(TileVideo, TilesUseCodeLineAndPlanes)
{
    reset_video();
    tile.tile_map[32 * 31 + 31] = 0xFF; // bottom-right tile uses code 255
    for (int k = 0; k < 4; ++k) tile.tile_planes[k][0xFF * 8 + 3] = (k & 1) ? 0x0F : 0xF0;
    Picture p;
    p.render();
    // Planes 0 and 2 on the left half (index 5), planes 1 and 3 on the right (index 10).
    EXPECT_EQ(p.index(248, 251), 5u);
    EXPECT_EQ(p.index(251, 251), 5u);
    EXPECT_EQ(p.index(252, 251), 10u);
    EXPECT_EQ(p.index(255, 251), 10u);
    EXPECT_EQ(p.index(255, 252), 0u);
}

TEST(TileVideo, SpritePositionScrollTransparencyAndHiding)
{
    reset_video();
    clear_pattern(9);
    set_pattern_pixel(9, 0, 0, 3);  // top-left pixel
    set_pattern_pixel(9, 15, 15, 6); // bottom-right pixel
    set_pattern_pixel(9, 1, 0, 0);  // index 0 is opaque
    auto& s = tile.sprites[0];
    s[2] = 9;
    s[3] = tile_sprite_unmirrored | tile_sprite_downwards;
    // Column = (scroll - X - 4) & 0xFF, row = 257 - Y.
    s[0] = 0xF0; // with scroll 0: column (0 - 240 - 4) & 0xFF = 12
    s[1] = 200;  // row 57
    Picture p;
    p.render();
    EXPECT_EQ(p.index(12, 57), 3u);
    EXPECT_EQ(p.index(13, 57), 0u);
    EXPECT_EQ(p.index(27, 72), 6u);
    tile.tile_planes[0][57 & 7] = 0xFF; // the tile line under the sprite's top row: index 1
    p.render();
    EXPECT_EQ(p.index(14, 57), 1u);
    EXPECT_EQ(p.index(13, 57), 0u) << "sprite index 0 covers the tile";

    tile.x_scroll = 5; // the scroll register moves sprites right
    p.render();
    EXPECT_EQ(p.index(17, 57), 3u);

    s[3] |= tile_sprite_hidden;
    p.render();
    EXPECT_EQ(p.index(17, 57), 1u);
}

TEST(TileVideo, SpriteMirroringFlippingAndOrder)
{
    reset_video();
    clear_pattern(0);
    set_pattern_pixel(0, 0, 0, 4);
    auto& s = tile.sprites[2];
    s[0] = 256 - 4 - 100; // column 100
    s[1] = 257 - 50;      // top row 50
    s[2] = 0;
    Picture p;

    s[3] = tile_sprite_unmirrored | tile_sprite_downwards;
    p.render();
    EXPECT_EQ(p.index(100, 50), 4u);
    s[3] = tile_sprite_downwards; // mirrored left-right
    p.render();
    EXPECT_EQ(p.index(100, 50), 0u);
    EXPECT_EQ(p.index(115, 50), 4u);
    s[3] = tile_sprite_unmirrored; // flipped top-bottom
    p.render();
    EXPECT_EQ(p.index(100, 65), 4u);
    s[3] = 0; // both
    p.render();
    EXPECT_EQ(p.index(115, 65), 4u);

    // A later sprite covers an earlier one where it is opaque.
    clear_pattern(1);
    set_pattern_pixel(1, 0, 0, 7);
    auto& t = tile.sprites[9];
    t[0] = s[0];
    t[1] = s[1];
    t[2] = 1;
    t[3] = 0;
    p.render();
    EXPECT_EQ(p.index(115, 65), 7u);
    s[3] = 0;
    std::swap(s, t); // now pattern 1 first, pattern 0 later
    p.render();
    EXPECT_EQ(p.index(115, 65), 4u);
}

TEST(TileVideo, SpritesAtTheEdgesStayInsideTheLayer)
{
    reset_video();
    for (int row = 0; row < 16; ++row)
        for (int px = 0; px < 16; ++px) set_pattern_pixel(0, px, row, 2);
    // Extreme positions: left edge (column -8), right edge (247), top row 2, row 272.
    const uint8_t xs[] = {0, 4, 251, 252, 255};
    const uint8_t ys[] = {0, 1, 255};
    int n = 0;
    for (uint8_t x : xs)
        for (uint8_t y : ys) {
            auto& s = tile.sprites[n++ & 15];
            s[0] = x;
            s[1] = y;
            s[2] = 0;
            s[3] = static_cast<uint8_t>(n & 0x0A);
        }
    tile.x_scroll = 0;
    Picture p;
    p.render(); // under ASan an index outside the layer would fail here
    // Column -8 (x = 252): the sprite's right half shows at columns 0..7 of its rows.
    reset_video();
    for (int row = 0; row < 16; ++row)
        for (int px = 0; px < 16; ++px) set_pattern_pixel(0, px, row, 2);
    tile.sprites[0][0] = 4; // (0 - 4 - 4) & 0xFF = 248: column -8
    tile.sprites[0][1] = 257 - 100;
    tile.sprites[0][2] = 0;
    tile.sprites[0][3] = tile_sprite_unmirrored | tile_sprite_downwards;
    p.render();
    EXPECT_EQ(p.index(0, 100), 2u);
    EXPECT_EQ(p.index(7, 100), 2u);
    EXPECT_EQ(p.index(8, 100), 0u);
    EXPECT_EQ(p.index(255, 99), 0u) << "the hidden half never shows on the right";
}

namespace {

// A BackBuffer stand-in with a frame of marker pixels around the picture.
struct FakeBuffer {
    static constexpr uint32_t width = 1200, height = 960, pitch = 1200;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(pitch * height, 0xDEAD00);
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[y * pitch + x]; }
    void draw() { tile_draw({pixels.data(), pitch}, width, height); }
};

void white_picture()
{
    reset_video();
    for (uint32_t k = 0; k < 16; ++k) tile.palette[k] = 0xFFFFFF;
}

} // namespace

TEST(TileDraw, ScaleOneDrawsEverySecondRow)
{
    white_picture();
    tile.scale = tile_scale_1;
    FakeBuffer b;
    b.draw();
    const uint32_t left = 600 - 256, top = 480 - 256;
    EXPECT_EQ(b.at(left, top), 0xFFFFFFu);
    EXPECT_EQ(b.at(left + 511, top + 510), 0xFFFFFFu);
    EXPECT_EQ(b.at(left, top + 1), 0xDEAD00u);
    EXPECT_EQ(b.at(left - 1, top), 0xDEAD00u);
    EXPECT_EQ(b.at(left + 512, top), 0xDEAD00u);
    EXPECT_EQ(b.at(left, top + 512), 0xDEAD00u);
}

TEST(TileProgram, GraphicsThenMemoryFromTheParentDirectoryWithPatches)
{
    const fs::path previous = fs::current_path();
    const fs::path root = fs::temp_directory_path() / ("korvel_tile_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "data");
    fs::current_path(root / "data");

    std::vector<uint8_t> file(0x8000 + 0x1000); // short: 4 KB of program only
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i >> 8);
    std::ofstream(root / "konek.tia", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    std::memset(tile.memory, 0, sizeof tile.memory);
    tile_load_program();
    EXPECT_EQ(tile.graphics[0], 0);
    EXPECT_EQ(tile.graphics[0x7FFF], 0x7F);
    EXPECT_EQ(tile.memory[0x0000], 0x80);
    EXPECT_EQ(tile.memory[0x0FFF], 0x8F);
    EXPECT_EQ(tile.memory[0x0E0E], 0xC9);
    EXPECT_EQ(tile.memory[0x1000], 0xFF);
    EXPECT_EQ(tile.memory[0x1AAE], 0x63);
    EXPECT_EQ(tile.memory[0x2434], 0x00);
    EXPECT_EQ(tile.memory[0xDFFF], 0xFF);
    EXPECT_EQ(tile.memory[0xE000], 0x00) << "only 56 KB of memory come from the file";

    fs::remove(root / "konek.tia");
    EXPECT_EXIT(tile_load_program(), ::testing::ExitedWithCode(1), "Can't open file!");
    fs::current_path(previous);
    fs::remove_all(root);
}

TEST(TileKeys, InputPortsFollowTheKeys)
{
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
    tile.input[2] = 0x80;
    KeySnapshot[0xCB] = 0x80; // Left
    KeySnapshot[0xD0] = 0x80; // Down
    KeySnapshot[0x39] = 0x80; // Space
    KeySnapshot[0x1D] = 0x80; // left Ctrl
    tile_build_inputs();
    EXPECT_EQ(tile.input[0], 0x20);
    EXPECT_EQ(tile.input[1], 0x20);
    EXPECT_EQ(tile.input[2], 0x80 | 0x40 | 0x20) << "bit 7 is the frame timer's";
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    KeySnapshot[0xCD] = 0x80; // Right
    KeySnapshot[0xC8] = 0x80; // Up
    KeySnapshot[0x1C] = 0x80; // Enter
    tile.input[2] = 0;
    tile_build_inputs();
    EXPECT_EQ(tile.input[0], 0x02);
    EXPECT_EQ(tile.input[1], 0x02);
    EXPECT_EQ(tile.input[2], 0x10);
}

TEST(TileKeys, DeleteStepsScalesCtrlDeleteStepsStylesWinFToggles)
{
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
    tile.scale = tile_scale_3;
    tile.scanlines = tile_lines_black;
    auto frame = [](std::initializer_list<uint8_t> keys) {
        std::memcpy(KeySnapshotPrev, KeySnapshot, sizeof KeySnapshot);
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
        for (uint8_t k : keys) KeySnapshot[k] = 0x80;
        tile_handle_keys();
    };
    ::testing::internal::CaptureStdout();
    frame({0xD3});
    EXPECT_EQ(tile.scale, tile_scale_1);
    EXPECT_EQ(requested_client_width, 512u);
    EXPECT_EQ(requested_client_height, 512u);
    frame({0xD3}); // held: no second step
    EXPECT_EQ(tile.scale, tile_scale_1);
    frame({});
    frame({0xD3});
    EXPECT_EQ(tile.scale, tile_scale_1_25);
    EXPECT_EQ(requested_client_width, 640u);
    frame({});
    frame({0xD3});
    EXPECT_EQ(tile.scale, tile_scale_3);
    EXPECT_EQ(requested_client_width, 960u);
    EXPECT_EQ(requested_client_height, 768u);
    frame({});
    frame({0x1D, 0xD3});
    frame({});
    frame({0x1D, 0xD3});
    frame({});
    frame({0x1D, 0xD3});
    EXPECT_EQ(tile.scale, tile_scale_3);
    EXPECT_EQ(tile.scanlines, tile_lines_black);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Screen X-scale = 1.0\nScreen X-scale = 1.25\nScreen Y-scale = 3.0\n"
                   "Smooth scanlines\nDouble lines\nBlack scanlines\n");

    // Win+F toggles full screen once per press and keeps the input ports as they were.
    const uint8_t was = fullscreen;
    tile.input[0] = 0x20;
    frame({0xDB, 0x21});
    EXPECT_NE(fullscreen, was);
    frame({0xDB, 0x21, 0xD3, 0xCD}); // held: nothing else happens
    EXPECT_NE(fullscreen, was);
    EXPECT_EQ(tile.scale, tile_scale_3);
    EXPECT_EQ(tile.input[0], 0x20);
    frame({0xDB});
    frame({0xDB, 0x21});
    EXPECT_EQ(fullscreen, was);

    default_processing = 1;
    frame({0x02});
    EXPECT_EQ(default_processing, 0u);
    frame({});
    EXPECT_EQ(default_processing, 0u) << "stays off for the rest of the run";
}

namespace {

// The scaled picture as the whole-frame chain makes it: the full picture in one work
// buffer, each scaler over all 256 rows at once.
std::vector<uint32_t> reference_draw(uint32_t pitch, uint32_t width, uint32_t height)
{
    std::vector<uint32_t> out(static_cast<size_t>(pitch) * height, 0xDEAD00);
    std::vector<uint32_t> work(245760, 0);
    uint32_t* const w = work.data();
    if (tile.scale == tile_scale_1_25) {
        uint32_t* dst = out.data() + (height / 2 - 256) * pitch + (width / 2 - 320);
        if (tile.scanlines == tile_lines_black) {
            tile_render(w, 512);
            filter_cols_5_4(w, dst, 512, 256, 0, 2 * pitch - 640);
        } else {
            tile_render(w + 128, 640);
            filter_cols_5_4(w + 128, w, 512, 256, 128, 0);
            if (tile.scanlines == tile_lines_smooth)
                filter_rows_x2_blend(w, dst, 640, 256, 0, pitch);
            else
                filter_rows_x2(w, dst, 640, 256, 0, pitch);
        }
    } else {
        uint32_t* dst = out.data() + (height / 2 - 384) * pitch + (width / 2 - 480);
        tile_render(w + 448, 960);
        filter_cols_3_2(w + 448, w + 192, 512, 256, 448, 192);
        filter_cols_5_4(w + 192, w, 768, 256, 192, 0);
        filter_rows_x3_scanlines(w, dst, 960, 256, 0, pitch);
    }
    return out;
}

} // namespace

TEST(TileDraw, LineByLineScalingMatchesTheWholePictureChain)
{
    reset_video();
    uint32_t seed = 99;
    auto next = [&] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
    for (uint8_t& b : tile.graphics) b = next();
    for (uint8_t& b : tile.tile_map) b = next();
    for (auto& plane : tile.tile_planes)
        for (uint8_t& b : plane) b = next();
    for (uint32_t k = 0; k < 16; ++k) tile.palette[k] = tile_colour_table[next()];
    for (auto& sprite : tile.sprites)
        for (uint8_t& b : sprite) b = next();
    tile.x_scroll = 17;

    const struct {
        uint8_t scale, lines;
    } modes[] = {{tile_scale_1_25, tile_lines_black}, {tile_scale_1_25, tile_lines_smooth},
                 {tile_scale_1_25, tile_lines_double}, {tile_scale_3, tile_lines_black}};
    for (auto mode : modes) {
        tile.scale = mode.scale;
        tile.scanlines = mode.lines;
        FakeBuffer b;
        b.draw();
        const std::vector<uint32_t> expected = reference_draw(FakeBuffer::pitch, FakeBuffer::width, FakeBuffer::height);
        size_t differences = 0;
        for (size_t i = 0; i < expected.size(); ++i) differences += expected[i] != b.pixels[i];
        EXPECT_EQ(differences, 0u) << "scale " << int(mode.scale) << " style " << int(mode.lines);
    }
}

TEST(TileFrame, OneInterruptPerFrameAndPortD2Bit7AfterFiveThousandTStates)
{
    std::memset(tile.memory, 0, sizeof tile.memory);
    for (auto& key : KeyState) key = 0;
    const uint8_t program[] = {0x31, 0x00, 0xF0, 0xED, 0x56, 0xFB, 0x76, 0x18, 0xFD}; // LD SP; IM 1; EI; HALT; JR
    const uint8_t handler[] = {0xDB, 0xD2, 0x32, 0x01, 0xC0,                          // IN A,(D2); LD (C001),A
                               0x21, 0x00, 0xC0, 0x34, 0xFB, 0xC9};                   // INC (C000); EI; RET
    std::memcpy(tile.memory, program, sizeof program);
    std::memcpy(tile.memory + 0x38, handler, sizeof handler);
    tile.scale = tile_scale_3;
    tile_power_on();
    tile_run_frame(); // EI comes during the first frame: no interrupt yet
    EXPECT_EQ(tile.memory[0xC000], 0);
    EXPECT_EQ(tile.input[2] & 0x80, 0x80);
    tile_run_frame();
    tile_run_frame();
    EXPECT_EQ(tile.memory[0xC000], 2);
    EXPECT_EQ(tile.memory[0xC001] & 0x80, 0) << "cleared at the frame's start";
    EXPECT_LT(tile.cpu.ticks, 0);
    EXPECT_GT(tile.cpu.ticks, -11 * 256) << "overshoot of at most one instruction";
}
