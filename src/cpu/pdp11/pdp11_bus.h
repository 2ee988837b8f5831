// The fourteen bus-operation slots of pdp11.h, written once over a machine's address
// decoder. Every PDP-11 bus in the program keeps the same prefetch rules (a read of the
// prefetched word is served from the queue and refills it, a write into it makes it
// stale); what differs between machines is only where an address leads.
//
// A decoder is a record type with four static functions; they receive the address as the
// core put it on the bus (16 bits, a word address possibly odd) and mask it themselves:
//   static uint16_t read_word(Pdp11Cpu*, uint32_t address);
//   static uint8_t read_byte(Pdp11Cpu*, uint32_t address);
//   static void write_word(Pdp11Cpu*, uint32_t address, uint16_t value);
//   static void write_byte(Pdp11Cpu*, uint32_t address, uint8_t value);
//   static constexpr bool bus_errors;  // an access may install bus_error_trap
// optionally, where most addresses lead to plain memory (no device, no side effect),
//   static const uint8_t* read_page(const Pdp11Cpu*, uint32_t address);
//   static uint8_t* write_page(const Pdp11Cpu*, uint32_t address);
// giving the block whose byte [address] is the memory at that address (16 bits; a word
// access passes its address as on the bus, possibly odd, and uses the even byte pair), or
// nullptr where the decoder must be asked; the slots then read and write such memory
// themselves, with the same prefetch rules and costs, and keep the decoder for the rest.
// A page path must do exactly what the decoder would: no device, no side effect.
// And, where MFUS/MTUS see another map than ordinary accesses, optionally
//   static uint16_t read_user_word(Pdp11Cpu*, uint32_t address);
//   static void write_user_word(Pdp11Cpu*, uint32_t address, uint16_t value);
// Usage: struct MyBus { ... };  pdp11_install_bus<MyBus>(&cpu);
#pragma once

#include "cpu/pdp11/pdp11.h"

#include <cstdint>
#include <cstring>

// A word of a machine's memory block, low byte first (the host's order too): a plain load
// the compiler keeps inline on the bus read paths.
inline uint16_t pdp11_load_word(const uint8_t* p)
{
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}
inline void pdp11_store_word(uint8_t* p, uint16_t w) { std::memcpy(p, &w, 2); }

// A device answers a byte read with its word register: an odd address takes the high byte.
inline uint8_t pdp11_byte_lane(uint16_t word, uint32_t address)
{
    return static_cast<uint8_t>((address & 1) ? word >> 8 : word);
}

template <class Bus> inline void pdp11_bus_refill_prefetch(Pdp11Cpu* cpu)
{
    cpu->prefetchAddress = cpu->r[7] & 0xFFFF;
    cpu->prefetch = Bus::read_word(cpu, cpu->prefetchAddress);
}

template <class Bus> constexpr bool pdp11_bus_has_pages = requires(Pdp11Cpu* c) {
    Bus::read_page(c, 0u);
    Bus::write_page(c, 0u);
};

// The plain-memory block behind a word or byte read or write of `address`, or nullptr
// (always nullptr on a bus without pages): then the decoder does the access.
template <class Bus> [[gnu::always_inline]] inline const uint8_t* pdp11_bus_read_page(const Pdp11Cpu* cpu, uint32_t address)
{
    if constexpr (pdp11_bus_has_pages<Bus>)
        return Bus::read_page(cpu, address & 0xFFFF);
    else
        return nullptr;
}

template <class Bus> [[gnu::always_inline]] inline uint8_t* pdp11_bus_write_page(const Pdp11Cpu* cpu, uint32_t address)
{
    if constexpr (pdp11_bus_has_pages<Bus>)
        return Bus::write_page(cpu, address & 0xFFFF);
    else
        return nullptr;
}

// Each slot below does its access on a page itself and otherwise hands the whole bus
// cycle to its decoder form (out of line, reached by a tail call), so that the page path
// keeps nothing in saved registers.
template <class Bus> [[gnu::noinline]] void pdp11_bus_fetch_decoded(Pdp11Cpu* cpu)
{
    cpu->r[7] = (cpu->r[7] + 2) & 0xFFFF;
    cpu->ir = cpu->prefetch;
    pdp11_bus_refill_prefetch<Bus>(cpu);
}

template <class Bus> void pdp11_bus_fetch(Pdp11Cpu* cpu)
{
    const uint32_t pc = (cpu->r[7] + 2) & 0xFFFF;
    if (const uint8_t* page = pdp11_bus_read_page<Bus>(cpu, pc)) {
        cpu->r[7] = pc;
        cpu->ir = cpu->prefetch;
        cpu->prefetchAddress = pc;
        cpu->prefetch = pdp11_load_word(page + (pc & 0xFFFE));
        return;
    }
    pdp11_bus_fetch_decoded<Bus>(cpu);
}

