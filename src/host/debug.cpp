// Run control of the debugger: breakpoints, single step, step over a call, run to an
// address, stop requests and the per-processor history ring.
#include "host/debug.h"

#include <cstring>
#include <memory>
#include <vector>

bool debug_active = false;
void (*debug_idle)() = nullptr;
void (*debug_frame_hook)() = nullptr;

namespace {

struct ProcessorState {
    uint8_t breakpoints[0x10000 / 8]; // one bit per 16-bit address
    bool any_breakpoint = false;
    DebugHistoryEntry ring[debug_history_length];
    int next = 0;      // slot the next instruction takes
    int count = 0;
    int pending = -1;  // entry whose registers after are still to come
    uint64_t instructions = 0;
};

struct DebugState {
    const DebugMachine* machine = nullptr;
    std::vector<std::unique_ptr<ProcessorState>> processors;
    DebugMode mode = DebugMode::running;
    int mode_processor = -1;
    uint32_t target = 0;
    bool stop_request = false;
    bool waiting = false;
    int stopped_processor = -1;
    bool attach_pending = false;
    bool attach_stop = false;
};
DebugState state;

bool valid(int p) { return state.machine && p >= 0 && p < int(state.processors.size()); }

void peek_code(int p, uint32_t address, uint8_t* code)
{
    const DebugProcessor& d = state.machine->processors[p];
    if (d.space < 0 || d.space >= state.machine->space_count) {
        std::memset(code, 0xFF, debug_code_bytes);
        return;
    }
    const DebugSpace& space = state.machine->spaces[d.space];
    for (int i = 0; i < debug_code_bytes; ++i) {
        const uint32_t a = (address + uint32_t(i)) & 0xFFFF;
        const int v = a < space.size ? space.peek(a) : -1;
        code[i] = uint8_t(v < 0 ? 0xFF : v);
    }
}

void record(int p, uint32_t pc)
{
    ProcessorState& s = *state.processors[p];
    const DebugProcessor& d = state.machine->processors[p];
    if (s.pending >= 0) {
        d.get_registers(s.ring[s.pending].registers);
        s.ring[s.pending].complete = true;
    }
    DebugHistoryEntry& e = s.ring[s.next];
    e.address = pc;
    e.complete = false;
    peek_code(p, pc, e.code);
    s.pending = s.next;
    s.next = s.next + 1 == debug_history_length ? 0 : s.next + 1;
    if (s.count < debug_history_length)
        ++s.count;
    ++s.instructions;
}

} // namespace

void debug_register_machine(const DebugMachine* machine)
{
    const bool attach = state.attach_pending, stop = state.attach_stop;
    debug_reset();
    state.machine = machine;
    for (int i = 0; i < machine->processor_count; ++i)
        state.processors.push_back(std::make_unique<ProcessorState>());
    if (attach)
        debug_attach(stop);
}

const DebugMachine* debug_machine() { return state.machine; }

void debug_reset()
{
    debug_active = false;
    state.machine = nullptr;
    state.processors.clear();
    state.mode = DebugMode::running;
    state.mode_processor = -1;
    state.stop_request = false;
    state.waiting = false;
    state.stopped_processor = -1;
    state.attach_pending = false;
}

bool debug_boundary(int p)
{
    if (!valid(p))
        return false;
    const DebugProcessor& d = state.machine->processors[p];
    const uint32_t pc = d.pc() & 0xFFFF;
    record(p, pc);
    const ProcessorState& s = *state.processors[p];
    bool stop = state.stop_request || (s.any_breakpoint && (s.breakpoints[pc >> 3] >> (pc & 7) & 1));
    if (p == state.mode_processor) {
        switch (state.mode) {
        case DebugMode::step:
            stop = true;
            break;
        case DebugMode::step_over:
        case DebugMode::run_to:
            stop = stop || pc == state.target;
            break;
        default:
            break;
        }
    }
    if (stop) {
        state.stop_request = false;
        state.stopped_processor = p;
        state.mode = DebugMode::stopped;
        state.mode_processor = -1;
    }
    return stop;
}

