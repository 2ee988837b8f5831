// The ZX Spectrum's save state: processor, the 48 KB of RAM, the ULA's latches and the
// frame's pending border and beeper events, the palette chosen, and the tape in the player
// with its position. The ROM is the file's; the picture is painted afresh after a load.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/host.h"
#include "host/session.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

constexpr uint32_t tag_cpu = state_tag("Z80 ");
constexpr uint32_t tag_ram = state_tag("ZXRM");
constexpr uint32_t tag_ula = state_tag("ZXUL");
constexpr uint32_t tag_beeper = state_tag("ZXBE");
constexpr uint32_t tag_border = state_tag("ZXBD");
constexpr uint32_t tag_tape = state_tag("TAPE");
constexpr uint32_t tag_tape_name = state_tag("TAPN");
constexpr uint32_t tag_tape_image = state_tag("TAPI");
constexpr uint32_t tag_tape_blocks = state_tag("TAPB");
constexpr uint32_t tag_tape_edges = state_tag("TAPS");

struct UlaSection {
    uint8_t last_fe, border_colour, flash_phase, flash_countdown;
    uint8_t palette_index, reserved[3];
    int32_t beeper_level;
    int64_t beeper_partial_sum;
    uint8_t half_rows[8];
    uint8_t port_table[256];
};

struct TapeSection {
    uint8_t inserted, playing, by_hand, held, stage, level, frame_start_level, fast;
    uint64_t block;
    uint32_t count, byte;
    int64_t segment_end, segment_left, frame_base, last_read, last_poll;
    int32_t poll_run, edge_count;
};

void save(StateWriter* w)
{
    Z80SavedState cpu;
    const char* why = nullptr;
    if (!z80_state_save(&zx.cpu, &cpu, &why)) {
        state_fail(w, why);
        return;
    }
    state_put(w, tag_cpu, &cpu, sizeof cpu);
    state_put(w, tag_ram, zx.memory + 0x4000, 0xC000);
    UlaSection u{};
    u.last_fe = zx.last_fe;
    u.border_colour = zx.border_colour;
    u.flash_phase = zx.flash_phase;
    u.flash_countdown = zx.flash_countdown;
    u.palette_index = zx.palette_index;
    u.beeper_level = zx.beeper_level;
    u.beeper_partial_sum = zx.beeper_partial_sum;
    std::memcpy(u.half_rows, zx.half_rows, sizeof u.half_rows);
    std::memcpy(u.port_table, zx.zx_port_table, sizeof u.port_table);
    state_put(w, tag_ula, &u, sizeof u);
    state_put(w, tag_beeper, zx.zx_beeper_edges, size_t(zx.beeper_edge_count) * sizeof(int32_t));
    state_put(w, tag_border, zx.zx_border_events, size_t(zx.border_event_count) * sizeof(ZxBorderEvent));

    const ZxTapeDeck& d = zx_tape;
    TapeSection t{};
    t.inserted = d.inserted;
    t.playing = d.playing;
    t.by_hand = d.by_hand;
    t.held = d.held;
    t.stage = uint8_t(d.stage);
    t.level = d.level;
    t.frame_start_level = d.frame_start_level;
    t.fast = d.fast;
    t.block = d.block;
    t.count = d.count;
    t.byte = d.byte;
    t.segment_end = d.segment_end;
    t.segment_left = d.segment_left;
    t.frame_base = d.frame_base;
    t.last_read = d.last_read;
    t.last_poll = d.last_poll;
    t.poll_run = d.poll_run;
    t.edge_count = d.edge_count;
    state_put(w, tag_tape, &t, sizeof t);
    state_put(w, tag_tape_name, d.name.data(), d.name.size());
    state_put(w, tag_tape_image, d.image.data(), d.image.size());
    state_put(w, tag_tape_blocks, d.blocks.data(), d.blocks.size() * sizeof(ZxTapeBlock));
    state_put(w, tag_tape_edges, d.edges, size_t(d.edge_count) * sizeof(int32_t));
}

bool fail(std::string* why, const char* text)
{
    *why = text;
    return false;
}

