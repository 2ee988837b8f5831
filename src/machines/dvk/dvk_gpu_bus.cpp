// The KCGD's own processor (the GPU): its address map and bus, its set-up and its
// interrupt requests. The GPU sees
//   0000000-0077777  RAM = the first 16384 video words
//   0100000-0117777  the KCGD ROM (writes ignored)
//   0120000-0157777  nothing (bus error)
//   0160000-0177777  the I/O page through the GPU's tables
// There is no HALT-mode memory switch on this board.
#include "machines/dvk/dvk_boards.h"

#include "cpu/pdp11/pdp11_bus.h"
#include "machines/uknc/processor_power_on.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;
KcgdBoard& kcgd = dvk.kcgd;

// The GPU's messages for registers that do not answer.
constexpr IoReporter gpu_reporter = {&dvk.kcgd.gpu, "GPU", "Read word from", "PC = "};

enum Region { RAM, ROM, HOLE, IO };

inline Region region_of(uint32_t address)
{
    if (address < 0100000)
        return RAM;
    if (address < 0120000)
        return ROM;
    if (address < 0160000)
        return HOLE;
    return IO;
}

// Where a word of RAM or ROM (the region given) lies in the board's block.
inline const uint8_t* memory_word(Region region, uint32_t address)
{
    return region == RAM ? kcgd.block + address : kcgd.block + kcgd_rom_offset + (address - 0100000);
}

// The GPU's address decoder for the bus operations of pdp11_bus.h. Its routines stay out
// of line: the region switch inlined into every slot would only grow the code.
struct GpuBus {
    static constexpr bool bus_errors = true;
    static uint16_t read_word(Pdp11Cpu* cpu, uint32_t address);
    static uint8_t read_byte(Pdp11Cpu* cpu, uint32_t address);
    template <bool byte> static void write(Pdp11Cpu* cpu, uint32_t address, uint16_t value);
    static void write_word(Pdp11Cpu* cpu, uint32_t address, uint16_t value);
    static void write_byte(Pdp11Cpu* cpu, uint32_t address, uint8_t value);
};

uint16_t GpuBus::read_word(Pdp11Cpu*, uint32_t address)
{
    address &= 0xFFFE;
    switch (region_of(address)) {
    case RAM:
        return pdp11_load_word(memory_word(RAM, address));
    case ROM:
        return pdp11_load_word(memory_word(ROM, address));
    case HOLE:
        return io_nonexistent_read<gpu_reporter>(address);
    case IO:
        break;
    }
    return kcgd.GpuIoReadTable[(address >> 1) & 0xFFF](address);
}

// Outside RAM a byte read is a word read (at the even address) and its byte lane.
uint8_t GpuBus::read_byte(Pdp11Cpu* cpu, uint32_t address)
{
    address &= 0xFFFF;
    if (address < 0100000)
        return kcgd.block[address];
    return pdp11_byte_lane(read_word(cpu, address), address);
}

// Word and byte stores share the map: ROM ignores them, the hole bus-errors.
template <bool byte> void GpuBus::write(Pdp11Cpu*, uint32_t address, uint16_t value)
{
    address &= byte ? 0xFFFF : 0xFFFE;
    switch (region_of(address)) {
    case RAM:
        if (byte)
            kcgd.block[address] = static_cast<uint8_t>(value);
        else
            pdp11_store_word(kcgd.block + address, value);
        return;
    case ROM:
        return;
    case HOLE:
        io_report_nonexistent(gpu_reporter, byte ? "Write byte to" : "Write word to", address);
        return;
    case IO:
        if (byte)
            kcgd.GpuIoWriteByteTable[address & 0x1FFF](address, value);
        else
            kcgd.GpuIoWriteWordTable[(address >> 1) & 0xFFF](address, value);
        return;
    }
}

void GpuBus::write_word(Pdp11Cpu* cpu, uint32_t address, uint16_t value) { write<false>(cpu, address, value); }
void GpuBus::write_byte(Pdp11Cpu* cpu, uint32_t address, uint8_t value) { write<true>(cpu, address, value); }

struct Request {
    uint32_t bit;
    uint32_t vector;
};

constexpr Request gpu_requests[] = {
    {GPU_IRQ_FIELD, 0100}, {GPU_IRQ_2000, 0360}, {GPU_IRQ_REPLY, 0364},
    {GPU_IRQ_KEYBOARD, 060}, {GPU_IRQ_1000, 064}, {GPU_IRQ_0080, 0304},
};

} // namespace

void gpu_setup()
{
    Pdp11Cpu& gpu = kcgd.gpu;
    processor_power_on<GpuBus>(&gpu, 0x8000, kcgd.block, 0111516, 0340);
    // The board starts with the first instruction of its ROM (MOV #..,SP) already queued.
    gpu.prefetch = 012706;
    gpu.prefetchAddress = gpu.r[7];
    gpu.busOperation = gpu.opFetch;
    gpu.stepHandler = pdp11_decode_step;
    kcgd.turn = 0;
}

// The GPU's I/O page: everything reports itself as unrealized until a register is put
// there (the registers themselves are in dvk_kcgd.cpp); even byte slots take the word
// handler of their address.
void gpu_install_io()
{
    io_page_fill(kcgd_gpu_io_page(), io_unrealized_read<gpu_reporter>, io_unrealized_word<gpu_reporter>,
                 io_unrealized_byte<gpu_reporter>);
    kcgd_install_gpu_registers();
}

uint16_t gpu_peek(uint32_t address)
{
    address &= 0xFFFE;
    const Region region = region_of(address);
    return region == RAM || region == ROM ? pdp11_load_word(memory_word(region, address)) : 0;
}

bool gpu_accept_interrupt()
{
    uint32_t& pending = ws.PendingInterrupts[UKNC_GPU];
    Pdp11Cpu& gpu = kcgd.gpu;
    if (!pending || gpu.busOperation != gpu.opFetch || (gpu.psw & 0x80))
        return false;
    for (const Request& r : gpu_requests)
        if (pending & r.bit) {
            pending &= ~r.bit;
            request_interrupt(&gpu, r.vector);
            return true;
        }
    return false;
}

void dvk_gpu_prepare()
{
    Pdp11Cpu& gpu = kcgd.gpu;
    if (kcgd.replyPending)
        kcgd_deliver_reply();
    if (ws.PendingInterrupts[UKNC_GPU])
        gpu_accept_interrupt();
    if (ws.tracing && ws.kcgdMode && gpu.busOperation == gpu.opFetch && (gpu.r[7] & 0xFFFF) == gpu.prefetchAddress &&
        workstation_hooks.trace)
        workstation_hooks.trace(&gpu);
}

void dvk_gpu_run_pair()
{
    Pdp11Cpu& gpu = kcgd.gpu;
    gpu.busOperation(&gpu);
    gpu.stepHandler(&gpu);
    if (gpu.busOperation == gpu.opFetch && (gpu.r[7] & 0xFFFF) != gpu.prefetchAddress) {
        gpu.busOperation = gpu.opRefetch;
        gpu.stepHandler = pdp11_fetch_complete_step;
    }
    workstation_monitor_ran(MONITOR_GPU);
}

void dvk_gpu_pair()
{
    dvk_gpu_prepare();
    dvk_gpu_run_pair();
}
