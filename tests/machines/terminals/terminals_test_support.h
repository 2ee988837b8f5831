// Synthetic terminal programs and picture probes shared by the terminal tests.
#pragma once

#include "machines/terminals/terminals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

// A pixel of a terminal picture (or a line of the 15IE generator's picture): bytes in
// swapped pairs, most significant bit leftmost.
inline int text_pixel(const uint8_t* text, uint32_t x, uint32_t y)
{
    return (text[y * terminal_bytes_per_line + ((x / 8) ^ 1)] >> (7 - x % 8)) & 1;
}

// The ten pixels of a character cell at (column, picture line) read back as a glyph
// byte; -1 when either of the two gap pixels is lit.
inline int cell_byte(const uint8_t* text, uint32_t column, uint32_t y)
{
    int v = 0;
    for (uint32_t b = 0; b < 8; ++b)
        v = v << 1 | text_pixel(text, column * 10 + b, y);
    if (text_pixel(text, column * 10 + 8, y) || text_pixel(text, column * 10 + 9, y))
        return -1;
    return v;
}

// A font whose every glyph row differs: code c, row g.
inline uint8_t test_glyph(uint32_t code, uint32_t row) { return uint8_t((code * 7 + row * 29 + 1) | 0x81); }

inline void fill_test_font(uint8_t* font)
{
    for (uint32_t c = 0; c < 256; ++c)
        for (uint32_t g = 0; g < 8; ++g)
            font[c * 8 + g] = test_glyph(c, g);
}

// 15IE program: takes console bytes into display memory from address 0 on, with the
// picture off, until a 0 byte arrives; then shows display memory 0..79 on every glyph
// line by setting Adr to 0 in each horizontal blank.
inline std::vector<uint8_t> ie15_echo_program()
{
    return {
        0xC0,       // 000 clr VDisab
        0x61,       // 001 in a,(RRDY)         wait for a byte
        0x85,       // 002 skipc S             a byte waits: skip the jump
        0x10, 0x00, // 003 jmp 001
        0x66,       // 005 in a,(6)            take it, the latch is free again
        0xB0,       // 006 cmpsz a,r0          0 ends the text
        0x10, 0x0A, // 007 jmp 00B
        0x10, 0x0E, // 009 jmp 00F
        0xF0,       // 00B out (Data),a        arms the cycle
        0xF0,       // 00C out (Data),a        stores, Adr + 1
        0x10, 0x00, // 00D jmp 001
        0xC8,       // 00F set VDisab
        0x88,       // 010 skips HBlank        wait for the blank
        0x10, 0x0F, // 011 jmp 010
        0x5F,       // 013 clr a
        0xF2,       // 014 out (AdrH),a
        0xF3,       // 015 out (AdrL),a
        0x80,       // 016 skipc HBlank        wait for the blank's end
        0x10, 0x15, // 017 jmp 016
        0x10, 0x0F, // 019 jmp 010
    };
}

struct Z80Code {
    uint16_t origin;
    std::vector<uint8_t> bytes;
};

// KSM program: status row 0 gets 'S', the first screen cell an underline attribute
// (0x5F), the row latch 47; then it waits in HALT with interrupts on. Its input routine
// at 0x0BCC stores each byte at the next cell of screen row 0, tries to write it into the
// ROM at 0x0100 too, and returns to the HALT loop.
inline std::vector<Z80Code> ksm_echo_program()
{
    return {
        {0x0000,
         {0x31, 0x00, 0xF0,        // ld sp,0xF000
          0x21, 0x30, 0xE0,        // ld hl,0xE030
          0x22, 0x00, 0x21,        // ld (0x2100),hl
          0x3E, 0x53,              // ld a,'S'
          0x32, 0x30, 0xF8,        // ld (0xF830),a
          0x3E, 0x5F,              // ld a,0x5F
          0x32, 0x30, 0xC0,        // ld (0xC030),a
          0x3E, 0x2F,              // ld a,47
          0xD3, 0x78,              // out (0x78),a
          0xFB,                    // ei
          0x76,                    // 0018 halt
          0x18, 0xFD}},            // jr 0018
        {0x0BCC,
         {0xDB, 0x76,              // in a,(0x76)
          0x2A, 0x00, 0x21,        // ld hl,(0x2100)
          0x77,                    // ld (hl),a
          0x23,                    // inc hl
          0x22, 0x00, 0x21,        // ld (0x2100),hl
          0x32, 0x00, 0x01,        // ld (0x0100),a   the ROM keeps its byte
          0xFB,                    // ei
          0xC9}},                  // ret
    };
}

inline void load_ksm_program(const std::vector<Z80Code>& code)
{
    uint8_t* block = ksm_terminal.block;
    std::memset(block, 0, ksm_rom_size);
    for (const Z80Code& piece : code)
        std::memcpy(block + piece.origin, piece.bytes.data(), piece.bytes.size());
    block[0x0100] = 0xA5;
    fill_test_font(block + ksm_font_offset);
}

inline void load_ie15_program(const std::vector<uint8_t>& program)
{
    uint8_t* block = ie15_terminal.block;
    std::memset(block, 0, ie15_block_size);
    std::memcpy(block, program.data(), program.size());
    fill_test_font(block + ie15_font_offset);
}
