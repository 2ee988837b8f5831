// MS-0515 memory map (MEM_CON, SYSREG_A) and the I/O page handler tables.
#include "machines/ms0515/ms0515.h"

#include <cstdio>
#include <initializer_list>

Ms0515 ms0515;

const uint32_t ms0515_palette[16] = {
    0x000000, 0x0000D5, 0xD50000, 0xD500D5, 0x00D500, 0x00D5D5, 0xD5D500, 0xD5D5D5,
    0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF,
};

static uint8_t* area(uint32_t offset) { return ms0515.memory + offset; }

void ms0515_memory_reset()
{
    for (int page = 0; page < 6; ++page)
        ms0515.ReadPages[page] = ms0515.WritePages[page] = area(ms0515_bank_a + page * 0x2000);
    ms0515.ReadPages[6] = area(ms0515_rom);
    ms0515.ReadPages[7] = area(ms0515_rom + 0x2000);
    ms0515.WritePages[6] = ms0515.WritePages[7] = area(ms0515_sink);
    ms0515.memCon = 0;
    ms0515.sysregA = 0;
    ms0515.videoMode = 0;
    ms0515.MsPendingInterrupts = 0;
}

static void map_page_6()
{
    if (ms0515.sysregA & 0x80) {
        ms0515.ReadPages[6] = area(ms0515_rom);
        ms0515.WritePages[6] = area(ms0515_sink);
    } else {
        uint32_t bank = (ms0515.memCon & 0x40) ? ms0515_bank_a : ms0515_bank_b;
        ms0515.ReadPages[6] = ms0515.WritePages[6] = area(bank + 6 * 0x2000);
    }
}

void ms0515_write_mem_con(uint16_t value)
{
    ms0515.memCon = value;
    for (int page = 0; page < 6; ++page) {
        uint32_t bank = (value >> page) & 1 ? ms0515_bank_a : ms0515_bank_b;
        ms0515.ReadPages[page] = ms0515.WritePages[page] = area(bank + page * 0x2000);
    }
    if (value & 0x80) {
        int first = (value & 0x800) ? 4 : (value & 0x400) ? 2 : 0;
        ms0515.ReadPages[first] = ms0515.WritePages[first] = area(ms0515_video);
        ms0515.ReadPages[first + 1] = ms0515.WritePages[first + 1] = area(ms0515_video + 0x2000);
    }
    map_page_6();
    if (value & 0x100)
        ms0515.MsPendingInterrupts |= MS0515_IRQ_MEMCON;
}

void ms0515_write_sysreg_a(uint8_t value)
{
    uint8_t changed = ms0515.sysregA ^ value;
    ms0515.sysregA = value;
    // Page 6 moves only when the switch changes, so the power-on map (page 6 on the ROM)
    // survives drive selections made before the first MEM_CON write.
    if (changed & 0x80) {
        std::printf((value & 0x80) ? "Extended ROM ON\n" : "Extended ROM Off\n");
        map_page_6();
    }
    ms0515_floppy_select(ms0515.floppy, value);
}

// ---- Bus view -----------------------------------------------------------------------

static uint16_t io_read(uint32_t address)
{
    return ms0515.IoReadTable[(address >> 1) & 0x7F](address);
}

