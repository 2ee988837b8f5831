// PDP-11 core: a cycle-stepped interpreter of the K1801VM2 instruction set
// (basic PDP-11 set, EIS MUL/DIV/ASH/ASHC, XOR, SOB, MARK, SXT, MTPS/MFPS and
// HALT mode with the shadow registers PC' and PSW').
//
// An instruction is a chain of micro-steps. Before every step the driver calls
// `busOperation`, which is always one of the fourteen slots the machine fills
// (or a write-back routine that a read-modify slot selects). The step then
// computes addresses and results, charges its cost to `cycleBudget` and picks
// the next bus operation and step. The core never touches memory itself (unless
// the machine declares it plain, see plainMemory) and keeps no global state: one
// Pdp11Cpu per processor.
//
// How a machine wires it up:
//   Pdp11Cpu cpu{};
//   pdp11_set_delivered_costs(&cpu);     // costs in 1/256 cycle, haltBase 0160000
//   cpu.opFetch = my_fetch; ...          // all fourteen slots, see the contract below
//   cpu.memory = ram;                    // for the machine's own routines
//   cpu.plainMemory = ram;               // only a flat 64 KiB of RAM with no device
//   pdp11_reset(&cpu, start_pc, start_psw);   // the first call refetches at PC
//   each frame: cpu.cycleBudget += cpu.speedFactor * cycles_per_frame;
//               while (cpu.cycleBudget >= 0) { take interrupts; run_instruction(&cpu); }
//   interrupt (at a boundary): request_interrupt(&cpu, vector);
//   HALT request (at a boundary): enter_halt_mode(&cpu, 0170);
//   bus error (inside a bus operation): cpu->stepHandler = bus_error_trap;
//
// Bus-operation contract (PC = r[7]; addresses are 16-bit, the core masks them):
//   opFetch          PC += 2; ir = prefetch; prefetchAddress = PC; prefetch = word[PC]
//   opRefetch        prefetch = word[PC]; prefetchAddress = PC
//   opRead, opReadSource, opReadMoveSource, opReadByte, opReadByteSource,
//   opReadByteMoveSource
//                    if busAddress == prefetchAddress: dataIn = prefetch, then
//                      prefetchAddress = PC, prefetch = word[PC], charge costBusCycle;
//                    else word: dataIn = word[busAddress & 0xFFFE];
//                         byte: low byte of dataIn = byte[busAddress] (a device
//                         returns the high byte of its word register at an odd address)
//   opReadUser       as opRead, but a prefetch hit charges costPrefetchHit
//   opWrite          if busAddress == prefetchAddress: prefetchAddress -= 1;
//                    word[busAddress & 0xFFFE] = dataOut
//   opWriteUser      word store, no prefetch check
//   opWriteByte      byte[busAddress] = low byte of dataOut, no prefetch check
//   opReadModify     dataIn = word[busAddress]; busOperation = the machine's word
//                    write-back of dataIn (with opWrite's prefetch rule);
//                    stepHandler = continuation
//   opReadModifyByte dataIn = byte[busAddress]; busOperation = the machine's byte
//                    write-back of dataIn (no prefetch check); stepHandler = continuation
// A bus operation that finds nothing at the address may set
// stepHandler = bus_error_trap instead of completing: the trap to vector 4 runs.

#pragma once

#include <cstdint>

struct Pdp11Cpu;

// A micro-step: works on the processor in place, returns the new cycleBudget.
using Pdp11Step = int32_t (*)(Pdp11Cpu*);
// A bus operation: one bus cycle supplied by the machine.
using Pdp11BusOp = void (*)(Pdp11Cpu*);

// PSW bits, by their numbers: C V Z N T are bits 0-4, the priority bits 5-7, HALT mode bit 8.
inline constexpr uint32_t PDP11_C = 1u << 0;
inline constexpr uint32_t PDP11_V = 1u << 1;
inline constexpr uint32_t PDP11_Z = 1u << 2;
inline constexpr uint32_t PDP11_N = 1u << 3;
inline constexpr uint32_t PDP11_T = 1u << 4;
inline constexpr uint32_t PDP11_PRIORITY = 7u << 5;
inline constexpr uint32_t PDP11_HALT_MODE = 1u << 8;

struct Pdp11Cpu {
    uint32_t ir;               // instruction register (16 significant bits)
    uint32_t prefetch;         // word read from prefetchAddress (one-word queue)
    uint32_t r[8];             // R0..R7; r[6] is SP, r[7] is PC (16 significant bits)
    uint32_t psw;              // C V Z N T, priority 5-7, bit 8 = HALT mode
    uint32_t dataIn;           // filled by every read bus operation
    uint32_t dataOut;          // value stored by the next write bus operation
    uint32_t vector;           // trap vector in progress / scratch operand
    uint32_t busAddress;       // address of the next bus operation
    uint32_t prefetchAddress;  // address `prefetch` was read from
    uint32_t savedPc;          // PC'
    uint32_t savedPsw;         // PSW'
    uint32_t indexBase;        // register value latched for index modes 6 and 7
    int32_t cycleBudget;       // time left, 1/256 cycle; steps subtract, machine adds
    int32_t costPrefetchHit;   // opReadUser served from the prefetch word
    int32_t speedFactor;       // 256 = nominal speed
    int32_t costBusCycle;      // one extra bus cycle
    int32_t costVectorStep;    // end after read-modify-write; part of the trap steps
    int32_t costFetch;         // decode, and the fetch after a change of flow
    int32_t costStep;          // ordinary micro-step
    int32_t costLongStep;      // long micro-step
    uint32_t haltBase;         // base of the HALT-mode vector area
    uint8_t* memory;           // the machine's memory block (machine's own use)
    // 64 KiB of plain memory behind every address, or nullptr (the default). A machine
    // sets it only when each slot would do nothing but read and write these bytes (no
    // device, no mapping, no bus error). run_instruction then does the commonest bus
    // cycles on it directly, by the slots' rules and at the same cost: the fetch, the
    // refetch after a taken branch or SOB, and the word store that ends MOV, CLR or SXT
    // to (Rn), (Rn)+ or -(Rn). The slots must still be installed for everything else.
    uint8_t* plainMemory;
    Pdp11Step stepHandler;     // step to run after the next bus operation
    Pdp11Step continuation;    // step to resume after a pointer/index sub-sequence
    Pdp11BusOp busOperation;   // bus operation to perform next (one of the slots)