template <class Bus> [[gnu::noinline]] void pdp11_bus_refetch_decoded(Pdp11Cpu* cpu) { pdp11_bus_refill_prefetch<Bus>(cpu); }

template <class Bus> void pdp11_bus_refetch(Pdp11Cpu* cpu)
{
    const uint32_t pc = cpu->r[7] & 0xFFFF;
    if (const uint8_t* page = pdp11_bus_read_page<Bus>(cpu, pc)) {
        cpu->prefetchAddress = pc;
        cpu->prefetch = pdp11_load_word(page + (pc & 0xFFFE));
        return;
    }
    pdp11_bus_refetch_decoded<Bus>(cpu);
}

enum class Pdp11Access { Word, Byte, User };

template <class Bus, Pdp11Access access> inline uint32_t pdp11_bus_load(Pdp11Cpu* cpu, uint32_t address)
{
    if constexpr (access == Pdp11Access::Byte)
        return Bus::read_byte(cpu, address);
    else if constexpr (access == Pdp11Access::User && requires { Bus::read_user_word(cpu, address); })
        return Bus::read_user_word(cpu, address);
    else
        return Bus::read_word(cpu, address);
}

// The reads: a hit on the prefetched word costs an extra bus cycle (MFUS: costPrefetchHit).
template <class Bus, Pdp11Access access> [[gnu::noinline]] void pdp11_bus_read_decoded(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        pdp11_bus_refill_prefetch<Bus>(cpu);
        cpu->cycleBudget -= access == Pdp11Access::User ? cpu->costPrefetchHit : cpu->costBusCycle;
    } else {
        cpu->dataIn = pdp11_bus_load<Bus, access>(cpu, cpu->busAddress);
    }
}

template <class Bus, Pdp11Access access> void pdp11_bus_read(Pdp11Cpu* cpu)
{
    // MFUS keeps its own map where the bus has one.
    constexpr bool paged = access != Pdp11Access::User || !requires { Bus::read_user_word(cpu, 0u); };
    if constexpr (paged && pdp11_bus_has_pages<Bus>) {
        if (cpu->busAddress == cpu->prefetchAddress) {
            const uint32_t pc = cpu->r[7] & 0xFFFF;
            if (const uint8_t* page = pdp11_bus_read_page<Bus>(cpu, pc)) {
                cpu->dataIn = cpu->prefetch;
                cpu->prefetchAddress = pc;
                cpu->prefetch = pdp11_load_word(page + (pc & 0xFFFE));
                cpu->cycleBudget -= access == Pdp11Access::User ? cpu->costPrefetchHit : cpu->costBusCycle;
                return;
            }
        } else {
            const uint32_t address = cpu->busAddress;
            if (const uint8_t* page = pdp11_bus_read_page<Bus>(cpu, address)) {
                if constexpr (access == Pdp11Access::Byte)
                    cpu->dataIn = page[address & 0xFFFF];
                else
                    cpu->dataIn = pdp11_load_word(page + (address & 0xFFFE));
                return;
            }
        }
    }
    pdp11_bus_read_decoded<Bus, access>(cpu);
}

// opWrite and the word write-back: a store into the prefetched word makes it stale.
template <class Bus, uint32_t Pdp11Cpu::*value> [[gnu::noinline]] void pdp11_bus_write_decoded(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress)
        cpu->prefetchAddress = cpu->busAddress - 1;
    Bus::write_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->*value));
}

template <class Bus, uint32_t Pdp11Cpu::*value> void pdp11_bus_write(Pdp11Cpu* cpu)
{
    const uint32_t address = cpu->busAddress;
    if (uint8_t* page = pdp11_bus_write_page<Bus>(cpu, address)) {
        if (address == cpu->prefetchAddress)
            cpu->prefetchAddress = address - 1;
        pdp11_store_word(page + (address & 0xFFFE), static_cast<uint16_t>(cpu->*value));
        return;
    }
    pdp11_bus_write_decoded<Bus, value>(cpu);
}

template <class Bus> void pdp11_bus_write_user(Pdp11Cpu* cpu)
{
    if constexpr (requires { Bus::write_user_word(cpu, 0u, uint16_t{}); })
        Bus::write_user_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->dataOut));
    else
        Bus::write_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->dataOut));
}

// opWriteByte and the byte write-back: no prefetch check.
template <class Bus, uint32_t Pdp11Cpu::*value> [[gnu::noinline]] void pdp11_bus_write_byte_decoded(Pdp11Cpu* cpu)
{
    Bus::write_byte(cpu, cpu->busAddress, static_cast<uint8_t>(cpu->*value));
}

