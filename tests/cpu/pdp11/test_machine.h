// A PDP-11 test machine: flat 64 KB of memory behind the fourteen bus slots,
// with an optional device page at 0177000-0177777 whose absent registers
// raise bus errors. It follows the bus contract to the letter (prefetch
// hits, invalidation by word writes, byte write-back without a check) and
// logs every bus operation so tests can check which slot an instruction used.
//
// How a test uses it:
//   Pdp11TestMachine m;                       // delivered costs, PSW 0, SP 01000
//   m.load(01000, {012700, 000005, 000000});  // MOV #5,R0; HALT
//   m.start(01000);                           // refetch at PC, stops at the boundary
//   int32_t cycles = m.step();                // one instruction, returns its cost in cycles
//   m.device(0177560, 0x1234);                // a device register (enables the device page)

#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "cpu/pdp11/pdp11.h"

enum class Pdp11Slot : uint8_t {
    Fetch, Refetch, Read, ReadSource, ReadMoveSource, Write, ReadModify, ReadByte,
    ReadByteSource, ReadByteMoveSource, WriteByte, ReadModifyByte, ReadUser, WriteUser,
    WriteBack, WriteBackByte,
};

struct Pdp11BusRecord {
    Pdp11Slot slot;
    uint32_t address;
};

struct Pdp11TestMachine {
    Pdp11Cpu cpu;  // first member: a bus operation finds the machine from its Pdp11Cpu*
    uint8_t mem[0x10000];
    bool device_page = false;          // 0177000-0177777 are device registers
    bool device_present[256] = {};     // per word register
    uint16_t device_value[256] = {};
    uint16_t device_last_write[256] = {};
    Pdp11BusRecord log[64];
    int log_count = 0;

    Pdp11TestMachine();

    static Pdp11TestMachine* of(Pdp11Cpu* c) { return reinterpret_cast<Pdp11TestMachine*>(c); }

    bool is_device(uint32_t a) const { return device_page && (a & 0xFFFF) >= 0177000; }

    void record(Pdp11Slot s, uint32_t a) {
        if (log_count < 64) log[log_count++] = {s, a & 0xFFFF};
    }

    uint16_t word(uint32_t a) const {
        a &= 0xFFFE;
        return static_cast<uint16_t>(mem[a] | (mem[a + 1] << 8));
    }
    void set_word(uint32_t a, uint32_t v) {
        a &= 0xFFFE;
        mem[a] = static_cast<uint8_t>(v);
        mem[a + 1] = static_cast<uint8_t>(v >> 8);
    }
    void load(uint32_t a, std::initializer_list<uint32_t> words) {
        for (uint32_t w : words) {
            set_word(a, w);
            a += 2;
        }
    }
    void device(uint32_t a, uint16_t v) {
        device_page = true;
        device_present[((a & 0xFFFF) - 0177000) >> 1] = true;
        device_value[((a & 0xFFFF) - 0177000) >> 1] = v;
    }

    // Bus-side accesses; false = nothing answers (bus error).
    bool bus_read_word(uint32_t a, uint32_t& v) {
        a &= 0xFFFF;
        if (is_device(a)) {
            uint32_t i = (a - 0177000) >> 1;
            if (!device_present[i]) return false;
            v = device_value[i];
            return true;
        }
        v = word(a);
        return true;
    }
    bool bus_read_byte(uint32_t a, uint32_t& v) {
        a &= 0xFFFF;
        if (is_device(a)) {
            uint32_t w;
            if (!bus_read_word(a & 0xFFFE, w)) return false;
            v = (a & 1) ? (w >> 8) : (w & 0xFF);  // odd address: high byte of the register
            return true;
        }
        v = mem[a];
        return true;
    }
    bool bus_write_word(uint32_t a, uint32_t v) {
        a &= 0xFFFF;
        if (is_device(a)) {
            uint32_t i = (a - 0177000) >> 1;
            if (!device_present[i]) return false;
            device_last_write[i] = static_cast<uint16_t>(v);
            return true;
        }
        set_word(a, v);
        return true;
    }
    bool bus_write_byte(uint32_t a, uint32_t v) {
        a &= 0xFFFF;
        if (is_device(a)) {
            uint32_t i = (a - 0177000) >> 1;
            if (!device_present[i]) return false;
            device_last_write[i] = static_cast<uint16_t>((a & 1) ? (v & 0xFF) << 8 : v & 0xFF);
            return true;
        }
        mem[a] = static_cast<uint8_t>(v);
        return true;
    }

    void refill_prefetch() {
        Pdp11Cpu* c = &cpu;
        c->prefetchAddress = c->r[7] & 0xFFFF;
        uint32_t v = 0;
        if (!bus_read_word(c->prefetchAddress, v)) c->stepHandler = bus_error_trap;
        c->prefetch = v;
    }

    // Prefetch-aware read shared by the plain read slots.
    template <bool Byte> void read(Pdp11Slot s, int32_t hit_cost) {
        Pdp11Cpu* c = &cpu;
        record(s, c->busAddress);
        if ((c->busAddress & 0xFFFF) == c->prefetchAddress) {
            c->dataIn = c->prefetch;
            refill_prefetch();
            c->cycleBudget -= hit_cost;
            return;
        }
        uint32_t v = 0;
        bool ok = Byte ? bus_read_byte(c->busAddress, v) : bus_read_word(c->busAddress, v);
        if (!ok) {
            c->stepHandler = bus_error_trap;
            return;
        }
        c->dataIn = Byte ? (c->dataIn & 0xFF00) | v : v;
    }

