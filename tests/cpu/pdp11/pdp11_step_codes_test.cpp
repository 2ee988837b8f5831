// Step codes for saved states: random programs (with traps, interrupts and bus errors
// mixed in) stop after any bus operation and must find every pending step in the table,
// and the codes must lead back to the same steps and bus operations.
#include "cpu/pdp11/pdp11_bus.h"
#include "cpu/pdp11/pdp11_step_codes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

uint8_t memory[0x10000];

// Flat memory with a hole at 0160000-0177777 that bus-errors, as a machine's I/O page may.
struct FuzzBus {
    static constexpr bool bus_errors = true;
    static uint16_t read_word(Pdp11Cpu* c, uint32_t a)
    {
        a &= 0xFFFE;
        if (a >= 0160000) {
            c->stepHandler = bus_error_trap;
            return 0;
        }
        return uint16_t(memory[a] | memory[a + 1] << 8);
    }
    static uint8_t read_byte(Pdp11Cpu* c, uint32_t a) { return pdp11_byte_lane(read_word(c, a), a); }
    static void write_word(Pdp11Cpu* c, uint32_t a, uint16_t v)
    {
        a &= 0xFFFE;
        if (a >= 0160000) {
            c->stepHandler = bus_error_trap;
            return;
        }
        memory[a] = uint8_t(v), memory[a + 1] = uint8_t(v >> 8);
    }
    static void write_byte(Pdp11Cpu* c, uint32_t a, uint8_t v)
    {
        if ((a & 0xFFFF) >= 0160000)
            c->stepHandler = bus_error_trap;
        else
            memory[a & 0xFFFF] = v;
    }
};

} // namespace

TEST(Pdp11StepCodes, EveryPendingStepOfRandomProgramsHasACodeThatLeadsBack)
{
    const auto start = std::chrono::steady_clock::now();
    const uint32_t count = pdp11_step_count();
    const double build_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(count, 50u);
    std::printf("step table: %u steps in %.1f ms\n", count, build_ms);
    EXPECT_LT(build_ms, 500.0) << "building the table";
    EXPECT_EQ(pdp11_step_fingerprint(), pdp11_step_fingerprint());

    std::mt19937 random(20);
    Pdp11Cpu c{};
    pdp11_set_delivered_costs(&c);
    pdp11_install_bus<FuzzBus>(&c);
    // Vectors and HALT-area words point at fresh code; the rest is random instructions.
    testing::internal::CaptureStdout(); // unprovided opcodes report themselves
    for (int round = 0; round < 40; ++round) {
        for (uint32_t a = 0; a < 0160000; a += 2) {
            uint16_t w = uint16_t(random());
            if (a < 01000)
                w = uint16_t(a < 0400 ? 04000 + (random() & 0777776) % 0100000 : 0340);
            memory[a] = uint8_t(w), memory[a + 1] = uint8_t(w >> 8);
        }
        pdp11_reset(&c, 04000 + 2 * (random() % 010000), 0);
        c.r[6] = 01000;
        for (int pair = 0; pair < 20000; ++pair) {
            if (pair % 997 == 0 && c.busOperation == c.opFetch)
                request_interrupt(&c, 0100);
            c.busOperation(&c);
            c.stepHandler(&c);
            if (c.busOperation == c.opFetch && (c.r[7] & 0xFFFF) != c.prefetchAddress) {
                c.busOperation = c.opRefetch;
                c.stepHandler = pdp11_fetch_complete_step;
            }
            uint16_t step = 0, continuation = 0;
            ASSERT_TRUE(pdp11_step_code(c.stepHandler, &step)) << "ir " << std::oct << c.ir;
            ASSERT_TRUE(pdp11_step_code(c.continuation, &continuation)) << "ir " << std::oct << c.ir;
            ASSERT_EQ(pdp11_step_from_code(step), c.stepHandler);
            ASSERT_EQ(pdp11_step_from_code(continuation), c.continuation);
            const int bus = pdp11_bus_op_code(&c, c.busOperation);
            ASSERT_GE(bus, 0) << "ir " << std::oct << c.ir;
            ASSERT_EQ(pdp11_bus_op_from_code(&c, bus), c.busOperation);
        }
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(pdp11_step_from_code(uint16_t(count)), nullptr);
    EXPECT_EQ(pdp11_bus_op_from_code(&c, pdp11_bus_op_count), nullptr);
}
