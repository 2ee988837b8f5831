// Interim declarations of the UKNC screen renderer, keyboard and floppy controller, whose
// own files join the complex later. Same interface as those; the bodies in
// workstation_standins.cpp keep the complex runnable (black picture, no keys, no disks).
#pragma once

#include <cstdint>

struct UkncVideoState {
    int scale;
    uint16_t colour_words[2];
    uint16_t cursor_word;
    int bank;
    uint32_t line_colours[8];
};
void uknc_video_reset(UkncVideoState*);
extern const uint32_t uknc_palettes[5][128];
inline constexpr int uknc_picture_width = 640, uknc_picture_lines = 298;
void uknc_render_picture(UkncVideoState*, const uint8_t* ppu_memory, const uint16_t* cpu_memory,
                         const uint32_t* palette, uint32_t* picture);

struct UkncKeyboard {
    uint8_t ring[128];
    uint32_t producer, consumer;
    uint16_t status;
    uint8_t last_byte;
    uint8_t hold[128];
};
void uknc_keyboard_reset(UkncKeyboard*);
void uknc_keyboard_feed(UkncKeyboard*, const uint8_t* key_snapshot, const uint8_t* key_snapshot_prev);
uint16_t uknc_keyboard_read_data(UkncKeyboard*);
bool uknc_keyboard_frame_update(UkncKeyboard*);