    // The fourteen bus-operation slots, in the order machines fill them.
    Pdp11BusOp opFetch;
    Pdp11BusOp opRefetch;
    Pdp11BusOp opRead;
    Pdp11BusOp opReadSource;
    Pdp11BusOp opReadMoveSource;
    Pdp11BusOp opWrite;
    Pdp11BusOp opReadModify;
    Pdp11BusOp opReadByte;
    Pdp11BusOp opReadByteSource;
    Pdp11BusOp opReadByteMoveSource;
    Pdp11BusOp opWriteByte;
    Pdp11BusOp opReadModifyByte;
    Pdp11BusOp opReadUser;
    Pdp11BusOp opWriteUser;
};

// Delivered cost values (1/256 cycle units) and the HALT area base.
inline constexpr int32_t PDP11_COST_PREFETCH_HIT = -512;
inline constexpr int32_t PDP11_SPEED_NOMINAL = 256;
inline constexpr int32_t PDP11_COST_BUS_CYCLE = 1024;
inline constexpr int32_t PDP11_COST_VECTOR_STEP = 1536;
inline constexpr int32_t PDP11_COST_FETCH = 2048;
inline constexpr int32_t PDP11_COST_STEP = 3072;
inline constexpr int32_t PDP11_COST_LONG_STEP = 3584;
inline constexpr uint32_t PDP11_HALT_BASE = 0160000;

// HALT-mode entry offsets from haltBase.
inline constexpr uint32_t PDP11_HALT_OFFSET_HALT = 0170;      // HALT, machine HALT request
inline constexpr uint32_t PDP11_HALT_OFFSET_RESERVED = 010;   // opcodes 075000-076777

// Flag tables shared by all processors: N/Z of a byte (4 for 0, 8 for 0x80..0xFF),
// and V/C from a two-bit sign-change index (bit 0 operand top bit, bit 1 the bit above).
extern const uint8_t pdp11_byte_nz_flags[256];
extern const uint8_t pdp11_vc_flags[4];

// Driver: runs bus-operation/step pairs up to the next instruction boundary
// (busOperation == opFetch with PC == prefetchAddress). A stale prefetch (PC
// changed by the machine or a write into the prefetched word) is refetched.
// A bus-error loop (vector 4 or the stack where nothing answers) cannot hang
// the caller: after 64 steps the call returns mid-chain, and the next call
// continues it.
void run_instruction(Pdp11Cpu* cpu);

// Starts an interrupt through `vector` at an instruction boundary
// (push PSW, push PC, new PC and PSW from the vector).
void request_interrupt(Pdp11Cpu* cpu, uint32_t vector);

// Enters HALT mode at a boundary or from the decode step: PC' = PC, PSW' = PSW,
// PSW bit 8 set, new PC/PSW read from haltBase | offset. Nothing is pushed.
void enter_halt_mode(Pdp11Cpu* cpu, uint32_t offset);

// Step a bus operation installs as stepHandler when it finds nothing at the
// address: trap through vector 4.
int32_t bus_error_trap(Pdp11Cpu* cpu);

// The decode step (stepHandler after opFetch) and the fetch-complete step
// (after opRefetch: charges costFetch, selects opFetch and the decode step).
int32_t pdp11_decode_step(Pdp11Cpu* cpu);
int32_t pdp11_fetch_complete_step(Pdp11Cpu* cpu);

// Fills the cost fields, speedFactor and haltBase with the delivered values.
void pdp11_set_delivered_costs(Pdp11Cpu* cpu);

// Puts the processor at PC/PSW with cycleBudget 0; the next run_instruction
// only refetches the word at PC (charging costFetch) and stops at the
// boundary before the first instruction. The slots must already be installed.
// (A machine that moves PC at a boundary needs nothing: the next call
// refetches and then runs the instruction at the new PC.)
void pdp11_reset(Pdp11Cpu* cpu, uint32_t pc, uint32_t psw);

// Prefixed aliases of the driver operations.
inline void pdp11_run_instruction(Pdp11Cpu* cpu) { run_instruction(cpu); }
inline void pdp11_request_interrupt(Pdp11Cpu* cpu, uint32_t vector) { request_interrupt(cpu, vector); }
inline void pdp11_enter_halt_mode(Pdp11Cpu* cpu, uint32_t offset) { enter_halt_mode(cpu, offset); }
