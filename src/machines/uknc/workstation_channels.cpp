// The three CPU-PPU exchange channels. Each direction is a byte latch with a ready bit on
// both ends: a write clears the sender's ready bit and raises the receiver's; the
// receiver's read of the data hands "ready" back to the sender. Channel 0 is also the
// CPU's console: its output is copied to every attached terminal device, and while the
// KGD mode throttles it the PPU hears of at most KgdConsoleLimit - 1 bytes per frame at
// once and of the rest one per frame.
#include "machines/uknc/workstation.h"

namespace {

constexpr uint32_t cpu_rx_request[2] = {CPU_IRQ_CH0_RX, CPU_IRQ_CH1_RX};
constexpr uint32_t cpu_tx_request[3] = {CPU_IRQ_CH0_TX, CPU_IRQ_CH1_TX, CPU_IRQ_CH2_TX};
constexpr uint32_t ppu_rx_request[3] = {PPU_IRQ_CH0_RX, PPU_IRQ_CH1_RX, PPU_IRQ_CH2_RX};
constexpr uint32_t ppu_tx_request[2] = {PPU_IRQ_CH0_TX, PPU_IRQ_CH1_TX};

Workstation& ws = workstation;

// A CSR write keeps the ready bit and takes the interrupt enable; ready and enable
// together request the interrupt at once.
void write_csr(uint8_t& csr, uint16_t value, uint32_t request)
{
    csr = static_cast<uint8_t>((csr & 0x80) | (value & 0x40));
    if ((csr & 0xC0) == 0xC0)
        ws.PendingInterrupts[UKNC_CPU] |= request;
}

// The PPU's receiver n now holds a byte.
void ppu_receive(int n, uint8_t value)
{
    ws.ppuRxData[n] = value;
    ws.ppuDataPresent |= static_cast<uint8_t>(1 << n);
    ws.ppuRxStatus |= static_cast<uint8_t>(8 << n);
    if (ws.ppuRxStatus & (1 << n))
        ws.PendingInterrupts[UKNC_PPU] |= ppu_rx_request[n];
}

// ---- CPU side ---------------------------------------------------------------------------

template <int n> uint16_t read_rx_csr(uint32_t) { return ws.cpuRxCsr[n]; }
template <int n> void write_rx_csr(uint32_t, uint16_t value) { write_csr(ws.cpuRxCsr[n], value, cpu_rx_request[n]); }
template <int n> uint16_t read_tx_csr(uint32_t) { return ws.cpuTxCsr[n]; }
template <int n> void write_tx_csr(uint32_t, uint16_t value) { write_csr(ws.cpuTxCsr[n], value, cpu_tx_request[n]); }

template <int n> uint16_t read_rx_data(uint32_t)
{
    ws.cpuRxCsr[n] &= ~0x80;
    ws.ppuTxStatus |= static_cast<uint8_t>(8 << n);
    if (ws.ppuTxStatus & (1 << n))
        ws.PendingInterrupts[UKNC_PPU] |= ppu_tx_request[n];
    if (n == 0) {
        // The KCGD listens on the console channel too and sees the reply taken.
        ws.kcgdReplyStatus |= 0x80;
        if (ws.kcgdMode && (ws.kcgdReplyStatus & 0x40))
            ws.PendingInterrupts[UKNC_GPU] |= 0x0800;
    }
    return ws.cpuRxData[n];
}

template <int n> void write_tx_data(uint32_t, uint16_t value)
{
    ws.cpuTxCsr[n] &= ~0x80;
    ws.cpuTxData[n] = static_cast<uint8_t>(value);
    ppu_receive(n, static_cast<uint8_t>(value));
}

void write_console(uint32_t, uint16_t value) { workstation_console_output(static_cast<uint8_t>(value)); }


void notify_ppu_of_console() { ppu_receive(0, ws.cpuTxData[0]); }

// ---- PPU side ---------------------------------------------------------------------------

template <int n> uint16_t ppu_read_rx_data(uint32_t)
{
    // With the KCGD on the console the byte was meant for the KCGD; the PPU only peeks.
    if (n == 0 && ws.kcgdMode)
        return ws.ppuRxData[0];
    ws.ppuRxStatus &= static_cast<uint8_t>(~(8 << n));
    ws.ppuDataPresent &= static_cast<uint8_t>(~(1 << n));
    ws.PendingInterrupts[UKNC_PPU] &= ~ppu_rx_request[n];
    ws.cpuTxCsr[n] |= 0x80;
    if (ws.cpuTxCsr[n] & 0x40)
        ws.PendingInterrupts[UKNC_CPU] |= cpu_tx_request[n];
    return ws.ppuRxData[n];
}

template <int n> void ppu_write_tx_data(uint32_t, uint16_t value)
{
    ws.ppuTxStatus &= static_cast<uint8_t>(~(8 << n));
    ws.ppuTxData[n] = static_cast<uint8_t>(value);
    ws.cpuRxData[n] = static_cast<uint8_t>(value);
    ws.cpuRxCsr[n] |= 0x80;
    if (ws.cpuRxCsr[n] & 0x40)
        ws.PendingInterrupts[UKNC_CPU] |= cpu_rx_request[n];
}

uint16_t ppu_read_rx_status(uint32_t) { return ws.ppuRxStatus; }

// A PPU status write: the bits in `writable` take the value's, the ready bits (3 up from
// each enable) stay; a channel that is ready and now enabled requests its interrupt at
// once, as the CPU's CSRs do.
template <int Channels>
void write_ppu_status(uint8_t* status, uint16_t value, uint8_t writable, const uint32_t (&request)[Channels])
{
    constexpr uint8_t ready = uint8_t(((1 << Channels) - 1) << 3);
    *status = static_cast<uint8_t>((*status & ready) | (value & writable));
    for (int n = 0; n < Channels; ++n)
        if ((*status & (1 << n)) && (*status & (8 << n)))
            ws.PendingInterrupts[UKNC_PPU] |= request[n];
}

// Receivers: the enables (bits 0-2) and bit 6 are written.
void ppu_write_rx_status(uint32_t, uint16_t value) { write_ppu_status(&ws.ppuRxStatus, value, 0x47, ppu_rx_request); }

uint16_t ppu_read_tx_status(uint32_t) { return ws.ppuTxStatus; }

// Transmitters: the enables (bits 0-1) and bit 2 are written.
void ppu_write_tx_status(uint32_t, uint16_t value) { write_ppu_status(&ws.ppuTxStatus, value, 0x07, ppu_tx_request); }

} // namespace

