// Access to the three video planes from outside their owners' address spaces. A video
// address A names byte A of plane 0 (PPU memory) and word A of CPU memory (plane 1 low
// byte, plane 2 high byte). The CPU has a window of its own (0176640/0176642); the PPU's
// (0177010-0177026) adds colour masks, background latches and a one-write pixel store
// that paints eight pixels of one colour over a background.
#include "machines/uknc/workstation.h"

#include <cstring>

namespace {

Workstation& ws = workstation;

inline uint16_t plane12_word(uint16_t address)
{
    uint16_t w;
    std::memcpy(&w, ws.cpuMemory + 2 * uint32_t(address), 2);
    return w;
}

inline void set_plane12_word(uint16_t address, uint16_t value)
{
    std::memcpy(ws.cpuMemory + 2 * uint32_t(address), &value, 2);
}

inline uint8_t& plane_byte(int plane, uint16_t address)
{
    if (plane == 0)
        return ws.ppuMemory[address];
    return ws.cpuMemory[2 * uint32_t(address) + (plane - 1)];
}

// ---- CPU window ---------------------------------------------------------------------------

uint16_t cpu_read_address(uint32_t) { return ws.cpuPlaneAddress; }
void cpu_write_address(uint32_t, uint16_t value) { ws.cpuPlaneAddress = value; }
uint16_t cpu_read_data(uint32_t) { return plane12_word(ws.cpuPlaneAddress); }
void cpu_write_data(uint32_t, uint16_t value) { set_plane12_word(ws.cpuPlaneAddress, value); }
void cpu_write_plane1(uint32_t, uint16_t value) { plane_byte(1, ws.cpuPlaneAddress) = uint8_t(value); }
void cpu_write_plane2(uint32_t, uint16_t value) { plane_byte(2, ws.cpuPlaneAddress) = uint8_t(value); }

// ---- PPU window ---------------------------------------------------------------------------

uint16_t read_address(uint32_t) { return ws.planeAddress; }
void write_address(uint32_t, uint16_t value) { ws.planeAddress = value; }
uint16_t read_plane0(uint32_t) { return plane_byte(0, ws.planeAddress); }
void write_plane0(uint32_t, uint16_t value) { plane_byte(0, ws.planeAddress) = uint8_t(value); }
uint16_t read_plane12(uint32_t) { return plane12_word(ws.planeAddress); }
void write_plane12(uint32_t, uint16_t value) { set_plane12_word(ws.planeAddress, value); }
void write_plane1(uint32_t, uint16_t value) { plane_byte(1, ws.planeAddress) = uint8_t(value); }
void write_plane2(uint32_t, uint16_t value) { plane_byte(2, ws.planeAddress) = uint8_t(value); }

// The colour code reads back the first plane whose mask is set.
uint16_t read_colour(uint32_t)
{
    for (int n = 0; n < 3; ++n)
        if (ws.colourMask[n])
            return uint16_t(1 << n);
    return 0;
}

void write_colour(uint32_t, uint16_t value)
{
    for (int n = 0; n < 3; ++n)
        ws.colourMask[n] = (value >> n) & 1 ? 0xFF : 0x00;
}

// Four pixels per register, one 3-bit code per nibble, lowest nibble first; pixel k's
// code bit n is bit k of plane n's background latch.
uint16_t read_background(int first_pixel)
{
    uint16_t value = 0;
    for (int k = 0; k < 4; ++k)
        for (int n = 0; n < 3; ++n)
            value |= uint16_t(((ws.background[n] >> (first_pixel + k)) & 1) << (4 * k + n));
    return value;
}

void write_background(int first_pixel, uint16_t value)
{
    for (int n = 0; n < 3; ++n) {
        uint8_t latch = ws.background[n] & uint8_t(~(0x0F << first_pixel));
        for (int k = 0; k < 4; ++k)
            latch |= uint8_t(((value >> (4 * k + n)) & 1) << (first_pixel + k));
        ws.background[n] = latch;
    }
}

uint16_t read_background_low(uint32_t) { return read_background(0); }
uint16_t read_background_high(uint32_t) { return read_background(4); }
void write_background_low(uint32_t, uint16_t value) { write_background(0, value); }
void write_background_high(uint32_t, uint16_t value) { write_background(4, value); }

// Reading the pixel register loads the background latches from the planes.
uint16_t read_pixels(uint32_t)
{
    for (int n = 0; n < 3; ++n)
        ws.background[n] = plane_byte(n, ws.planeAddress);
    return 0;
}

// Set bits of the value paint the colour, clear bits the background.
void write_pixels(uint32_t, uint16_t value)
{
    uint8_t set = uint8_t(value);
    for (int n = 0; n < 3; ++n)
        if (!(ws.planeDisable & (1 << n)))
            plane_byte(n, ws.planeAddress) = uint8_t((set & ws.colourMask[n]) | (~set & ws.background[n]));
}

uint16_t read_disable(uint32_t) { return ws.planeDisable; }
void write_disable(uint32_t, uint16_t value) { ws.planeDisable = uint8_t(value & 7); }

} // namespace

void workstation_reset_planes()
{
    ws.cpuPlaneAddress = 0;
    ws.planeAddress = 0;
    for (int n = 0; n < 3; ++n)
        ws.colourMask[n] = ws.background[n] = 0;
    ws.planeDisable = 0;
}

void workstation_install_cpu_planes()
{
    io_page_install_registers(workstation_cpu_io_page(), {
        {0176640, cpu_read_address, cpu_write_address},
        {0176642, cpu_read_data, cpu_write_data},
    });
}

void workstation_install_cpu_plane_bytes()
{
    io_page_install_byte(workstation_cpu_io_page(), 0176642, cpu_write_plane1);
    io_page_install_byte(workstation_cpu_io_page(), 0176643, cpu_write_plane2);
}

void workstation_install_ppu_planes()
{
    io_page_install_registers(workstation_ppu_io_page(), {
        {0177010, read_address, write_address},
        {0177012, read_plane0, write_plane0},
        {0177014, read_plane12, write_plane12},
        {0177016, read_colour, write_colour},
        {0177020, read_background_low, write_background_low},
        {0177022, read_background_high, write_background_high},
        {0177024, read_pixels, write_pixels},
        {0177026, read_disable, write_disable},
    });
}

void workstation_install_ppu_plane_bytes()
{
    io_page_install_byte(workstation_ppu_io_page(), 0177014, write_plane1);
    io_page_install_byte(workstation_ppu_io_page(), 0177015, write_plane2);
}
