// The ZX Spectrum's save state: processor, the 48 KB of RAM, the ULA's latches and the
// frame's pending border and beeper events, the palette chosen, and the tape in the player
// with its position. The ROM is the file's; the picture is painted afresh after a load.
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/session_table.h"
#include "machines/z80_machine/z80_state_section.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

constexpr uint32_t tag_beeper = state_tag("ZXBE");
constexpr uint32_t tag_border = state_tag("ZXBD");
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

const StateField ula_fields[] = {
    STATE_FIELDS(UlaSection, zx, last_fe, border_colour, flash_phase, flash_countdown, palette_index, beeper_level,
                 beeper_partial_sum, half_rows),
    STATE_FIELD(UlaSection, port_table, zx.zx_port_table),
};

// The deck's block number and stage, stored wider than the deck keeps them.
struct {
    uint8_t stage;
    uint64_t block;
} staged;

const StateField tape_fields[] = {
    STATE_FIELDS(TapeSection, staged, stage, block),
    STATE_FIELDS(TapeSection, zx_tape, inserted, playing, by_hand, held, level, frame_start_level, fast),
    STATE_FIELD(TapeSection, count, zx_tape.edge),         // edges taken in the current block
    STATE_FIELD(TapeSection, byte, zx_tape.pending_flags), // libspectrum's flags of the edge due
    STATE_FIELDS(TapeSection, zx_tape, segment_end, segment_left, frame_base, last_read, last_poll, poll_run,
                 edge_count),
};

// The processor (the first) is put back last, after the port slot it may stand at is chosen.
const StateTableEntry sections[] = {
    z80_state_section(zx.cpu),
    {state_tag("ZXRM"), zx.memory + 0x4000, 0xC000},
    {state_tag("ZXUL"), nullptr, sizeof(UlaSection), ula_fields, std::size(ula_fields)},
};
const StateTableEntry tape_section = {state_tag("TAPE"), nullptr, sizeof(TapeSection), tape_fields,
                                       std::size(tape_fields)};

void save(StateWriter* w)
{
    if (!state_put_sections(w, sections))
        return;
    state_put(w, tag_beeper, zx.zx_beeper_edges, size_t(zx.beeper_edge_count) * sizeof(int32_t));
    state_put(w, tag_border, zx.zx_border_events, size_t(zx.border_event_count) * sizeof(ZxBorderEvent));

    const ZxTapeDeck& d = zx_tape;
    staged.stage = uint8_t(d.stage);
    staged.block = d.block;
    state_put_sections(w, {&tape_section, 1});
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
    constexpr const char* missing = "a ZX section is missing or of the wrong size";
    if (!state_check_sections(r, {&tape_section, 1}, missing, "", why) ||
        !state_check_sections(r, sections, missing, "damaged ZX processor section", why))
        return false;
    const uint8_t* ula = state_get_exact(r, sections[2].tag, sizeof(UlaSection));
    const uint8_t* tape = state_get_exact(r, tape_section.tag, sizeof(TapeSection));
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
        if (b.data_length > image)
            return fail(why, "damaged ZX tape blocks");
    }
    return true;
}

void load(const StateReader* r)
{
    state_get_sections(r, std::span(sections).subspan(1));
    zx.zx_palette = zx_palettes[zx.palette_index];
    size_t size = 0;
    const uint8_t* p = state_get(r, tag_beeper, &size);
    zx.beeper_edge_count = int(size / sizeof(int32_t));
    if (size)
        std::memcpy(zx.zx_beeper_edges, p, size);
    p = state_get(r, tag_border, &size);
    zx.border_event_count = int(size / sizeof(ZxBorderEvent));
    if (size)
        std::memcpy(zx.zx_border_events, p, size);

    state_get_sections(r, {&tape_section, 1});
    ZxTapeDeck& d = zx_tape;
    d.stage = ZxTapeStage(staged.stage);
    d.block = size_t(staged.block);
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

    // The image is read again through libspectrum and the player finds its place in it.
    if (!zx_tape_restore_position())
        std::printf("The saved tape can't be read again: ejected\n");
    zx.cpu.read_port = d.inserted ? zx_tape_read_port : zx_read_port;
    state_get_sections(r, std::span(sections).first(1));
    zx_invalidate_picture();
}

const MachineStateOps ops = {"zx", save, check, load};

} // namespace

void zx_register_state() { session_register_machine(&ops); }
