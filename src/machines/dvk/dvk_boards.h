// The DVK displays on the workstation's CPU bus and console channel:
//   KGD     a 400 x 286 monochrome bitmap laid over a terminal's text (0176640-0176646)
//   KCGD    a colour controller with its own K1801VM2 (the GPU) behind the console line;
//           800 x 480 from 65536 video words with an attribute byte each
//   NEMIGA  a 512 x 256 four-colour video mode (0177570/0177572 and a few neighbours)
//   E-85    a 1024 x 256 eight-colour mode with a line/fill drawing engine (0174000-0174024)
// Each switches itself on at the first access a program makes (or by a host key), takes
// over the window while on, and is switched off by host keys, restart or EMT 350; the
// switching (flags, messages, window, title), the host keys, palettes and X-scales are
// the complex's (workstation_switch_mode and its board hooks). The boards reach the complex
// only through machines/uknc/workstation_hooks.h.
//
// State lives in the one record `dvk`; the workstation record keeps the presence and mode
// flags, the console rings, the GPU's pending word, the reply status that the exchange
// channels share with the KCGD, and the KGD/NEMIGA palette and scale settings.
//
// How it is wired into the complex:
//   dvk_allocate()                at start-up: memories, mode hooks, monitor and dump entries
//   dvk_restart()                 restart: KCGD channel state, GPU set-up
//   dvk_install_cpu_io()          at the end of workstation_install_cpu_io (mode-dependent)
//   dvk_frame_start()             frame start: E-85 status, reply due point follows the PPU
//   dvk_keyboard_frame(fed)       KCGD keyboard feed (when fed) and its ready check
//   dvk_gpu_turn()                every third turn of the inner loop (KCGD present)
//   dvk_frame_end()               the GPU's 50 Hz request
//   dvk_present()                 true when a DVK display drew the frame
#pragma once

#include <cstdint>

#include "cpu/pdp11/pdp11.h"
#include "machines/uknc/workstation_hooks.h"

inline constexpr uint32_t kgd_memory_size = 0x4000;
// The KCGD's block: the 65536 video words, an attribute byte for each, then a 32 KB ROM
// area whose first 8 KB the GPU sees at 0100000-0117777.
inline constexpr uint32_t kcgd_attribute_offset = 0x20000;
inline constexpr uint32_t kcgd_rom_offset = kcgd_attribute_offset + 0x10000;
inline constexpr uint32_t kcgd_rom_size = 0x2000;
inline constexpr uint32_t kcgd_block_size = kcgd_rom_offset + 0x8000;
inline constexpr uint32_t nemiga_memory_size = 0x10000;
// The E-85's three colour planes, one after the other.
inline constexpr uint32_t e85_plane_size = 0x8000;
inline constexpr uint32_t e85_memory_size = 3 * e85_plane_size;
inline constexpr int32_t gpu_cycles_per_frame = 700000;
inline constexpr int32_t kcgd_reply_delay = 100000; // 1/256 cycles of the PPU

// Pictures, in source lines (each shown on two rows; the E-85's on three).
inline constexpr int kgd_width = 800, kgd_lines = 286;
inline constexpr int kcgd_width = 800, kcgd_lines = 240;
inline constexpr int nemiga_width = 512, nemiga_wide_width = 768, nemiga_lines = 256;
inline constexpr int e85_width = 1024, e85_lines = 256;
// The terminal's text picture under the KGD: 286 lines x 100 bytes, 1 bit a pixel, most
// significant bit leftmost, bytes stored in swapped pairs (index XOR 1).
inline constexpr int kgd_text_bytes_per_line = 100;

// GPU pending requests in the order they are taken.
enum : uint32_t {
    GPU_IRQ_FIELD = 0x0040,    // vector 0100
    GPU_IRQ_2000 = 0x2000,     // vector 0360
    GPU_IRQ_REPLY = 0x0800,    // vector 0364: the CPU took the reply byte
    GPU_IRQ_KEYBOARD = 0x4000, // vector 060
    GPU_IRQ_1000 = 0x1000,     // vector 064
    GPU_IRQ_0080 = 0x0080,     // vector 0304
};

struct KgdBoard {
    uint8_t* memory; // 16 KB: 286 lines of 50 bytes, most significant bit leftmost
    uint16_t control; // bit 15 graphics on, bit 14 text off
    uint16_t address; // 14 bits
};

struct KcgdBoard {
    uint8_t* block; // video words 0..0x1FFFF (GPU RAM = first 32 KB), attributes, ROM
    bool romLoaded;
    Pdp11Cpu gpu;
    UkncIoRead GpuIoReadTable[4096];       // 0160000-0177777, (address >> 1) & 0xFFF
    UkncIoWrite GpuIoWriteWordTable[4096];
    UkncIoWrite GpuIoWriteByteTable[8192]; // address & 0x1FFF
    int turn;                              // the GPU runs on every third turn

    uint16_t videoAddress;  // word index
    uint8_t latchedAttribute;
    uint16_t modeWord;      // bit 0 line-table half, bit 1 scrolling
    uint8_t control;        // bit 7 attribute of writes, bit 6 read inversion, 2-5 palette index
    uint8_t palette[16];    // 6-bit colour values
    bool scrollFlag;        // set after every rendered frame while scrolling is on

    // The CPU's byte stream as the GPU reads it.
    uint16_t escHistory;
    uint8_t lastCpuByte;
    // The GPU's reply to the CPU, delivered after a delay counted on the PPU's budget.
    bool replyPending;
    uint8_t replyByte;
    int32_t replyDue;

