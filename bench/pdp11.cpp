// PDP-11 core speed: a tight loop through the core on a flat 64 KB machine.
// Reports emulated instructions and cycles per host second.
//
//   loop: ADD R1,R0; MOV R0,(R3); INC R4; SOB R2,loop   (R2 = 100)
//         MOV #100,R2; BR loop

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "cpu/pdp11/pdp11.h"

namespace {

uint8_t memory[0x10000];

inline uint32_t word_at(uint32_t a) {
    a &= 0xFFFE;
    return memory[a] | (memory[a + 1] << 8);
}
inline void store_word(uint32_t a, uint32_t v) {
    a &= 0xFFFE;
    memory[a] = static_cast<uint8_t>(v);
    memory[a + 1] = static_cast<uint8_t>(v >> 8);
}

void fetch(Pdp11Cpu* c) {
    c->r[7] = (c->r[7] + 2) & 0xFFFF;
    c->ir = c->prefetch;
    c->prefetchAddress = c->r[7];
    c->prefetch = word_at(c->r[7]);
}
void refetch(Pdp11Cpu* c) {
    c->prefetchAddress = c->r[7] & 0xFFFF;
    c->prefetch = word_at(c->prefetchAddress);
}
template <bool Byte, bool User> void read(Pdp11Cpu* c) {
    if (c->busAddress == c->prefetchAddress) {
        c->dataIn = c->prefetch;
        refetch(c);
        c->cycleBudget -= User ? c->costPrefetchHit : c->costBusCycle;
    } else {
        c->dataIn = Byte ? memory[c->busAddress & 0xFFFF] : word_at(c->busAddress);
    }
}
void write(Pdp11Cpu* c) {
    if (c->busAddress == c->prefetchAddress) c->prefetchAddress = (c->prefetchAddress - 1) & 0xFFFF;
    store_word(c->busAddress, c->dataOut);
}
void write_user(Pdp11Cpu* c) { store_word(c->busAddress, c->dataOut); }
void write_byte(Pdp11Cpu* c) { memory[c->busAddress & 0xFFFF] = static_cast<uint8_t>(c->dataOut); }
void write_back(Pdp11Cpu* c) {
    if (c->busAddress == c->prefetchAddress) c->prefetchAddress = (c->prefetchAddress - 1) & 0xFFFF;
    store_word(c->busAddress, c->dataIn);
}
void write_back_byte(Pdp11Cpu* c) { memory[c->busAddress & 0xFFFF] = static_cast<uint8_t>(c->dataIn); }
void read_modify(Pdp11Cpu* c) {
    c->dataIn = word_at(c->busAddress);
    c->busOperation = write_back;
    c->stepHandler = c->continuation;
}
void read_modify_byte(Pdp11Cpu* c) {
    c->dataIn = memory[c->busAddress & 0xFFFF];
    c->busOperation = write_back_byte;
    c->stepHandler = c->continuation;
}

// The loop of the comparison with other PDP-11 emulators: the same four instructions,
// the inner SOB inside an outer SOB R5 (R2 = 100, R5 = 1000), restarted when both end.
//   loop:  ADD R1,R0; MOV R0,(R3); INC R4; SOB R2,loop
//          MOV #100,R2; SOB R5,loop
//          MOV #1000,R5; BR loop
const uint16_t nested_program[] = {
    0060100,          // 01000 loop: ADD R1,R0
    0010013,          // 01002       MOV R0,(R3)
    0005204,          // 01004       INC R4
    0077204,          // 01006       SOB R2,loop
    0012702, 100,     // 01010       MOV #100,R2
    0077507,          // 01014       SOB R5,loop
    0012705, 1000,    // 01016       MOV #1000,R5
    0000766,          // 01022       BR loop
};

void setup(Pdp11Cpu* c, bool plain, const uint16_t* nested = nullptr, unsigned nested_words = 0) {
    std::memset(c, 0, sizeof *c);
    pdp11_set_delivered_costs(c);
    c->memory = memory;
    // The slots below do nothing but move bytes of `memory`: the machine may say so.
    c->plainMemory = plain ? memory : nullptr;
    c->opFetch = fetch;
    c->opRefetch = refetch;
    c->opRead = read<false, false>;
    c->opReadSource = read<false, false>;
    c->opReadMoveSource = read<false, false>;
    c->opWrite = write;
    c->opReadModify = read_modify;
    c->opReadByte = read<true, false>;
    c->opReadByteSource = read<true, false>;
    c->opReadByteMoveSource = read<true, false>;
    c->opWriteByte = write_byte;
    c->opReadModifyByte = read_modify_byte;
    c->opReadUser = read<false, true>;
    c->opWriteUser = write_user;
    const uint16_t program[] = {
        0060100,          // 01000 loop: ADD R1,R0
        0010013,          // 01002       MOV R0,(R3)
        0005204,          // 01004       INC R4
        0077204,          // 01006       SOB R2,loop
        0012702, 100,     // 01010       MOV #100,R2
        0000771,          // 01014       BR loop
    };
    for (unsigned i = 0; i < sizeof program / sizeof program[0]; ++i) store_word(01000 + 2 * i, program[i]);
    for (unsigned i = 0; i < nested_words; ++i) store_word(01000 + 2 * i, nested[i]);
    c->r[5] = 1000;
    c->r[1] = 3;
    c->r[2] = 100;
    c->r[3] = 04000;
    c->r[6] = 0776;
    pdp11_reset(c, 01000, 0);
    run_instruction(c);  // the initial refetch
}

void run_loop(benchmark::State& state, bool nested, bool plain) {
    Pdp11Cpu cpu;
    if (nested)
        setup(&cpu, plain, nested_program, sizeof nested_program / sizeof nested_program[0]);
    else
        setup(&cpu, plain);
    // Like a machine's frame: refill the budget, run until it is spent.
    constexpr int32_t frame_budget = 20000 * 256;
    int64_t instructions = 0, cycles = 0;
    for (auto _ : state) {
        for (int frame = 0; frame < 50; ++frame) {
            int32_t start = cpu.cycleBudget += frame_budget;
            while (cpu.cycleBudget >= 0) {
                run_instruction(&cpu);
                ++instructions;
            }
            cycles += start - cpu.cycleBudget;
        }
    }
    cycles /= 256;
    benchmark::DoNotOptimize(cpu.r[4]);
    state.counters["MIPS"] = benchmark::Counter(static_cast<double>(instructions) / 1e6,
                                                benchmark::Counter::kIsRate);
    state.counters["Mcycles/s"] = benchmark::Counter(static_cast<double>(cycles) / 1e6,
                                                     benchmark::Counter::kIsRate);
}
// Through the bus-operation slots, as on a machine with devices.
void BM_Pdp11Loop(benchmark::State& state) { run_loop(state, false, false); }
BENCHMARK(BM_Pdp11Loop)->Unit(benchmark::kMillisecond);

void BM_Pdp11NestedSobLoopSlots(benchmark::State& state) { run_loop(state, true, false); }
BENCHMARK(BM_Pdp11NestedSobLoopSlots)->Unit(benchmark::kMillisecond);

// The flat 64 KB with no device, declared as plain memory (the comparison figure).
void BM_Pdp11NestedSobLoop(benchmark::State& state) { run_loop(state, true, true); }
BENCHMARK(BM_Pdp11NestedSobLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
