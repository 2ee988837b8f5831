// The KCGD board: the GPU's registers (video window, mode and palette, the serial link
// to the CPU, the keyboard), the CPU byte stream as the GPU reads it with its ESC
// handling, and the delayed reply to the CPU's console receiver.
#include "machines/dvk/dvk_boards.h"

#include <cstdio>

namespace {

Workstation& ws = workstation;
KcgdBoard& kcgd = dvk.kcgd;

ConsoleRing& cpu_ring() { return ws.ConsoleRings[RING_KCGD]; }

inline uint16_t video_word(uint16_t index)
{
    return static_cast<uint16_t>(kcgd.block[2u * index] | kcgd.block[2u * index + 1] << 8);
}

// ---- Video window ----------------------------------------------------------------------------

uint16_t read_video_address(uint32_t) { return kcgd.videoAddress; }
void write_video_address(uint32_t, uint16_t value) { kcgd.videoAddress = value; }

// Reading a word latches its attribute; writing one gives it the control byte's bit 7.
// Attributes are kept as 0 or 2 so that the read inversion (control bit 6, as bit 1)
// applies to them in place.
uint16_t read_video_data(uint32_t)
{
    kcgd.latchedAttribute = kcgd.block[kcgd_attribute_offset + kcgd.videoAddress];
    return video_word(kcgd.videoAddress);
}

void write_video_data(uint32_t, uint16_t value)
{
    uint32_t index = kcgd.videoAddress;
    kcgd.block[2 * index] = static_cast<uint8_t>(value);
    kcgd.block[2 * index + 1] = static_cast<uint8_t>(value >> 8);
    kcgd.block[kcgd_attribute_offset + index] = static_cast<uint8_t>((kcgd.control >> 6) & 2);
}

uint16_t read_mode(uint32_t)
{
    return static_cast<uint16_t>((((kcgd.control >> 6) & 1) * 2 ^ kcgd.latchedAttribute) | (kcgd.modeWord & ~0x80));
}

void write_mode(uint32_t, uint16_t value) { kcgd.modeWord = value; }

uint16_t read_control(uint32_t) { return kcgd.control; }
void write_control(uint32_t, uint16_t value) { kcgd.control = static_cast<uint8_t>(value); }

void write_palette(uint32_t, uint16_t value)
{
    kcgd.palette[(kcgd.control >> 2) & 15] = static_cast<uint8_t>(value & 0x3F);
}

// ---- Serial link to the CPU ------------------------------------------------------------------

uint16_t read_cpu_status(uint32_t) { return cpu_ring().waiting ? 0x80 : 0; }
uint16_t read_cpu_byte(uint32_t) { return kcgd_take_cpu_byte(); }
uint16_t read_reply_status(uint32_t) { return ws.kcgdReplyStatus; }

void write_reply_status(uint32_t, uint16_t value)
{
    ws.kcgdReplyStatus = static_cast<uint16_t>((ws.kcgdReplyStatus & ~0x40) | (value & 0x40));
    if ((ws.kcgdReplyStatus & 0xC0) == 0xC0)
        ws.PendingInterrupts[UKNC_GPU] |= GPU_IRQ_REPLY;
}

void write_reply(uint32_t, uint16_t value) { kcgd_reply(static_cast<uint8_t>(value)); }

// ---- Keyboard ---------------------------------------------------------------------------------

uint16_t read_key_status(uint32_t)
{
    kcgd.keyArmed = true;
    return kcgd.keyStatus;
}

uint16_t read_key_data(uint32_t)
{
    if (kcgd.keyArmed && kcgd.keyHead != kcgd.keyTail) {
        kcgd.lastKey = kcgd.keyRing[kcgd.keyTail];
        kcgd.keyTail = static_cast<uint8_t>((kcgd.keyTail + 1) & 127);
        if (kcgd.keyHead == kcgd.keyTail)
            kcgd.keyStatus &= ~0x80;
    }
    kcgd.keyArmed = false;
    return kcgd.lastKey;
}

uint16_t read_0x80(uint32_t) { return 0x80; }

} // namespace

