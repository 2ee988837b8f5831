// Interim bodies of the renderer and keyboard interface (see workstation_standins.h).
#include "machines/workstation/workstation_standins.h"

#include <cstring>

const uint32_t uknc_palettes[5][128] = {};

void uknc_video_reset(UkncVideoState* video) { *video = UkncVideoState{}; }

void uknc_render_picture(UkncVideoState*, const uint8_t*, const uint16_t*, const uint32_t*,
                         uint32_t* picture)
{
    std::memset(picture, 0, sizeof(uint32_t) * uknc_picture_width * uknc_picture_lines);
}

void uknc_keyboard_reset(UkncKeyboard* keyboard) { *keyboard = UkncKeyboard{}; }
void uknc_keyboard_feed(UkncKeyboard*, const uint8_t*, const uint8_t*) {}
uint16_t uknc_keyboard_read_data(UkncKeyboard* keyboard)
{
    keyboard->status &= ~0x80;
    return keyboard->last_byte;
}
bool uknc_keyboard_frame_update(UkncKeyboard*) { return false; }