uint16_t ms0515_read_word(uint32_t address)
{
    address &= 0xFFFF;
    if (address >= 0xFF00)
        return io_read(address & 0xFFFE);
    const uint8_t* p = ms0515.ReadPages[address >> 13] + (address & 0x1FFE);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint8_t ms0515_read_byte(uint32_t address)
{
    address &= 0xFFFF;
    if (address >= 0xFF00) {
        uint16_t word = io_read(address);
        return static_cast<uint8_t>((address & 1) ? word >> 8 : word);
    }
    return ms0515.ReadPages[address >> 13][address & 0x1FFF];
}

void ms0515_write_word(uint32_t address, uint16_t value)
{
    address &= 0xFFFF;
    if (address >= 0xFF00) {
        ms0515.IoWriteTable[(address >> 1) & 0x7F](address & 0xFFFE, value);
        return;
    }
    uint8_t* p = ms0515.WritePages[address >> 13] + (address & 0x1FFE);
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void ms0515_write_byte(uint32_t address, uint8_t value)
{
    address &= 0xFFFF;
    if (address >= 0xFF00) {
        ms0515.IoWriteByteTable[address & 0xFF](address, value);
        return;
    }
    ms0515.WritePages[address >> 13][address & 0x1FFF] = value;
}

uint16_t ms0515_peek_word(const void*, uint16_t address)
{
    const uint8_t* p = ms0515.ReadPages[address >> 13] + (address & 0x1FFE);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// ---- I/O registers --------------------------------------------------------------------

static uint32_t current_pc() { return ms0515.cpu.r[7] & 0xFFFF; }

static uint16_t unrealized_read(uint32_t address)
{
    std::printf("Read word from unrealized CPU register 0x%X (*) from location PC=0x%X\n",
                address, current_pc());
    return 0;
}

static void unrealized_write(uint32_t address, uint16_t value)
{
    std::printf("Write word 0x%04X to unrealized CPU register 0x%X from location PC = 0x%X\n",
                value, address, current_pc());
}

static uint16_t read_zero(uint32_t) { return 0; }
static void write_ignored(uint32_t, uint16_t) {}

static void write_mem_con(uint32_t, uint16_t value) { ms0515_write_mem_con(value); }
static uint16_t read_keyboard_data(uint32_t)
{
    uint8_t byte = ms0515_keyboard_read_data(ms0515.keyboard);
    // The keyboard's request follows its receiver: with the last byte taken there is
    // nothing to interrupt for. A stale request would reach a system that has emptied
    // the queue by polling and not yet set the vector.
    if (ms0515_keyboard_queue_empty(ms0515.keyboard))
        ms0515.MsPendingInterrupts &= ~MS0515_IRQ_KEYBOARD;
    return byte;
}
static uint16_t read_keyboard_status(uint32_t) { return ms0515.keyboard.status; }
static void write_keyboard_command(uint32_t, uint16_t value)
{
    ms0515_keyboard_command(ms0515.keyboard, static_cast<uint8_t>(value));
}
static void write_sysreg_a(uint32_t, uint16_t value) { ms0515_write_sysreg_a(static_cast<uint8_t>(value)); }
static uint16_t read_video_mode(uint32_t) { return ms0515.videoMode; }
static void write_video_mode(uint32_t, uint16_t value) { ms0515.videoMode = static_cast<uint8_t>(value); }
static void write_sysreg_con(uint32_t, uint16_t value) { std::printf("SYSREG_CON = 0x%04X\n", value); }

static uint16_t read_fdc_status(uint32_t) { return ms0515_floppy_read_status(ms0515.floppy); }
static void write_fdc_command(uint32_t, uint16_t value)
{
    ms0515_floppy_write_command(ms0515.floppy, static_cast<uint8_t>(value));
}
static uint16_t read_fdc_track(uint32_t) { return ms0515.floppy.trackRegister; }
static void write_fdc_track(uint32_t, uint16_t value) { ms0515.floppy.trackRegister = static_cast<uint8_t>(value); }
static uint16_t read_fdc_sector(uint32_t) { return ms0515.floppy.sectorRegister; }
static void write_fdc_sector(uint32_t, uint16_t value) { ms0515_floppy_write_sector(ms0515.floppy, value); }
static uint16_t read_fdc_data(uint32_t) { return ms0515_floppy_read_data(ms0515.floppy); }
static void write_fdc_data(uint32_t, uint16_t value) { ms0515.floppy.dataRegister = static_cast<uint8_t>(value); }

static void install(uint32_t address, Ms0515IoRead read, Ms0515IoWrite write)
{
    uint32_t slot = (address >> 1) & 0x7F;
    if (read)
        ms0515.IoReadTable[slot] = read;
    if (write)
        ms0515.IoWriteTable[slot] = write;
}

void ms0515_install_io()
{
    for (auto& slot : ms0515.IoReadTable)
        slot = unrealized_read;
    for (auto& slot : ms0515.IoWriteTable)
        slot = unrealized_write;
    for (uint32_t i = 1; i < 256; i += 2)
        ms0515.IoWriteByteTable[i] = unrealized_write;

    install(0177400, read_zero, write_mem_con);
    install(0177440, read_keyboard_data, nullptr);
    install(0177442, read_keyboard_status, write_ignored);
    install(0177460, read_zero, write_keyboard_command);
    install(0177504, read_zero, nullptr);
    install(0177506, read_zero, nullptr);
    for (uint32_t address : {0177524u, 0177526u, 0177540u, 0177546u, 0177702u})
        install(address, read_zero, write_ignored);
    install(0177600, read_zero, write_sysreg_a);
    install(0177604, read_video_mode, write_video_mode);
    install(0177606, read_zero, write_sysreg_con);
    install(0177640, read_fdc_status, write_fdc_command);
    install(0177642, read_fdc_track, write_fdc_track);
    install(0177644, read_fdc_sector, write_fdc_sector);
    install(0177646, read_fdc_data, write_fdc_data);
    install(0177700, read_zero, nullptr);

    // A byte written to an even register reaches the word handler zero-extended; odd
    // bytes have no handler on this bus.
    for (uint32_t i = 0; i < 256; i += 2)
        ms0515.IoWriteByteTable[i] = ms0515.IoWriteTable[i >> 1];
}
