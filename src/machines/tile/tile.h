// Tile-and-sprite machine: a Z80 with a 32 x 32 map of 8 x 8 four-bit tiles, 16 sprites
// of 16 x 16 pixels in four bit planes, 16 palette registers chosen from a 256-colour
// table and a horizontal scroll register that positions the sprites.
//
// Memory is one flat 64 KB; the program file fills 0x0000-0xDFFF and the CPU may write
// only 0xC000 and up. Writes to 0xB000-0xB7FF go to the tile memory (map and four
// planes), to every target whose bit in the control register (port 0xBE) is clear.
// The sprites' pixels come from a separate 32 KB graphics block loaded with the program.
//
// How it is wired:
//   tile_main()                    start-up, then the frame loop (never returns)
//   tile_start()                   program file, patches, colour table, tile_power_on()
//   tile_power_on()                CPU and monitor set up over the memory as it is
//   tile_run_frame()               keys and hot keys, interrupt, one frame of instructions
//   tile_render(dst, row_step)     256 x 256 picture, 2 pixels per emulated pixel
//   tile_draw(view, w, h)          scaled picture into a locked BackBuffer
#pragma once

#include <cstdint>

#include "cpu/z80/z80.h"
#include "host/host.h"
#include "machines/z80_machine/z80_monitor.h"

inline constexpr const char* tile_program_file = "..//konek.tia";

inline constexpr uint32_t tile_graphics_size = 0x8000;
inline constexpr uint32_t tile_program_size = 0xE000;
inline constexpr uint16_t tile_writable_start = 0xC000;
inline constexpr uint16_t tile_window_start = 0xB000; // 0xB000-0xB7FF: tile memory
inline constexpr int32_t tile_frame_ticks = 35000 * 256;
// Bit 7 of port 0xD2 rises once 5000 T-states of the frame are gone.
inline constexpr int32_t tile_d2_bit7_ticks = tile_frame_ticks - 5000 * 256;

// Sprite layer: colour indices, 15 = transparent. Wider and taller than the 256 x 256
// picture so that a sprite's whole 16 x 16 box always lands inside it (see the drawing).
inline constexpr uint32_t tile_layer_width = 272;
inline constexpr uint32_t tile_layer_height = 274;
inline constexpr uint8_t tile_transparent = 15;

inline constexpr uint32_t tile_work_pixels = 2 * 960; // one scaled line and the next

enum TileScale : uint8_t { tile_scale_1 = 1, tile_scale_3 = 3, tile_scale_1_25 = 12 };
enum TileScanlines : uint8_t { tile_lines_black = 0, tile_lines_smooth = 1, tile_lines_double = 2 };

struct TileMachine {
    Z80State cpu;
    Z80Monitor monitor;
    uint8_t memory[0x10000];
    uint8_t graphics[tile_graphics_size]; // four 8 KB bit planes of sprite patterns
    uint8_t tile_map[2048];               // two screens of 32 x 32 codes
    uint8_t tile_planes[4][2048];         // plane k = bit k of the colour; code * 8 + line
    uint8_t control;                      // port 0xBE
    uint8_t x_scroll;                     // port 0xBD
    uint8_t y_scroll;                     // port 0xBC
    uint8_t sprites[16][4];               // X, Y, pattern, flags
    uint32_t palette[16];                 // 0x00RRGGBB
    uint8_t input[3];                     // ports 0xD0, 0xD1, 0xD2
    uint8_t scale;                        // TileScale
    uint8_t scanlines;                    // TileScanlines
    uint8_t sprite_layer[tile_layer_width * tile_layer_height];
    uint32_t work[tile_work_pixels];      // line buffers of the scaled modes
};

extern TileMachine tile;
extern uint32_t tile_colour_table[256];

// Sprite flags.
enum : uint8_t {
    tile_sprite_hidden = 0x01,
    tile_sprite_downwards = 0x02, // clear: rows drawn upwards (flipped)
    tile_sprite_unmirrored = 0x08, // clear: mirrored left-right
};

// Bus routines.
void tile_fetch_byte(Z80State* s);
void tile_read_mem(Z80State* s);
void tile_write_mem(Z80State* s);
void tile_read_port(Z80State* s);
void tile_write_port(Z80State* s);

void tile_build_colour_table();
// Reads the program file into the graphics block and memory and applies the patches.
void tile_load_program();

// Rebuilds ports 0xD0-0xD2 from the key snapshot (bit 7 of 0xD2 is kept).
void tile_build_inputs();
// The Delete / Ctrl+Delete / Win+F / F8 / 1 keys of one frame, then the input ports.
void tile_handle_keys();

// Renders the 256 x 256 picture as 512 x 256 pixels, rows row_step pixels apart.
void tile_render(uint32_t* dst, uint32_t row_step);
// Draws the picture at the current scale and scan-line style into a locked BackBuffer.
void tile_draw(const BackBufferView& view, uint32_t width, uint32_t height);
// Lock, draw, unlock, end_frame.
void tile_draw_and_present();

void tile_start();
// CPU (pc = 0) and monitor (run mode, no breakpoint) over the memory as it is.
void tile_power_on();
void tile_run_frame();
[[noreturn]] void tile_main();
// Save states (tile_state.cpp): the program file's note and the machine's sections.
void tile_register_state();
