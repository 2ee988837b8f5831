// Names of the key codes the machines and the host read in KeyState / KeySnapshot: the PC
// keyboard's set 1 scan codes, with 0x80 added for the extended (E0-prefixed) keys.
#pragma once

#include <cstdint>

enum KeyCode : uint8_t {
    key_1 = 0x02,
    key_0 = 0x0B,
    key_backspace = 0x0E,
    key_enter = 0x1C,
    key_left_ctrl = 0x1D,
    key_f = 0x21,
    key_grave = 0x29,
    key_left_shift = 0x2A,
    key_c = 0x2E,
    key_right_shift = 0x36,
    key_space = 0x39,
    key_f1 = 0x3B,
    key_f6 = 0x40,
    key_f7 = 0x41,
    key_f8 = 0x42,
    key_f9 = 0x43,
    key_f10 = 0x44,
    key_num_lock = 0x45,
    key_scroll_lock = 0x46,
    key_f11 = 0x57,
    key_f12 = 0x58,
    key_right_ctrl = 0x9D,
    key_print_screen = 0xB7,
    key_pause = 0xC5,
    key_up = 0xC8,
    key_page_up = 0xC9,
    key_left = 0xCB,
    key_right = 0xCD,
    key_down_arrow = 0xD0,
    key_page_down = 0xD1,
    key_delete = 0xD3,
    key_left_windows = 0xDB,
    key_apps = 0xDD,
};
