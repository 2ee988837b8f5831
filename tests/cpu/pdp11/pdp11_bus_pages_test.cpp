// The slots of pdp11_bus.h reach a decoder's plain pages themselves (read_page/write_page):
// they must do exactly what the decoder does. Random programs run on two machines over the
// same map, one decoder with pages and one without, compared after every bus operation and
// step pair (as the UKNC runs its processors, pdp11_bus_run_pair) or every instruction. The map
// has RAM, a ROM page whose writes are dropped, a page that answers nothing (bus errors) but
// is RAM in HALT mode, and a device page with a counting register.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_bus.h"

namespace {

struct PagedMachine {
    Pdp11Cpu cpu;  // first member: the decoder finds the machine from its Pdp11Cpu*
    uint8_t mem[0x10000];
    uint16_t counter;                // the device register at 0177700 counts its reads
    std::vector<uint32_t> io;        // every device access: address, value
};

PagedMachine* of(const Pdp11Cpu* c) { return reinterpret_cast<PagedMachine*>(const_cast<Pdp11Cpu*>(c)); }

bool halt_mode(const Pdp11Cpu* c) { return c->psw & PDP11_HALT_MODE; }
bool is_rom(uint32_t a) { return (a & 0xFFFF) >= 0xC000 && (a & 0xFFFF) < 0xE000; }
bool is_hole(const Pdp11Cpu* c, uint32_t a) { return (a & 0xF000) == 0xE000 && !halt_mode(c); }
bool is_device(uint32_t a) { return (a & 0xFFFF) >= 0xFE00; }

template <bool Paged> struct TestBus {
    static constexpr bool bus_errors = true;

    static const uint8_t* read_page(const Pdp11Cpu* c, uint32_t a) requires Paged {
        return is_device(a) || is_hole(c, a) ? nullptr : of(c)->mem;
    }
    static uint8_t* write_page(const Pdp11Cpu* c, uint32_t a) requires Paged {
        return is_device(a) || is_hole(c, a) || is_rom(a) ? nullptr : of(c)->mem;
    }

    static uint16_t device(Pdp11Cpu* c, uint32_t a, bool write, uint16_t v) {
        PagedMachine* m = of(c);
        m->io.insert(m->io.end(), {a | (write ? 0x10000u : 0u), v});
        if ((a & 0xFFFE) != 0177700) c->stepHandler = bus_error_trap;
        return write ? 0 : m->counter++;
    }
    static uint16_t read_word(Pdp11Cpu* c, uint32_t a) {
        a &= 0xFFFE;
        if (is_device(a)) return device(c, a, false, 0);
        if (is_hole(c, a)) return c->stepHandler = bus_error_trap, 0;
        return pdp11_load_word(of(c)->mem + a);
    }
    static uint8_t read_byte(Pdp11Cpu* c, uint32_t a) {
        a &= 0xFFFF;
        if (is_device(a)) return pdp11_byte_lane(device(c, a, false, 0), a);
        if (is_hole(c, a)) return c->stepHandler = bus_error_trap, 0;
        return of(c)->mem[a];
    }
    static void write_word(Pdp11Cpu* c, uint32_t a, uint16_t v) {
        a &= 0xFFFE;
        if (is_device(a)) device(c, a, true, v);
        else if (is_hole(c, a)) c->stepHandler = bus_error_trap;
        else if (!is_rom(a)) pdp11_store_word(of(c)->mem + a, v);
    }
    static void write_byte(Pdp11Cpu* c, uint32_t a, uint8_t v) {
        a &= 0xFFFF;
        if (is_device(a)) device(c, a, true, v);
        else if (is_hole(c, a)) c->stepHandler = bus_error_trap;
        else if (!is_rom(a)) of(c)->mem[a] = v;
    }
};

// Which slot (or write-back) is selected: the two machines' slots are different functions.
template <bool Paged> int slot_of(const Pdp11Cpu& c) {
    const Pdp11BusOp slots[] = {c.opFetch,     c.opRefetch,       c.opRead,         c.opReadSource,
                                c.opReadMoveSource, c.opWrite,     c.opReadModify,   c.opReadByte,
                                c.opReadByteSource, c.opReadByteMoveSource, c.opWriteByte,
                                c.opReadModifyByte, c.opReadUser,  c.opWriteUser,
                                pdp11_bus_write<TestBus<Paged>, &Pdp11Cpu::dataIn>,
                                pdp11_bus_write_byte<TestBus<Paged>, &Pdp11Cpu::dataIn>};
    for (int i = 0; i < 16; ++i)
        if (c.busOperation == slots[i]) return i;
    return -1;
}

template <bool Paged> std::vector<uintptr_t> visible(const PagedMachine& m) {
    const Pdp11Cpu& c = m.cpu;
    std::vector<uintptr_t> v(c.r, c.r + 8);
    v.insert(v.end(), {c.ir, c.prefetch, c.psw, c.dataIn, c.dataOut, c.vector, c.busAddress, c.prefetchAddress,
                       c.savedPc, c.savedPsw, c.indexBase, uintptr_t(uint32_t(c.cycleBudget)),
                       uintptr_t(slot_of<Paged>(c)), uintptr_t(c.stepHandler), uintptr_t(c.continuation),
                       m.counter, m.io.size()});
    return v;
}

// As a machine that runs pairs does (the paged one through pdp11_bus_run_pair): a stale
// prefetch is refetched before the next instruction.
template <bool Paged> void run_pair(Pdp11Cpu& c) {
    if (Paged) {
        pdp11_bus_run_pair<TestBus<true>>(&c);
    } else {
        c.busOperation(&c);
        c.stepHandler(&c);
    }
    if (c.busOperation == c.opFetch && (c.r[7] & 0xFFFF) != c.prefetchAddress) {
        c.busOperation = c.opRefetch;
        c.stepHandler = pdp11_fetch_complete_step;
    }
}

// The first difference met in program `seed`, or "".
std::string run_both(PagedMachine* paged, PagedMachine* decoded, int seed, bool pairs) {
    std::mt19937 rng(seed);
    *paged = PagedMachine{};
    // A quarter of the words register or (Rn)/(Rn)+/-(Rn)/@(Rn)+ forms, a quarter SOB.
    for (uint32_t a = 0; a < 0x10000; a += 2) {
        uint32_t w = rng() & 0xFFFF, kind = rng() % 4;
        if (kind == 0) w = (w & 0177707) | ((rng() % 5) << 3);
        if (kind == 1) w = 0077000 | (w & 0777);
        pdp11_store_word(paged->mem + a, uint16_t(w));
    }
    pdp11_set_delivered_costs(&paged->cpu);
    pdp11_install_bus<TestBus<true>>(&paged->cpu);
    for (uint32_t& r : paged->cpu.r) r = rng() & 0xFFFF;
    *decoded = *paged;
    pdp11_install_bus<TestBus<false>>(&decoded->cpu);
    uint32_t pc = rng() & 0xBFFE, psw = rng() & 0x1EF;
    pdp11_reset(&paged->cpu, pc, psw);
    pdp11_reset(&decoded->cpu, pc, psw);
    for (int n = 0; n < 6000; ++n) {
        if (n % 1000 == 999) paged->cpu.r[7] = decoded->cpu.r[7] = rng() & 0xFFFE;  // PC moved
        paged->cpu.cycleBudget = decoded->cpu.cycleBudget = 0;  // each step's cost is compared
        if (pairs) {
            run_pair<true>(paged->cpu);
            run_pair<false>(decoded->cpu);
        } else {
            run_instruction(&paged->cpu);
            run_instruction(&decoded->cpu);
        }
        if (visible<true>(*paged) != visible<false>(*decoded) || paged->io != decoded->io)
            return "seed " + std::to_string(seed) + ": the processors differ after step " + std::to_string(n);
    }
    if (std::memcmp(paged->mem, decoded->mem, sizeof paged->mem) != 0)
        return "seed " + std::to_string(seed) + ": the memories differ";
    return "";
}

TEST(BusPages, RandomProgramsRunAsThroughTheDecoder) {
    auto* paged = new PagedMachine;
    auto* decoded = new PagedMachine;
    struct Case {
        const char* name;
        bool pairs;
        std::string difference;
    } cases[] = {{"in pairs", true, ""}, {"by instructions", false, ""}};
    size_t device_accesses = 0;
    testing::internal::CaptureStdout();  // unprovided opcodes report themselves
    for (Case& c : cases)
        for (int seed = 0; seed < 30 && c.difference.empty(); ++seed) {
            c.difference = run_both(paged, decoded, seed, c.pairs);
            device_accesses += paged->io.size();
        }
    testing::internal::GetCapturedStdout();
    for (const Case& c : cases)
        EXPECT_EQ(c.difference, "") << c.name;
    EXPECT_GT(device_accesses, 0u);  // the programs do reach the device page
    delete paged;
    delete decoded;
}

}  // namespace
