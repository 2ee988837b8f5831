// The debugger's view of a console-monitor Z80 machine: registers, memory as the monitor
// reads it (the machine's side-effect-free reader, or the processor's memory read with the
// bus latches kept), and edits through the processor's memory write.
#include "machines/z80_machine/z80_debug_view.h"

#include "cpu/z80/z80_debug.h"

namespace {

Z80Monitor* monitor = nullptr;
const DebugRegisterList<z80_debug_register_count> registers(z80_debug_register_names, z80_debug_register_bits);

uint8_t read(uint16_t address)
{
    if (monitor->read_byte)
        return monitor->read_byte(address);
    Z80State* cpu = monitor->cpu;
    const int32_t addr = cpu->addr;
    const uint8_t data = cpu->data;
    cpu->addr = address;
    cpu->read_mem(cpu);
    const uint8_t value = cpu->data;
    cpu->addr = addr;
    cpu->data = data;
    return value;
}

void write(uint32_t address, uint8_t value)
{
    Z80State* cpu = monitor->cpu;
    const int32_t addr = cpu->addr;
    const uint8_t data = cpu->data;
    cpu->addr = int32_t(address & 0xFFFF);
    cpu->data = value;
    cpu->write_mem(cpu);
    cpu->addr = addr;
    cpu->data = data;
}

const DebugProcessor processors[] = {
    {"Z80", registers.info, z80_debug_register_count,
     [](uint32_t* v) { z80_debug_get_registers(*monitor->cpu, v); },
     [](int i, uint32_t v) { z80_debug_set_register(*monitor->cpu, i, v); }, z80_debug_flags_register,
     z80_debug_flag_letters, [] { return uint32_t(monitor->cpu->pc); },
     [] { return int64_t(monitor->cpu->ticks >> monitor->tick_shift); },
     [](uint32_t a, const uint8_t* code, char* text, size_t size) {
         return z80_debug_disassemble(uint16_t(a), code, text, size);
     },
     z80_debug_call_length, 0},
};

const DebugSpace spaces[] = {
    {"Memory", 0x10000, [](uint32_t a) { return int(read(uint16_t(a))); }, write},
};

DebugMachine machine = {nullptr, processors, 1, spaces, 1, nullptr, 0};

} // namespace

void z80_debug_view_register(const char* machine_name, Z80Monitor* m)
{
    monitor = m;
    machine.name = machine_name;
    debug_register_machine(&machine);
}
