// Specialist parallel interface (an i8255-type KR580VV55A) in the whole 0xF800-0xFFFF area:
// address bits 0-1 pick port A, port B, port C or the control word. The keyboard hangs on
// it as a 12 x 6 matrix: columns on port A (columns 4-11, bit 7 first) and port C bits 3-0
// (columns 0-3), rows on port B bits 7-2, the Shift key on port B bit 1. Whichever side the
// program drives (mode 0x82: columns out, rows in; mode 0x91: rows out, columns in), a
// pressed key pulls its line on the other side low while its own line is driven low.
#include "machines/specialist/specialist.h"

namespace {

// Control-word bits of mode 0 that make a port (or half of port C) an input.
constexpr uint8_t port_a_in = 0x10;
constexpr uint8_t port_c_high_in = 0x08;
constexpr uint8_t port_b_in = 0x02;
constexpr uint8_t port_c_low_in = 0x01;

// Columns the program selects (bit c set = column c driven low): only from ports that
// are outputs; an input port drives nothing.
uint16_t selected_columns(const SpecialistPpi& ppi)
{
    uint16_t columns = 0;
    if (!(ppi.control & port_c_low_in))
        for (int c = 0; c < 4; ++c)
            if (!(ppi.c & (0x08 >> c))) columns |= uint16_t(1u << c);
    if (!(ppi.control & port_a_in))
        for (int c = 4; c < 12; ++c)
            if (!(ppi.a & (0x80 >> (c - 4)))) columns |= uint16_t(1u << c);
    return columns;
}

uint8_t selected_rows(const SpecialistPpi& ppi)
{
    uint8_t rows = 0;
    if (!(ppi.control & port_b_in))
        for (int r = 0; r < 6; ++r)
            if (!(ppi.b & (0x80 >> r))) rows |= uint8_t(1u << r);
    return rows;
}

// Columns that see a pressed key in a selected row (bit c set = pulled low).
uint16_t columns_pulled_low(const SpecialistPpi& ppi)
{
    const uint8_t rows = selected_rows(ppi);
    uint16_t columns = 0;
    for (int r = 0; r < 6; ++r)
        if (rows & (1u << r)) columns |= specialist.key_rows[r];
    return columns;
}

// Port B as the pins show it: rows 0-5 on bits 7-2, Shift on bit 1, bit 0 high.
uint8_t port_b_input(const SpecialistPpi& ppi)
{
    const uint16_t columns = selected_columns(ppi);
    uint8_t value = 0xFF;
    for (int r = 0; r < 6; ++r)
        if (specialist.key_rows[r] & columns) value &= uint8_t(~(0x80 >> r));
    return value;
}

uint8_t shift_bits() { return specialist.shift_down ? 0x01 : 0x03; }

} // namespace

uint8_t specialist_ppi_read(uint16_t address)
{
    const SpecialistPpi& ppi = specialist.ppi;
    switch (address & 3) {
    case 0: {
        if (!(ppi.control & port_a_in)) return ppi.a;
        const uint16_t low = columns_pulled_low(ppi);
        uint8_t value = 0xFF;
        for (int c = 4; c < 12; ++c)
            if (low & (1u << c)) value &= uint8_t(~(0x80 >> (c - 4)));
        return value;
    }
    case 1: {
        // The Shift line and the unused bit 0 are wired to the pins whatever the mode.
        const uint8_t rows = (ppi.control & port_b_in) ? port_b_input(ppi) : ppi.b;
        return uint8_t((rows & 0xFC) | shift_bits());
    }
    case 2: {
        uint8_t value = ppi.c;
        if (ppi.control & port_c_high_in) value |= 0xF0; // nothing drives the upper half
        if (ppi.control & port_c_low_in) {
            const uint16_t low = columns_pulled_low(ppi);
            value |= 0x0F;
            for (int c = 0; c < 4; ++c)
                if (low & (1u << c)) value &= uint8_t(~(0x08 >> c));
        }
        return value;
    }
    default:
        return 0xFF; // the control word cannot be read back: the bus floats high
    }
}

void specialist_ppi_write(uint16_t address, uint8_t value)
{
    SpecialistPpi& ppi = specialist.ppi;
    switch (address & 3) {
    case 0: ppi.a = value; break;
    case 1: ppi.b = value; break;
    case 2: ppi.c = value; break;
    default:
        if (value & 0x80) {
            // A mode word: the output latches start at 0, every line driven low.
            ppi.control = value;
            ppi.a = ppi.b = ppi.c = 0;
        } else {
            // Bit set/reset of port C: bits 1-3 name the bit, bit 0 is its value.
            const uint8_t bit = uint8_t(1u << ((value >> 1) & 7));
            ppi.c = (value & 1) ? uint8_t(ppi.c | bit) : uint8_t(ppi.c & ~bit);
        }
        break;
    }
}

void specialist_ppi_reset()
{
    // After reset an i8255 has every port as an input (mode word 0x9B).
    specialist.ppi = SpecialistPpi{0x9B, 0, 0, 0};
}
