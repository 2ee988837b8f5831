// The E-85 video mode's registers on the CPU bus (0174000-0174024, each also at the same
// offset from 0174400) and its keys (0173740/0173742). Reading the identification or
// status register switches the mode on.
#include "machines/dvk/dvk_boards.h"

#include "host/host.h"

#include <cstdio>
#include <initializer_list>

const uint32_t e85_colours[8] = {0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

namespace {

Workstation& ws = workstation;
E85Board& e85 = dvk.e85;

// Host key : E-85 code. The digit row and the keypad digits give the same codes.
constexpr uint8_t e85_keys[][2] = {
    {0x02, 0x96}, {0x03, 0x9A}, {0x04, 0x9B}, {0x05, 0x73}, {0x06, 0x71}, {0x07, 0x72}, {0x08, 0x8A},
    {0x09, 0x8B}, {0x0A, 0x8C}, {0x0B, 0x92}, {0x3B, 0xA2}, {0x1C, 0xBD}, {0x0F, 0xBE}, {0x27, 0x7C},
    {0x4F, 0x96}, {0x50, 0x9A}, {0x51, 0x9B}, {0x4B, 0x73}, {0x4C, 0x71}, {0x4D, 0x72}, {0x47, 0x8A},
    {0x48, 0x8B}, {0x49, 0x8C}, {0x52, 0x92}, {0x4E, 0x59}, {0x53, 0x94},
};

uint16_t read_id(uint32_t)
{
    e85_activate();
    return 2;
}

uint16_t read_status(uint32_t)
{
    e85_activate();
    uint16_t status = e85.status;
    e85.status &= ~0x80;
    return status;
}

void write_status(uint32_t, uint16_t value) { e85.status = value; }

void write_mode(uint32_t, uint16_t value)
{
    if ((e85.mode ^ value) & 0x400)
        std::printf("%s", (value & 0x400) ? "\nSwitch to palette mode\n" : "\nSwitch to standart mode\n");
    e85.mode = value;
}

void write_operations(uint32_t, uint16_t value) { e85.operations = value; }

void write_colour(uint32_t, uint16_t value)
{
    e85.colour = value;
    std::printf("COL = 0x%X, ", value);
}

void write_x(uint32_t, uint16_t value) { e85.x = value & 0x3FF; }
void write_y(uint32_t, uint16_t value) { e85.y = value & 0xFF; }

void write_length(uint32_t, uint16_t value)
{
    e85.length = value;
    e85_draw();
}

void write_pattern(uint32_t, uint16_t value) { e85.pattern = value; }

uint16_t read_key_held(uint32_t)
{
    uint8_t code = e85_poll_keys(KeySnapshot);
    if (!code)
        return 0;
    e85.key = code;
    return 2;
}

uint16_t read_key(uint32_t) { return e85.key; }

} // namespace

uint8_t e85_poll_keys(const uint8_t* key_snapshot)
{
    for (const auto& k : e85_keys)
        if (key_snapshot[k[0]] & 0x80)
            return k[1];
    return 0;
}

void e85_install_cpu_io()
{
    const IoPage page = workstation_cpu_io_page();
    for (uint32_t base : {0174000u, 0174400u})
        io_page_install_registers(page, {
            {base + 000, read_id, nullptr},
            {base + 004, read_status, write_status},
            {base + 006, nullptr, write_mode},
            {base + 010, nullptr, write_operations},
            {base + 012, nullptr, write_colour},
            {base + 016, nullptr, write_x},
            {base + 020, nullptr, write_y},
            {base + 022, nullptr, write_length},
            {base + 024, nullptr, write_pattern},
        });
    io_page_install_registers(page, {{0173740, read_key, nullptr}, {0173742, read_key_held, nullptr}});
}