bool check(const StateReader* r, std::string* why)
{
    const uint8_t* cpu = state_get_exact(r, tag_cpu, sizeof(Z80SavedState));
    const uint8_t* ula = state_get_exact(r, tag_ula, sizeof(UlaSection));
    const uint8_t* tape = state_get_exact(r, tag_tape, sizeof(TapeSection));
    if (!cpu || !ula || !tape || !state_get_exact(r, tag_ram, 0xC000))
        return fail(why, "a ZX section is missing or of the wrong size");
    Z80SavedState z;
    std::memcpy(&z, cpu, sizeof z);
    if (!z80_state_valid(z))
        return fail(why, "damaged ZX processor section");
    UlaSection u;
    std::memcpy(&u, ula, sizeof u);
    if (u.palette_index > 2 || u.border_colour > 7 || u.flash_countdown == 0 || u.flash_countdown > zx_flash_frames)
        return fail(why, "damaged ZX ULA section");
    size_t beeper = 0, border = 0;
    state_get(r, tag_beeper, &beeper);
    state_get(r, tag_border, &border);
    if (beeper % sizeof(int32_t) || beeper / sizeof(int32_t) > size_t(zx_event_capacity) ||
        border % sizeof(ZxBorderEvent) || border / sizeof(ZxBorderEvent) > size_t(zx_event_capacity - 1))
        return fail(why, "damaged ZX event lists");
    const uint8_t* events = state_get(r, tag_border, &border);
    for (size_t i = 0; i < border / sizeof(ZxBorderEvent); ++i) {
        ZxBorderEvent e;
        std::memcpy(&e, events + i * sizeof e, sizeof e);
        if (e.colour > 7)
            return fail(why, "damaged ZX border events");
    }

    TapeSection t;
    std::memcpy(&t, tape, sizeof t);
    size_t image = 0, blocks = 0, edges = 0, name = 0;
    state_get(r, tag_tape_image, &image);
    const uint8_t* block_bytes = state_get(r, tag_tape_blocks, &blocks);
    state_get(r, tag_tape_edges, &edges);
    state_get(r, tag_tape_name, &name);
    if (image > zx_tape_file_limit || blocks % sizeof(ZxTapeBlock) || name > 4096 ||
        t.stage > uint8_t(ZxTapeStage::end) || t.block > blocks / sizeof(ZxTapeBlock) || t.edge_count < 0 ||
        t.edge_count > zx_tape_edge_capacity || edges != size_t(t.edge_count) * sizeof(int32_t) ||
        t.inserted > 1 || t.playing > 1 || t.by_hand > 1 || t.held > 1 || t.level > 1 || t.fast > 1)
        return fail(why, "damaged ZX tape section");
    for (size_t i = 0; i < blocks / sizeof(ZxTapeBlock); ++i) {
        ZxTapeBlock b;
        std::memcpy(&b, block_bytes + i * sizeof b, sizeof b);
        // The player reads pulse tables (block 0x13) as 16-bit words.
        const uint64_t data_bytes = b.id == 0x13 ? uint64_t(b.data_length) * 2 : b.data_length;
        if (uint64_t(b.body) + b.body_length > image || uint64_t(b.data) + data_bytes > image)
            return fail(why, "damaged ZX tape blocks");
    }
    return true;
}

void load(const StateReader* r)
{
    Z80SavedState z;
    std::memcpy(&z, state_get_exact(r, tag_cpu, sizeof z), sizeof z);
    std::memcpy(zx.memory + 0x4000, state_get_exact(r, tag_ram, 0xC000), 0xC000);
    UlaSection u;
    std::memcpy(&u, state_get_exact(r, tag_ula, sizeof u), sizeof u);
    zx.last_fe = u.last_fe;
    zx.border_colour = u.border_colour;
    zx.flash_phase = u.flash_phase;
    zx.flash_countdown = u.flash_countdown;
    zx.palette_index = u.palette_index;
    zx.zx_palette = zx_palettes[u.palette_index];
    zx.beeper_level = u.beeper_level;
    zx.beeper_partial_sum = u.beeper_partial_sum;
    std::memcpy(zx.half_rows, u.half_rows, sizeof u.half_rows);
    std::memcpy(zx.zx_port_table, u.port_table, sizeof u.port_table);
    size_t size = 0;
    const uint8_t* p = state_get(r, tag_beeper, &size);
    zx.beeper_edge_count = int(size / sizeof(int32_t));
    if (size)
        std::memcpy(zx.zx_beeper_edges, p, size);
    p = state_get(r, tag_border, &size);
    zx.border_event_count = int(size / sizeof(ZxBorderEvent));
    if (size)
        std::memcpy(zx.zx_border_events, p, size);

    TapeSection t;
    std::memcpy(&t, state_get_exact(r, tag_tape, sizeof t), sizeof t);
    ZxTapeDeck& d = zx_tape;
    d.inserted = t.inserted;
    d.playing = t.playing;
    d.by_hand = t.by_hand;
    d.held = t.held;
    d.stage = ZxTapeStage(t.stage);
    d.level = t.level;
    d.frame_start_level = t.frame_start_level;
    d.fast = t.fast;
    d.block = size_t(t.block);
    d.count = t.count;
    d.byte = t.byte;
    d.segment_end = t.segment_end;
    d.segment_left = t.segment_left;
    d.frame_base = t.frame_base;
    d.last_read = t.last_read;
    d.last_poll = t.last_poll;
    d.poll_run = t.poll_run;
    d.edge_count = t.edge_count;
    p = state_get(r, tag_tape_name, &size);
    d.name.assign(reinterpret_cast<const char*>(p ? p : reinterpret_cast<const uint8_t*>("")), size);
    p = state_get(r, tag_tape_image, &size);
    d.image.assign(p, p + size);
    p = state_get(r, tag_tape_blocks, &size);
    d.blocks.resize(size / sizeof(ZxTapeBlock));
    if (size)
        std::memcpy(d.blocks.data(), p, size);
    p = state_get(r, tag_tape_edges, &size);
    if (size)
        std::memcpy(d.edges, p, size);

    zx.cpu.read_port = d.inserted ? zx_tape_read_port : zx_read_port;
    z80_state_load(z, &zx.cpu);
    zx_invalidate_picture();
}

const MachineStateOps ops = {"zx", save, check, load};

} // namespace

void zx_register_state() { session_register_machine(&ops); }