void workstation_reset_channels()
{
    for (int n = 0; n < 3; ++n) {
        ws.cpuTxCsr[n] = 0x80;
        ws.cpuTxData[n] = 0;
        ws.ppuRxData[n] = 0;
    }
    for (int n = 0; n < 2; ++n) {
        ws.cpuRxCsr[n] = 0;
        ws.cpuRxData[n] = 0;
        ws.ppuTxData[n] = 0;
    }
    ws.ppuTxStatus = 0x18;
    ws.ppuRxStatus = 0;
    ws.ppuDataPresent = 0;
    ws.consoleBytesThisFrame = 0;
    ws.ConsoleRings[RING_KCGD].count = ws.ConsoleRings[RING_KCGD].waiting = 0;
    ws.ConsoleRings[RING_KSM].waiting = 0;
}

void workstation_console_output(uint8_t byte)
{
    ws.cpuTxCsr[0] &= ~0x80;
    ws.cpuTxData[0] = byte;
    if (ws.kcgdPresent)
        console_ring_append(ws.ConsoleRings[RING_KCGD], byte);
    if (ws.ksmPresent)
        console_ring_append(ws.ConsoleRings[RING_KSM], byte);
    if (ws.ie15Present)
        console_ring_append(ws.ConsoleRings[RING_IE15], byte);
    ++ws.consoleBytesThisFrame;
    if (!ws.kcgdMode && ws.consoleBytesThisFrame < ws.KgdConsoleLimit)
        notify_ppu_of_console();
}

void workstation_console_catch_up()
{
    if (!ws.kcgdMode && ws.consoleBytesThisFrame >= ws.KgdConsoleLimit)
        notify_ppu_of_console();
    ws.consoleBytesThisFrame = 0;
}

void workstation_set_console_limit(uint32_t limit)
{
    const uint32_t previous = ws.KgdConsoleLimit;
    ws.KgdConsoleLimit = limit;
    // The throttle lifted mid-frame (the KGD switched off): the byte held back for the
    // next frame start would no longer be told there, and the CPU's console would wait
    // for its "taken" for ever. Tell the PPU now.
    if (limit > previous && !ws.kcgdMode && ws.consoleBytesThisFrame >= previous &&
        ws.consoleBytesThisFrame < limit && !(ws.cpuTxCsr[0] & 0x80))
        notify_ppu_of_console();
}

void workstation_ppu_accepted_receive(int channel)
{
    ws.ppuDataPresent &= static_cast<uint8_t>(~(1 << channel));
}

void workstation_install_cpu_channels()
{
    io_page_install_registers(workstation_cpu_io_page(), {
        {0177560, read_rx_csr<0>, write_rx_csr<0>},
        {0177562, read_rx_data<0>, cpu_io_unrealized_word},
        {0177564, read_tx_csr<0>, write_tx_csr<0>},
        {0177566, io_read_zero, write_console},

        {0176660, read_rx_csr<1>, write_rx_csr<1>},
        {0176662, read_rx_data<1>, nullptr},
        {0176664, read_tx_csr<1>, write_tx_csr<1>},
        {0176666, io_read_zero, write_tx_data<1>},

        {0176674, read_tx_csr<2>, write_tx_csr<2>},
        {0176676, io_read_zero, write_tx_data<2>},
    });
}

void workstation_install_ppu_channels()
{
    io_page_install_registers(workstation_ppu_io_page(), {
        {0177060, ppu_read_rx_data<0>, nullptr},
        {0177062, ppu_read_rx_data<1>, nullptr},
        {0177064, ppu_read_rx_data<2>, nullptr},
        {0177066, ppu_read_rx_status, ppu_write_rx_status},
        {0177070, io_read_zero, ppu_write_tx_data<0>},
        {0177072, ppu_io_unrealized_read, ppu_write_tx_data<1>},
        {0177076, ppu_read_tx_status, ppu_write_tx_status},
    });
}
