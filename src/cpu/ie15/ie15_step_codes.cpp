// Numbering the core's steps (see ie15_step_codes.h). Only the first cycle of a two-byte
// instruction (0x10-0x30) leaves a step other than the decoder behind, and a skipped one
// (0x10-0x3F) leaves the skip step; the one-byte instructions are not run (some of them
// only report themselves on the console).
#include "cpu/ie15/ie15_step_codes.h"

#include "cpu/common/step_code_table.h"

namespace {

using StepTable = StepCodeTable<Ie15Routine>;

StepTable* build()
{
    auto* t = new StepTable; // lives for the run
    t->note(ie15_decode);
    static uint8_t memory[0x3000];
    for (int skip = 0; skip < 2; ++skip)
        for (int op = 0x10; op <= (skip ? 0x3F : 0x30); ++op) {
            Ie15Cpu s{};
            s.memory = memory;
            s.fetch_byte = ie15_fetch_flat;
            ie15_connect(&s);
            ie15_reset(&s);
            memory[0] = static_cast<uint8_t>(op);
            s.skip = static_cast<uint8_t>(skip);
            for (int n = 0; n < 4; ++n) {
                ie15_instruction_step(&s);
                t->note(s.step);
                if (s.step == ie15_decode)
                    break;
            }
        }
    return t;
}

const StepTable& table()
{
    static const StepTable* t = build();
    return *t;
}

} // namespace

uint32_t ie15_step_count() { return table().count(); }
uint32_t ie15_step_fingerprint() { return table().final_fingerprint(); }
bool ie15_step_code(Ie15Routine step, uint16_t* code) { return table().find(step, code); }
Ie15Routine ie15_step_from_code(uint16_t code) { return table().at(code); }
