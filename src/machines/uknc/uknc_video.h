// UKNC screen: the peripheral processor's video line table turned into a 640 x 298
// picture, the five palettes, and the picture's presentation in the BackBuffer.
//
// The video controller walks a chain of records in PPU memory, starting at 0270 each
// field. A record is two words, the line's video address and the pointer to the next
// record; the pointer's low three bits say what the next record holds:
//   bit 0  toggles the cursor (drawn on every line while the toggle is on)
//   bit 1  two parameter words come first
//   bit 2  (with bit 1) they are colours for pixel codes 0-7, else cursor word and
//          scale/bank word
// A line has 80 >> S bytes of three planes (plane 0 in PPU memory, planes 1 and 2 as the
// low and high byte of CPU memory words), each bit repeated 2^S times across 640 pixels.
//
// How it is wired:
//   uknc_video_reset(state)            at start and restart: scale 0, all black
//   uknc_render_picture(...)           once a frame, into a 640 x 298 picture; with a line
//                                      cache only the lines whose sources changed
//   uknc_present_picture(...)          X-scale and scanline mode into the BackBuffer
//   uknc_client_size(settings, w, h)   the window client size for set_client_size
#pragma once

#include <cstdint>

struct UkncVideoState {
    int scale;                  // 0-3: each source pixel is 2^scale output pixels wide
    uint16_t colour_words[2];   // colour nibbles of pixel codes 0-3 and 4-7, lowest first
    uint16_t cursor_word;       // last cursor word: position, graphic bit, colour
    int bank;                   // palette bank 0-7
    uint32_t line_colours[8];   // 0x00RRGGBB of pixel codes 0-7 on the current line
};

void uknc_video_reset(UkncVideoState* state);

// Palettes: 8 banks x 16 colours, 0x00RRGGBB; index bank * 16 + colour nibble.
inline constexpr int uknc_palette_count = 5;
extern const uint32_t uknc_palettes[uknc_palette_count][128];

inline constexpr int uknc_picture_width = 640, uknc_picture_lines = 298;

// What each line of a picture was last drawn from: its video address, scale, colours and
// cursor, and a copy of the plane bytes it showed. A line is drawn again only when any of
// these differs. The cache compares the sources themselves rather than being told about
// writes, so every kind of change reaches it: either processor's writes to the planes,
// byte or word, through memory or the plane registers, a new line table, palette, cursor
// or scale, a state load, a restart, the debugger's stores.
struct UkncCachedLine {
    uint16_t video_address;
    uint8_t scale;
    bool cursor;
    uint32_t cursor_word, cursor_colour; // 0 without a cursor
    uint32_t colours[8];
    uint8_t plane0[80];
    uint16_t planes12[80];
};

struct UkncLineCache {
    const uint32_t* picture = nullptr; // the picture the lines describe; none: all are drawn
    UkncCachedLine lines[uknc_picture_lines];
    uint8_t changed[uknc_picture_lines]; // 1 for each line the last render drew
    uint32_t changed_count = 0;
};

// Forgets the cached lines: the next render draws them all (the picture was written by
// someone else).
inline void uknc_line_cache_invalidate(UkncLineCache* cache) { cache->picture = nullptr; }

// One field: walks the line table and writes 640 x 298 pixels into picture.
// ppu_memory is plane 0 (64 KB); cpu_memory is 65536 words (plane 1 low, plane 2 high).
// With a cache, lines drawn from the same sources as last time into the same picture are
// left as they are, and cache->changed lists the lines drawn.
void uknc_render_picture(UkncVideoState* state, const uint8_t* ppu_memory, const uint16_t* cpu_memory,
                         const uint32_t* palette, uint32_t* picture, UkncLineCache* cache = nullptr);

// ---- Presentation ----------------------------------------------------------------------

struct UkncDisplaySettings {
    int x_scale_code;  // 0 (x1.0), 12 (x1.25), 13 (x1.333), 15 (x1.5)
    int scanline_mode; // 0 black scanlines, 1 smooth scanlines, 2 double lines
    int lines_fit;     // picture lines the window shows: 276, 288 or 298
};

inline constexpr int uknc_scanlines_black = 0, uknc_scanlines_smooth = 1, uknc_scanlines_double = 2;

// Pixels in the complex's PictureBuffer (1228800 bytes); the presentation needs at most
// 960 x 299 of them (the scaled picture and one black line under it).
inline constexpr uint32_t uknc_picture_buffer_pixels = 1228800 / 4;

// Width of the picture at the X-scale: 640, 800, 852 or 960 (unknown codes: 640).
uint32_t uknc_scaled_width(int x_scale_code);
// The window client area: scaled width x (2 x lines-fit).
void uknc_client_size(const UkncDisplaySettings& settings, uint32_t* width, uint32_t* height);
// "UKNC screen X-scale = 1.25\n" and its kin, as printed when the X-scale is set.
const char* uknc_x_scale_message(int x_scale_code);

// Locks the BackBuffer, presents the picture there and unlocks it; draws nothing when
// the lock fails. picture_buffer holds uknc_picture_buffer_pixels.
void uknc_present_picture(const uint32_t* picture, const UkncDisplaySettings& settings,
                          uint32_t* picture_buffer);
// The same into any 32-bit surface of the given size and pitch (in pixels): the picture
// centred horizontally, its first line at row height / 2 - lines-fit + 1, one row under
// the top of the window's centred client area. A surface too small for it is left alone.
// With `changed` (one flag per picture line) only the rows that those lines make are
// written: the surface must hold this presentation of the other lines already.
// Returns the rows written as [*first_row, *end_row) when those are given.
void uknc_present_into(const uint32_t* picture, const UkncDisplaySettings& settings, uint32_t* picture_buffer,
                       uint32_t* surface, uint32_t pitch, uint32_t width, uint32_t height,
                       const uint8_t* changed = nullptr, uint32_t* first_row = nullptr, uint32_t* end_row = nullptr);
