// The PPU's interval timer. It counts down from the reload buffer at one tick per 16 << p
// PPU cycles (p = prescaler, control bits 1-2). Rather than counting, it keeps a compare
// point on the PPU's cycle budget, which falls as the PPU runs: the timer expires when the
// budget reaches the compare point. All compare arithmetic is 64-bit, so no budget or
// period can overflow it.
#include "machines/uknc/workstation.h"

namespace {

Workstation& ws = workstation;

inline int shift() { return 4 + ((ws.timerControl >> 1) & 3); }

// One timer period in budget units.
inline int64_t period() { return (int64_t(ws.timerBuffer) << shift()) * ws.cpu.speedFactor; }

uint16_t read_control(uint32_t) { return ws.timerControl; }

void write_control(uint32_t, uint16_t value)
{
    bool was_running = ws.timerControl & 1;
    ws.timerControl = uint8_t(value);
    if (!(value & 1))
        ws.timerCompare = uknc_timer_never;
    else if (!was_running)
        ws.timerCompare = int64_t(ws.ppu.cycleBudget) - period();
}

void write_buffer(uint32_t, uint16_t value) { ws.timerBuffer = value & 0x3FFF; }

uint16_t read_counter(uint32_t)
{
    uint16_t value;
    if (ws.timerControl & 0xA0)
        value = ws.timerLatched;
    else if (ws.timerControl & 1)
        value = uint16_t(((int64_t(ws.ppu.cycleBudget) - ws.timerCompare) / ws.cpu.speedFactor) >> shift());
    else
        value = ws.timerBuffer;
    ws.timerControl &= uint8_t(~0xA0);
    return value;
}

} // namespace

void workstation_reset_timer()
{
    ws.timerControl = 0;
    ws.timerBuffer = 0;
    ws.timerLatched = 0;
    // A stopped timer must never expire.
    ws.timerCompare = uknc_timer_never;
}

void workstation_install_timer()
{
    io_page_install_registers(workstation_ppu_io_page(), {
        {0177710, read_control, write_control},
        {0177712, nullptr, write_buffer},
        {0177714, read_counter, nullptr},
    });
}

// The budget rises by a frame's worth at each frame start; a running timer keeps its
// distance to it.
void workstation_timer_frame_start()
{
    if (ws.timerControl & 1)
        ws.timerCompare += int64_t(ws.cpu.speedFactor) * uknc_cycles_per_frame;
}

void workstation_timer_expired()
{
    if (ws.timerControl & 0x80)
        ws.timerControl |= 0x08; // expired again before the program saw the last one
    ws.timerControl |= 0x80;
    ws.timerLatched = 0;
    if (ws.timerControl & 0x40)
        ws.PendingInterrupts[UKNC_PPU] |= PPU_IRQ_TIMER;
    int64_t counter = ws.ppu.cycleBudget;
    ws.timerCompare = 2 * counter - period() - ws.timerCompare;
}
