// MS-0515 bus operations for the PDP-11 core. The MS-0515 bus has no wait states and never
// signals a bus error: every address below the I/O page is backed by a page, and the I/O
// page answers every register (unrealized ones with a console message).
#include "machines/ms0515/ms0515.h"

static inline uint32_t pc_of(const Pdp11Cpu* cpu) { return cpu->r[7] & 0xFFFF; }

static void refill_prefetch(Pdp11Cpu* cpu)
{
    cpu->prefetchAddress = pc_of(cpu);
    cpu->prefetch = ms0515_read_word(cpu->prefetchAddress);
}

static void op_fetch(Pdp11Cpu* cpu)
{
    cpu->r[7] = (cpu->r[7] + 2) & 0xFFFF;
    cpu->ir = cpu->prefetch;
    refill_prefetch(cpu);
}

static void op_refetch(Pdp11Cpu* cpu) { refill_prefetch(cpu); }

static void op_read(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costBusCycle;
    } else {
        cpu->dataIn = ms0515_read_word(cpu->busAddress & 0xFFFE);
    }
}

static void op_read_user(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costPrefetchHit;
    } else {
        cpu->dataIn = ms0515_read_word(cpu->busAddress & 0xFFFE);
    }
}

static void op_read_byte(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costBusCycle;
    } else {
        cpu->dataIn = ms0515_read_byte(cpu->busAddress);
    }
}

static void op_write(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress)
        cpu->prefetchAddress = cpu->busAddress - 1; // the stale prefetch can match no more
    ms0515_write_word(cpu->busAddress & 0xFFFE, static_cast<uint16_t>(cpu->dataOut));
}

static void op_write_user(Pdp11Cpu* cpu)
{
    ms0515_write_word(cpu->busAddress & 0xFFFE, static_cast<uint16_t>(cpu->dataOut));
}

static void op_write_byte(Pdp11Cpu* cpu)
{
    ms0515_write_byte(cpu->busAddress, static_cast<uint8_t>(cpu->dataOut));
}

static void write_back_word(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress)
        cpu->prefetchAddress = cpu->busAddress - 1;
    ms0515_write_word(cpu->busAddress & 0xFFFE, static_cast<uint16_t>(cpu->dataIn));
}

static void write_back_byte(Pdp11Cpu* cpu)
{
    ms0515_write_byte(cpu->busAddress, static_cast<uint8_t>(cpu->dataIn));
}

static void op_read_modify(Pdp11Cpu* cpu)
{
    cpu->dataIn = ms0515_read_word(cpu->busAddress & 0xFFFE);
    cpu->busOperation = write_back_word;
    cpu->stepHandler = cpu->continuation;
}

static void op_read_modify_byte(Pdp11Cpu* cpu)
{
    cpu->dataIn = ms0515_read_byte(cpu->busAddress);
    cpu->busOperation = write_back_byte;
    cpu->stepHandler = cpu->continuation;
}

void ms0515_setup_cpu()
{
    Pdp11Cpu& cpu = ms0515.cpu;
    cpu = Pdp11Cpu{};
    pdp11_set_delivered_costs(&cpu);
    cpu.haltBase = 0xE000;
    cpu.memory = ms0515.memory;
    cpu.opFetch = op_fetch;
    cpu.opRefetch = op_refetch;
    cpu.opRead = cpu.opReadSource = cpu.opReadMoveSource = op_read;
    cpu.opWrite = op_write;
    cpu.opReadModify = op_read_modify;
    cpu.opReadByte = cpu.opReadByteSource = cpu.opReadByteMoveSource = op_read_byte;
    cpu.opWriteByte = op_write_byte;
    cpu.opReadModifyByte = op_read_modify_byte;
    cpu.opReadUser = op_read_user;
    cpu.opWriteUser = op_write_user;
    cpu.r[6] = 01000;
    cpu.r[7] = 0172000;
    cpu.psw = 0740; // 0x01E0: HALT-mode bit and priority 7
    cpu.cycleBudget = 0;
    cpu.stepHandler = pdp11_decode_step;
    cpu.busOperation = cpu.opFetch;
    refill_prefetch(&cpu);
}