template <class Bus, uint32_t Pdp11Cpu::*value> void pdp11_bus_write_byte(Pdp11Cpu* cpu)
{
    const uint32_t address = cpu->busAddress;
    if (uint8_t* page = pdp11_bus_write_page<Bus>(cpu, address)) {
        page[address & 0xFFFF] = static_cast<uint8_t>(cpu->*value);
        return;
    }
    pdp11_bus_write_byte_decoded<Bus, value>(cpu);
}

template <class Bus, bool byte> [[gnu::noinline]] void pdp11_bus_read_modify_decoded(Pdp11Cpu* cpu)
{
    cpu->dataIn = byte ? Bus::read_byte(cpu, cpu->busAddress) : Bus::read_word(cpu, cpu->busAddress);
    // A failed read leaves the bus-error trap in place of the write-back.
    if (Bus::bus_errors && cpu->stepHandler == bus_error_trap)
        return;
    cpu->busOperation = byte ? pdp11_bus_write_byte<Bus, &Pdp11Cpu::dataIn> : pdp11_bus_write<Bus, &Pdp11Cpu::dataIn>;
    cpu->stepHandler = cpu->continuation;
}

template <class Bus, bool byte> void pdp11_bus_read_modify(Pdp11Cpu* cpu)
{
    const uint32_t address = cpu->busAddress;
    if (const uint8_t* page = pdp11_bus_read_page<Bus>(cpu, address)) {
        cpu->dataIn = byte ? page[address & 0xFFFF] : pdp11_load_word(page + (address & 0xFFFE));
        cpu->busOperation = byte ? pdp11_bus_write_byte<Bus, &Pdp11Cpu::dataIn> : pdp11_bus_write<Bus, &Pdp11Cpu::dataIn>;
        cpu->stepHandler = cpu->continuation;
        return;
    }
    pdp11_bus_read_modify_decoded<Bus, byte>(cpu);
}

// For a machine that runs bus-operation/step pairs itself: one pair, with the commonest bus
// operations (fetch, refetch, word read and write) and the steps that always follow the
// first two called directly. The same pair as calling busOperation and then stepHandler,
// but the host need not guess the targets of two indirect calls.
template <class Bus> void pdp11_bus_run_pair(Pdp11Cpu* cpu)
{
    const Pdp11BusOp op = cpu->busOperation;
    if (op == pdp11_bus_fetch<Bus>) {
        pdp11_bus_fetch<Bus>(cpu);
        if (cpu->stepHandler == pdp11_decode_step) [[likely]] {
            pdp11_decode_step(cpu);
            return;
        }
    } else if (op == pdp11_bus_refetch<Bus>) {
        pdp11_bus_refetch<Bus>(cpu);
        if (cpu->stepHandler == pdp11_fetch_complete_step) [[likely]] {
            pdp11_fetch_complete_step(cpu);
            return;
        }
    } else if (op == pdp11_bus_read<Bus, Pdp11Access::Word>) {
        pdp11_bus_read<Bus, Pdp11Access::Word>(cpu);
    } else if (op == pdp11_bus_write<Bus, &Pdp11Cpu::dataOut>) {
        pdp11_bus_write<Bus, &Pdp11Cpu::dataOut>(cpu);
    } else {
        op(cpu);
    }
    cpu->stepHandler(cpu);
}

// Fills the fourteen slots with the operations over Bus.
template <class Bus> void pdp11_install_bus(Pdp11Cpu* cpu)
{
    cpu->opFetch = pdp11_bus_fetch<Bus>;
    cpu->opRefetch = pdp11_bus_refetch<Bus>;
    cpu->opRead = cpu->opReadSource = cpu->opReadMoveSource = pdp11_bus_read<Bus, Pdp11Access::Word>;
    cpu->opWrite = pdp11_bus_write<Bus, &Pdp11Cpu::dataOut>;
    cpu->opReadModify = pdp11_bus_read_modify<Bus, false>;
    cpu->opReadByte = cpu->opReadByteSource = cpu->opReadByteMoveSource = pdp11_bus_read<Bus, Pdp11Access::Byte>;
    cpu->opWriteByte = pdp11_bus_write_byte<Bus, &Pdp11Cpu::dataOut>;
    cpu->opReadModifyByte = pdp11_bus_read_modify<Bus, true>;
    cpu->opReadUser = pdp11_bus_read<Bus, Pdp11Access::User>;
    cpu->opWriteUser = pdp11_bus_write_user<Bus>;
}