    // Keyboard: host keys translated into KCGD codes.
    uint8_t keyRing[128];
    uint8_t keyHead, keyTail;  // producer, consumer (mod 128)
    uint8_t keyStatus;         // 0177560 of the GPU, bit 7 ready
    bool keyArmed;             // a status read lets the next data read take a code
    uint8_t lastKey;
    int repeatCounter;
    bool shiftState, controlState;
};

struct NemigaBoard {
    uint8_t* memory; // 64 KB; the picture is the upper 32 KB
    uint16_t address;
    uint16_t register177772;
};

struct E85Board {
    uint8_t* memory; // three planes of 32 KB, 64 words x 256 lines
    uint16_t status; // bits 8-9: drawing type; bit 7 and bit 5 move every frame
    uint16_t mode;   // bit 10 palette mode; bits 0-2 plane 0 operation
    uint16_t operations; // bits 0-2 plane 1, bits 8-10 plane 2
    uint16_t colour;
    uint16_t x, y, length, pattern;
    uint8_t key; // latched code of the first held E-85 key
};

struct DvkBoards {
    KgdBoard kgd;
    KcgdBoard kcgd;
    NemigaBoard nemiga;
    E85Board e85;
};

extern DvkBoards dvk;
// The GPU's I/O page, 0160000-0177777 of its own bus.
inline IoPage kcgd_gpu_io_page()
{
    return {dvk.kcgd.GpuIoReadTable, dvk.kcgd.GpuIoWriteWordTable, dvk.kcgd.GpuIoWriteByteTable, 4096};
}

// The terminals fill the KGD's text layer through this hook (nullptr: no text). It gets
// a 286 x 100-byte 1-bit picture to fill (see kgd_text_bytes_per_line) and whether the
// 15IE (else the KSM) is the terminal shown. The terminals' start-up sets it:
//   kgd_text_source = terminals_kgd_text;
using KgdTextSource = void (*)(uint8_t* bits, bool ie15);
extern KgdTextSource kgd_text_source;

inline constexpr int kgd_palette_count = 5, nemiga_palette_count = 5;
extern const uint32_t kgd_palettes[kgd_palette_count][2]; // background, foreground
extern const uint32_t nemiga_palettes[nemiga_palette_count][4];
extern const uint32_t e85_colours[8];

// ---- Life cycle (dvk_display.cpp) ------------------------------------------------------------
void dvk_allocate();
void dvk_restart();
void dvk_install_cpu_io();
void dvk_frame_start();
void dvk_keyboard_frame(bool feed);
void dvk_frame_end();

// A program's first access switches its display on (with the message, when off).
void kgd_activate();
void kcgd_activate();        // F6 without the KGD step (ESC X)
void nemiga_activate();
void e85_activate();

// ---- Boards' registers ---------------------------------------------------------------------
void kgd_install_cpu_io();
void kcgd_install_cpu_io();
void nemiga_install_cpu_io();
void e85_install_cpu_io();
void e85_draw();             // the drawing engine, on a write of the length register
uint8_t e85_poll_keys(const uint8_t* key_snapshot); // first held E-85 key's code, or 0

// ---- KCGD and its GPU (dvk_kcgd.cpp, dvk_gpu_bus.cpp, dvk_kcgd_keyboard.cpp) ---------------
void kcgd_reset_channel();
void gpu_setup();
void gpu_install_io();            // unrealized everywhere, then the registers
void kcgd_install_gpu_registers();
bool gpu_accept_interrupt();
uint8_t kcgd_take_cpu_byte();  // the GPU reads 0176562
void kcgd_reply(uint8_t byte); // the GPU writes 0176566
void kcgd_deliver_reply();     // every third turn: a due reply reaches the CPU
void kcgd_keyboard_feed(const uint8_t* now, const uint8_t* before);
void kcgd_keyboard_ready_check();
uint32_t kcgd_colour(uint8_t value);
uint16_t gpu_peek(uint32_t address); // memory or ROM, 0 for I/O and holes

// Every third turn of the inner loop: deliver a due reply, take an interrupt at a
// boundary, trace, one bus-operation-and-step pair. The two halves apart: the debugger's
// loop looks at the GPU's instruction boundary between them.
void dvk_gpu_pair();
void dvk_gpu_prepare();  // reply, interrupt, trace
void dvk_gpu_run_pair(); // one pair and the stale-prefetch rule
inline void dvk_gpu_turn()
{
    if (++dvk.kcgd.turn >= 3) {
        dvk.kcgd.turn = 0;
        dvk_gpu_pair();
    }
}

// ---- Pictures (dvk_render.cpp) ---------------------------------------------------------
// Each fills width x lines 32-bit pixels.
void kgd_render(uint32_t* picture);        // 800 x 286, text from kgd_text_source
void kgd_compose(const uint8_t* text_bits, uint32_t* picture); // text may be nullptr
void kcgd_render(uint32_t* picture);       // 800 x 240
void nemiga_render(uint32_t* picture);     // 512 or 768 x 256 by the NEMIGA X-scale
void e85_render(uint32_t* picture);        // 1024 x 256
bool dvk_present();                        // draws the DVK display into the BackBuffer
// The presentation into any surface (as dvk_present does into the BackBuffer).
void dvk_present_into(const uint32_t* picture, int width, int lines, int rows_per_line, int scanline_mode,
                      uint32_t* picture_buffer, uint32_t* surface, uint32_t pitch, uint32_t surface_width,
                      uint32_t surface_height);