void kcgd_install_gpu_registers()
{
    const IoPage page = kcgd_gpu_io_page();
    io_page_install_registers(page, {
        {0160000, read_video_address, write_video_address},
        {0160004, read_video_address, write_video_address},
        {0160002, read_video_data, write_video_data},
        {0160006, read_video_data, write_video_data},
        {0167770, read_mode, write_mode},
        {0167772, read_control, write_control},
        {0176560, read_cpu_status, io_write_ignored},
        {0176562, read_cpu_byte, io_write_ignored},
        {0176564, read_reply_status, write_reply_status},
        {0176566, io_read_zero, write_reply},
        {0177560, read_key_status, io_write_ignored},
        {0177562, read_key_data, io_write_ignored},
        {0177564, read_0x80, io_write_ignored},
        {0177566, io_read_zero, io_write_ignored},
    });
    io_page_install_byte(page, 0167773, write_palette);
}

uint32_t kcgd_colour(uint8_t value)
{
    static constexpr uint32_t levels[4] = {0x00, 0x80, 0xC0, 0xFF};
    return levels[value & 3] << 16 | levels[(value >> 2) & 3] << 8 | levels[(value >> 4) & 3];
}

void kcgd_reset_channel()
{
    kcgd.videoAddress = 0;
    kcgd.latchedAttribute = 0;
    kcgd.modeWord = 0;
    kcgd.control = 0;
    kcgd.scrollFlag = false;
    kcgd.escHistory = 0;
    kcgd.lastCpuByte = 0;
    kcgd.replyPending = false;
    kcgd.replyByte = 0;
    kcgd.replyDue = 0;
    kcgd.keyHead = kcgd.keyTail = 0;
    kcgd.keyStatus = 0;
    kcgd.keyArmed = false;
    kcgd.lastKey = 0;
    kcgd.repeatCounter = 0;
    kcgd.shiftState = kcgd.controlState = false;
    // The line to the CPU starts free: a GPU program that waits for "ready" before its
    // first reply must not wait for ever.
    ws.kcgdReplyStatus = 0x80;
}

// The GPU reads the next byte the CPU sent. While the KCGD mode is off the stream is
// watched for two escape sequences: ESC < is turned into ESC > (the GPU's ROM knows only
// the latter), and ESC X hands the screen to the KCGD. While the mode is on, taking the
// last byte frees the CPU's console transmitter (the PPU does not hear the console then).
uint8_t kcgd_take_cpu_byte()
{
    ConsoleRing& ring = cpu_ring();
    if (!ring.waiting)
        return kcgd.lastCpuByte;
    uint8_t byte = console_ring_take(ring); // the oldest byte the ring still holds
    if (!ws.kcgdMode) {
        kcgd.escHistory = static_cast<uint16_t>(kcgd.escHistory << 8 | byte);
        if (kcgd.escHistory == 0x1BBC) {
            byte = 0xBE;
            std::printf("KCGD: 'ESC <' remapped to 'ESC >'\n");
        } else if (kcgd.escHistory == 0x1B58) {
            kcgd_activate();
        }
    } else if (!ring.waiting) {
        ws.cpuTxCsr[0] |= 0x80;
        if (ws.cpuTxCsr[0] & 0x40)
            ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_CH0_TX;
    }
    kcgd.lastCpuByte = byte;
    return byte;
}

void kcgd_reply(uint8_t byte)
{
    if (!ws.kcgdMode)
        return;
    ws.kcgdReplyStatus &= ~0x80;
    kcgd.replyByte = byte;
    kcgd.replyPending = true;
    kcgd.replyDue = ws.ppu.cycleBudget - kcgd_reply_delay;
}

void kcgd_deliver_reply()
{
    if (!kcgd.replyPending || ws.ppu.cycleBudget >= kcgd.replyDue)
        return;
    kcgd.replyPending = false;
    ws.cpuRxData[0] = kcgd.replyByte;
    ws.cpuRxCsr[0] |= 0x80;
    if (ws.cpuRxCsr[0] & 0x40)
        ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_CH0_RX;
}

void kcgd_install_cpu_io()
{
    if (ws.kcgdMode) {
        io_page_install(workstation_cpu_io_page(), 0176640, nullptr, cpu_io_nonexistent_word);
        io_page_install_byte(workstation_cpu_io_page(), 0176640, cpu_io_nonexistent_byte);
    }
}
