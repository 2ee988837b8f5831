// Z80 core speed: a fixed program mixing ALU, memory, indexed, CB, block and
// jump instructions runs on a flat 64 KB bus; reports million T-states per second.
// A second program uses only the 8080's instructions and runs once in Z80 mode
// and once in 8080 mode, so the two modes compare on the same work.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "cpu/z80/z80.h"

namespace {

uint8_t memory[0x10000];

void fetch(Z80State* s) { s->data = s->mem[s->pc++]; }
void read_mem(Z80State* s) { s->data = s->mem[s->addr & 0xFFFF]; }
void write_mem(Z80State* s) { s->mem[s->addr & 0xFFFF] = s->data; }
void read_port(Z80State* s) { s->data = static_cast<uint8_t>(s->addr >> 8); }
void write_port(Z80State*) {}

// Hand-assembled program at 0x0000, looping forever.
std::vector<uint8_t> program() {
    std::vector<uint8_t> p = {
        0x31, 0x00, 0xF0,        // LD SP,0xF000
        0xDD, 0x21, 0x00, 0x80,  // LD IX,0x8000
        0xFD, 0x21, 0x00, 0x90,  // LD IY,0x9000
        0x21, 0x00, 0x80,        // LD HL,0x8000
    };
    const uint16_t loop = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {0x06, 0x10});  // loop: LD B,16
    const uint16_t inner = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {
        0xDD, 0x7E, 0x01,        // inner: LD A,(IX+1)
        0xFD, 0x86, 0x02,        // ADD A,(IY+2)
        0xDD, 0x77, 0x03,        // LD (IX+3),A
        0x34,                    // INC (HL)
        0xA9,                    // XOR C
        0xDD, 0xCB, 0x04, 0x06,  // RLC (IX+4)
        0xCB, 0x3A,              // SRL D
        0xCB, 0x5E,              // BIT 3,(HL)
        0x8B,                    // ADC A,E
        0xFE, 0x55,              // CP 0x55
        0x20, 0x01,              // JR NZ,+1
        0x00,                    // NOP
        0xC5,                    // PUSH BC
        0xD1,                    // POP DE
        0xCD, 0x00, 0x00,        // CALL sub (patched)
    });
    const size_t call_operand = p.size() - 2;
    p.push_back(0x10);  // DJNZ inner
    p.push_back(static_cast<uint8_t>(inner - (p.size() + 1)));
    p.insert(p.end(), {
        0x21, 0x00, 0x80,        // LD HL,0x8000
        0x11, 0x00, 0xA0,        // LD DE,0xA000
        0x01, 0x40, 0x00,        // LD BC,64
        0xED, 0xB0,              // LDIR
        0x21, 0x00, 0x80,        // LD HL,0x8000
        0xC3, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8),  // JP loop
    });
    const uint16_t sub = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {0x23, 0xC9});  // sub: INC HL; RET
    p[call_operand] = static_cast<uint8_t>(sub);
    p[call_operand + 1] = static_cast<uint8_t>(sub >> 8);
    return p;
}

// The 8080 subset: the same kinds of work without prefixes, and no branch that
// depends on P/V, so both modes run the same instructions.
std::vector<uint8_t> program_8080() {
    std::vector<uint8_t> p = {
        0x31, 0x00, 0xF0,  // LXI SP,F000
        0x21, 0x00, 0x80,  // LXI H,8000
    };
    const uint16_t loop = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {0x06, 0x10});  // loop: MVI B,16
    const uint16_t inner = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {
        0x7E,              // inner: MOV A,M
        0x80,              // ADD B
        0x77,              // MOV M,A
        0x34,              // INR M
        0xA9,              // XRA C
        0x23,              // INX H
        0x5F,              // MOV E,A
        0xE6, 0x0F,        // ANI 0F
        0x8B,              // ADC E
        0xFE, 0x55,        // CPI 55
        0xC2, 0x00, 0x00,  // JNZ next (patched)
        0x00,              // NOP
    });
    const size_t jnz_operand = p.size() - 3;
    p[jnz_operand] = static_cast<uint8_t>(p.size());
    p[jnz_operand + 1] = static_cast<uint8_t>(p.size() >> 8);
    p.insert(p.end(), {
        0xC5,              // next: PUSH B
        0xD1,              // POP D
        0xCD, 0x00, 0x00,  // CALL sub (patched)
    });
    const size_t call_operand = p.size() - 2;
    p.insert(p.end(), {0x05, 0xC2, static_cast<uint8_t>(inner), static_cast<uint8_t>(inner >> 8)});  // DCR B; JNZ inner
    p.insert(p.end(), {
        0x22, 0x00, 0x81,  // SHLD 8100
        0x19,              // DAD D
        0xEB,              // XCHG
        0x21, 0x00, 0x80,  // LXI H,8000
        0xC3, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8),  // JMP loop
    });
    const uint16_t sub = static_cast<uint16_t>(p.size());
    p.insert(p.end(), {0x07, 0x1F, 0xC9});  // sub: RLC; RAR; RET
    p[call_operand] = static_cast<uint8_t>(sub);
    p[call_operand + 1] = static_cast<uint8_t>(sub >> 8);
    return p;
}

void run_mix(benchmark::State& state, const std::vector<uint8_t>& code, bool i8080) {
    for (size_t k = 0; k < code.size(); ++k) memory[k] = code[k];
    Z80State cpu{};
    z80_set_costs(&cpu, 1);
    cpu.fetch_byte = fetch;
    cpu.read_mem = read_mem;
    cpu.write_mem = write_mem;
    cpu.read_port = read_port;
    cpu.write_port = write_port;
    cpu.mem = memory;
    z80_connect(&cpu);
    z80_set_8080_mode(&cpu, i8080);

    constexpr int32_t slice = 1'000'000;
    int64_t tstates = 0;
    for (auto _ : state) {
        const int32_t start = cpu.ticks + slice;
        cpu.ticks = start;
        while (cpu.ticks >= 0) z80_run_instruction(&cpu);
        tstates += start - cpu.ticks;
    }
    benchmark::DoNotOptimize(cpu.a);
    state.counters["MTstates/s"] = benchmark::Counter(static_cast<double>(tstates) / 1e6, benchmark::Counter::kIsRate);
}

void BM_Z80Mix(benchmark::State& state) { run_mix(state, program(), false); }
void BM_8080SubsetZ80Mode(benchmark::State& state) { run_mix(state, program_8080(), false); }
void BM_8080SubsetI8080Mode(benchmark::State& state) { run_mix(state, program_8080(), true); }
BENCHMARK(BM_Z80Mix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_8080SubsetZ80Mode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_8080SubsetI8080Mode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