    // Resets the processor to `pc`; the first step refetches.
    void start(uint32_t pc, uint32_t psw = 0) {
        pdp11_reset(&cpu, pc, psw);
        run();
    }

    // Runs one instruction; returns its cost in whole cycles (rounded down).
    int32_t step() {
        log_count = 0;
        int32_t before = cpu.cycleBudget;
        run_instruction(&cpu);
        return (before - cpu.cycleBudget) / 256;
    }
    void run() { run_instruction(&cpu); }
};

namespace pdp11_test_bus {

inline void fetch(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::Fetch, c->r[7] + 2);
    c->r[7] = (c->r[7] + 2) & 0xFFFF;
    c->ir = c->prefetch;
    m->refill_prefetch();
}
inline void refetch(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::Refetch, c->r[7]);
    m->refill_prefetch();
}
inline void read(Pdp11Cpu* c) { Pdp11TestMachine::of(c)->read<false>(Pdp11Slot::Read, c->costBusCycle); }
inline void read_source(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<false>(Pdp11Slot::ReadSource, c->costBusCycle);
}
inline void read_move_source(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<false>(Pdp11Slot::ReadMoveSource, c->costBusCycle);
}
inline void read_byte(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<true>(Pdp11Slot::ReadByte, c->costBusCycle);
}
inline void read_byte_source(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<true>(Pdp11Slot::ReadByteSource, c->costBusCycle);
}
inline void read_byte_move_source(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<true>(Pdp11Slot::ReadByteMoveSource, c->costBusCycle);
}
inline void read_user(Pdp11Cpu* c) {
    Pdp11TestMachine::of(c)->read<false>(Pdp11Slot::ReadUser, c->costPrefetchHit);
}

inline void store_word(Pdp11Cpu* c, Pdp11Slot s, uint32_t value, bool invalidate) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(s, c->busAddress);
    if (invalidate && (c->busAddress & 0xFFFF) == c->prefetchAddress)
        c->prefetchAddress = (c->prefetchAddress - 1) & 0xFFFF;
    if (!m->bus_write_word(c->busAddress, value)) c->stepHandler = bus_error_trap;
}
inline void write(Pdp11Cpu* c) { store_word(c, Pdp11Slot::Write, c->dataOut, true); }
inline void write_user(Pdp11Cpu* c) { store_word(c, Pdp11Slot::WriteUser, c->dataOut, false); }
inline void write_back(Pdp11Cpu* c) { store_word(c, Pdp11Slot::WriteBack, c->dataIn, true); }
inline void write_byte(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::WriteByte, c->busAddress);
    if (!m->bus_write_byte(c->busAddress, c->dataOut)) c->stepHandler = bus_error_trap;
}
inline void write_back_byte(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::WriteBackByte, c->busAddress);
    if (!m->bus_write_byte(c->busAddress, c->dataIn)) c->stepHandler = bus_error_trap;
}
inline void read_modify(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::ReadModify, c->busAddress);
    uint32_t v = 0;
    if (!m->bus_read_word(c->busAddress, v)) {
        c->stepHandler = bus_error_trap;
        return;
    }
    c->dataIn = v;
    c->busOperation = write_back;
    c->stepHandler = c->continuation;
}
inline void read_modify_byte(Pdp11Cpu* c) {
    Pdp11TestMachine* m = Pdp11TestMachine::of(c);
    m->record(Pdp11Slot::ReadModifyByte, c->busAddress);
    uint32_t v = 0;
    if (!m->bus_read_byte(c->busAddress, v)) {
        c->stepHandler = bus_error_trap;
        return;
    }
    c->dataIn = v;
    c->busOperation = write_back_byte;
    c->stepHandler = c->continuation;
}

}  // namespace pdp11_test_bus

inline Pdp11TestMachine::Pdp11TestMachine() {
    std::memset(&cpu, 0, sizeof cpu);
    std::memset(mem, 0, sizeof mem);
    pdp11_set_delivered_costs(&cpu);
    cpu.memory = mem;
    cpu.opFetch = pdp11_test_bus::fetch;
    cpu.opRefetch = pdp11_test_bus::refetch;
    cpu.opRead = pdp11_test_bus::read;
    cpu.opReadSource = pdp11_test_bus::read_source;
    cpu.opReadMoveSource = pdp11_test_bus::read_move_source;
    cpu.opWrite = pdp11_test_bus::write;
    cpu.opReadModify = pdp11_test_bus::read_modify;
    cpu.opReadByte = pdp11_test_bus::read_byte;
    cpu.opReadByteSource = pdp11_test_bus::read_byte_source;
    cpu.opReadByteMoveSource = pdp11_test_bus::read_byte_move_source;
    cpu.opWriteByte = pdp11_test_bus::write_byte;
    cpu.opReadModifyByte = pdp11_test_bus::read_modify_byte;
    cpu.opReadUser = pdp11_test_bus::read_user;
    cpu.opWriteUser = pdp11_test_bus::write_user;
    cpu.r[6] = 01000;
    pdp11_reset(&cpu, 0, 0);
}