void debug_wait()
{
    if (!debug_idle || !debug_active) {
        state.mode = DebugMode::running;
        return;
    }
    state.mode = DebugMode::stopped;
    state.waiting = true;
    host_stopped_sound(true);
    while (state.mode == DebugMode::stopped && debug_active && !state.stop_request)
        debug_idle();
    host_stopped_sound(false);
    state.waiting = false;
    // The user may have moved PC while stopped: the instruction that now runs is the one
    // at the new PC.
    for (int p = 0; p < int(state.processors.size()); ++p) {
        ProcessorState& s = *state.processors[p];
        if (s.pending < 0)
            continue;
        const uint32_t pc = state.machine->processors[p].pc() & 0xFFFF;
        if (s.ring[s.pending].address != pc) {
            s.ring[s.pending].address = pc;
            peek_code(p, pc, s.ring[s.pending].code);
        }
    }
}

int debug_stopped_processor() { return state.stopped_processor; }

void debug_attach(bool stop_now)
{
    if (!state.machine) {
        state.attach_pending = true;
        state.attach_stop = stop_now;
        return;
    }
    debug_active = true;
    for (auto& s : state.processors)
        s->instructions = 0;
    state.mode = DebugMode::running;
    state.stop_request = stop_now;
}

void debug_detach()
{
    state.attach_pending = false;
    debug_active = false;
    state.mode = DebugMode::running;
    state.mode_processor = -1;
    state.stop_request = false;
    for (auto& s : state.processors)
        s->pending = -1;
}

DebugMode debug_mode() { return state.mode; }
bool debug_is_stopped() { return state.waiting; }

void debug_run()
{
    state.mode = DebugMode::running;
    state.mode_processor = -1;
}

void debug_stop()
{
    if (!state.waiting)
        state.stop_request = true;
}

void debug_step(int p)
{
    if (!valid(p))
        return;
    state.mode = DebugMode::step;
    state.mode_processor = p;
}

void debug_step_over(int p)
{
    if (!valid(p))
        return;
    const DebugProcessor& d = state.machine->processors[p];
    const uint32_t pc = d.pc() & 0xFFFF;
    uint8_t code[debug_code_bytes];
    peek_code(p, pc, code);
    const int length = d.call_length ? d.call_length(code) : 0;
    if (length <= 0) {
        debug_step(p);
        return;
    }
    state.mode = DebugMode::step_over;
    state.mode_processor = p;
    state.target = (pc + uint32_t(length)) & 0xFFFF;
}

void debug_run_to(int p, uint32_t address)
{
    if (!valid(p))
        return;
    state.mode = DebugMode::run_to;
    state.mode_processor = p;
    state.target = address & 0xFFFF;
}

void debug_set_breakpoint(int p, uint32_t address, bool on)
{
    if (!valid(p))
        return;
    ProcessorState& s = *state.processors[p];
    address &= 0xFFFF;
    const uint8_t bit = uint8_t(1u << (address & 7));
    if (on)
        s.breakpoints[address >> 3] |= bit;
    else
        s.breakpoints[address >> 3] &= uint8_t(~bit);
    s.any_breakpoint = false;
    for (uint8_t b : s.breakpoints)
        if (b) {
            s.any_breakpoint = true;
            break;
        }
}

bool debug_breakpoint(int p, uint32_t address)
{
    if (!valid(p))
        return false;
    address &= 0xFFFF;
    return state.processors[p]->breakpoints[address >> 3] >> (address & 7) & 1;
}

void debug_toggle_breakpoint(int p, uint32_t address)
{
    debug_set_breakpoint(p, address, !debug_breakpoint(p, address));
}

void debug_clear_breakpoints(int p)
{
    if (!valid(p))
        return;
    std::memset(state.processors[p]->breakpoints, 0, sizeof state.processors[p]->breakpoints);
    state.processors[p]->any_breakpoint = false;
}

