// The DVK boards in the complex's life cycle: their memories, what each does when its
// display mode is switched (the switching itself, with messages, window and title, is the
// complex's), their monitor and dump entries, and the per-frame duties.
#include "machines/dvk/dvk_boards.h"

#include "host/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

DvkBoards dvk;
KgdTextSource kgd_text_source = nullptr;

namespace {

Workstation& ws = workstation;

uint8_t* allocate(uint8_t* block, uint32_t size)
{
    if (block)
        return block;
    auto* memory = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!memory)
        fatal_error("Can't allocate memory!");
    return memory;
}

// While the KGD is on, its registers replace the plane window and the PPU hears of at
// most 18 console bytes a frame at once.
void kgd_switched(bool on)
{
    workstation_set_console_limit(on ? 19 : 0xFFFFFFFF);
    workstation_install_cpu_io();
}

// While the KCGD is on the CPU's 0176640 does not answer. The console transmitter is
// handed back ready when the switch leaves nobody to do it: switched off, the GPU's
// taking of the last byte no longer frees it, and the PPU was never told of the bytes
// sent meanwhile; switched on (ESC X) with every byte already taken, the PPU's read no
// longer frees it. Without this the CPU's console output would stop for good.
void kcgd_switched(bool on)
{
    workstation_install_cpu_io();
    if ((ws.cpuTxCsr[0] & 0x80) || (on && ws.ConsoleRings[RING_KCGD].waiting))
        return;
    ws.cpuTxCsr[0] |= 0x80;
    if (ws.cpuTxCsr[0] & 0x40)
        ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_CH0_TX;
}

void nemiga_switched(bool on)
{
    if (on)
        std::memset(dvk.nemiga.memory, 0, nemiga_memory_size);
}

void e85_switched(bool on)
{
    if (on)
        std::memset(dvk.e85.memory, 0, e85_memory_size);
}

void clear_kgd_memory() { std::memset(dvk.kgd.memory, 0, kgd_memory_size); }

uint16_t gpu_reader(const void*, uint16_t address) { return gpu_peek(address); }

void write_kgd_address(uint32_t, uint16_t value)
{
    if (!ws.kgdMode) {
        dvk.kgd.address = value & 0x3FFF;
        kgd_activate();
    }
}

void allocate_memories()
{
    dvk.kgd.memory = allocate(dvk.kgd.memory, kgd_memory_size);
    dvk.kcgd.block = allocate(dvk.kcgd.block, kcgd_block_size);
    dvk.nemiga.memory = allocate(dvk.nemiga.memory, nemiga_memory_size);
    dvk.e85.memory = allocate(dvk.e85.memory, e85_memory_size);
}

} // namespace

void dvk_allocate()
{
    allocate_memories();

    WorkstationBoardHooks& hooks = workstation_board_hooks;
    hooks.mode_switched[WS_MODE_KGD] = kgd_switched;
    hooks.mode_switched[WS_MODE_KCGD] = kcgd_switched;
    hooks.mode_switched[WS_MODE_NEMIGA] = nemiga_switched;
    hooks.mode_switched[WS_MODE_E85] = e85_switched;
    hooks.clear_kgd_memory = clear_kgd_memory;
    workstation_processors[MONITOR_GPU].pdp11 = &dvk.kcgd.gpu;
    workstation_processors[MONITOR_GPU].reader = gpu_reader;
    workstation_dumps[DUMP_KCGD].data = dvk.kcgd.block;
    workstation_dumps[DUMP_KCGD].size = kcgd_block_size;
    workstation_dumps[DUMP_NEMIGA].data = dvk.nemiga.memory;
    workstation_dumps[DUMP_NEMIGA].size = nemiga_memory_size;
}

void dvk_restart()
{
    allocate_memories(); // (the hooks stay as they are)
    dvk.kgd.control = dvk.kgd.address = 0;
    kcgd_reset_channel();
    gpu_setup();
    gpu_install_io();
}

void dvk_install_cpu_io()
{
    if (ws.kgdPresent && ws.kgdMode) {
        kgd_install_cpu_io();
    } else if (ws.kgdPresent) {
        ws.CpuIoWriteWordTable[(0176644 >> 1) & 0xFFF] = write_kgd_address;
        ws.CpuIoWriteByteTable[0176644 & 0x1FFF] = write_kgd_address;
    }
    if (ws.kcgdPresent)
        kcgd_install_cpu_io();
    if (ws.nemigaPresent)
        nemiga_install_cpu_io();
    if (ws.e85Present)
        e85_install_cpu_io();
}

namespace {
void switch_on(int mode)
{
    if (workstation_hooks.switch_mode)
        workstation_hooks.switch_mode(mode, true, true);
}
} // namespace

void kgd_activate() { switch_on(WS_MODE_KGD); }
void kcgd_activate() { switch_on(WS_MODE_KCGD); }
void nemiga_activate() { switch_on(WS_MODE_NEMIGA); }
void e85_activate() { switch_on(WS_MODE_E85); }

// ---- Frame duties ----------------------------------------------------------------------------

void dvk_frame_start()
{
    dvk.e85.status = static_cast<uint16_t>((dvk.e85.status | 0x80) ^ 0x20);
    if (ws.kcgdPresent) {
        // The reply's due point is counted on the PPU's budget, which grows here. Only a
        // waiting reply has one: moving an idle one would overflow it within a second.
        if (dvk.kcgd.replyPending)
            dvk.kcgd.replyDue += ws.ppu.speedFactor * uknc_cycles_per_frame;
        dvk.kcgd.gpu.cycleBudget = dvk.kcgd.gpu.speedFactor * gpu_cycles_per_frame;
    }
}

void dvk_keyboard_frame(bool feed)
{
    if (!ws.kcgdPresent)
        return;
    if (feed && ws.kcgdMode)
        kcgd_keyboard_feed(KeySnapshot, KeySnapshotPrev);
    kcgd_keyboard_ready_check();
}

void dvk_frame_end()
{
    if (ws.kcgdPresent)
        ws.PendingInterrupts[UKNC_GPU] |= GPU_IRQ_FIELD;
}