int debug_disassemble(int p, uint32_t address, char* text, size_t size)
{
    if (!valid(p) || size == 0)
        return 0;
    uint8_t code[debug_code_bytes];
    peek_code(p, address & 0xFFFF, code);
    return state.machine->processors[p].disassemble(address & 0xFFFF, code, text, size);
}

uint64_t debug_instruction_count(int p) { return valid(p) ? state.processors[p]->instructions : 0; }

int debug_history_count(int p) { return valid(p) ? state.processors[p]->count : 0; }

const DebugHistoryEntry* debug_history_entry(int p, int index)
{
    if (!valid(p))
        return nullptr;
    const ProcessorState& s = *state.processors[p];
    if (index < 0 || index >= s.count)
        return nullptr;
    int slot = s.next - s.count + index;
    if (slot < 0)
        slot += debug_history_length;
    return &s.ring[slot];
}

void debug_clear_history(int p)
{
    if (!valid(p))
        return;
    state.processors[p]->count = 0;
    state.processors[p]->pending = -1;
}

bool debug_write_history(int p, FILE* file)
{
    if (!valid(p) || !file)
        return false;
    const DebugProcessor& d = state.machine->processors[p];
    for (int i = 0; i < debug_history_count(p); ++i) {
        const DebugHistoryEntry* e = debug_history_entry(p, i);
        char text[64];
        const int length = d.disassemble(e->address, e->code, text, sizeof text);
        std::fprintf(file, "%04X  ", e->address);
        for (int b = 0; b < debug_code_bytes; ++b) {
            if (b < length)
                std::fprintf(file, "%02X ", e->code[b]);
            else
                std::fputs("   ", file);
        }
        std::fprintf(file, " %-28s", text);
        if (e->complete) {
            for (int r = 0; r < d.register_count; ++r)
                std::fprintf(file, " %s=%0*X", d.registers[r].name, (d.registers[r].bits + 3) / 4,
                             e->registers[r]);
        }
        std::fputc('\n', file);
    }
    return std::fflush(file) == 0 && !std::ferror(file);
}

int64_t debug_find(int space, uint32_t from, const uint8_t* pattern, size_t length)
{
    if (!state.machine || space < 0 || space >= state.machine->space_count || length == 0)
        return -1;
    const DebugSpace& s = state.machine->spaces[space];
    if (length > s.size)
        return -1;
    for (uint32_t n = 0; n < s.size; ++n) {
        const uint32_t start = (from + n) % s.size;
        size_t i = 0;
        while (i < length && s.peek((start + uint32_t(i)) % s.size) == pattern[i])
            ++i;
        if (i == length)
            return start;
    }
    return -1;
}

bool debug_parse_pattern(const char* text, uint8_t* pattern, size_t capacity, size_t* length)
{
    *length = 0;
    while (*text == ' ')
        ++text;
    if (*text == '"') {
        for (++text; *text && *text != '"'; ++text) {
            if (*length == capacity)
                return false;
            pattern[(*length)++] = uint8_t(*text);
        }
        return *text == '"' && *length > 0;
    }
    int digits = 0;
    unsigned value = 0;
    for (; *text; ++text) {
        const char c = *text;
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (c == ' ' || c == ',') {
            if (digits == 1) {
                if (*length == capacity)
                    return false;
                pattern[(*length)++] = uint8_t(value);
                digits = 0;
                value = 0;
            }
            continue;
        }
        if (d < 0)
            return false;
        value = value << 4 | unsigned(d);
        if (++digits == 2) {
            if (*length == capacity)
                return false;
            pattern[(*length)++] = uint8_t(value);
            digits = 0;
            value = 0;
        }
    }
    if (digits == 1) {
        if (*length == capacity)
            return false;
        pattern[(*length)++] = uint8_t(value);
    }
    return *length > 0;
}
