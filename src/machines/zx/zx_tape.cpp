// The tape player: blocks become pulses, pulses become the EAR bit of port 0xFE, read
// by whatever loader the running program has. The tape runs on machine time, so a loader
// sees every edge at the T-state the file gives, however fast the host runs the frames.
#include <chrono>
#include <cstdio>

#include "host/host.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

ZxTapeDeck zx_tape = [] {
    ZxTapeDeck d{};
    d.frame_base = -zx_frame_tstates;
    return d;
}();

namespace {

uint32_t word_at(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

void record_edge(int64_t at)
{
    ZxTapeDeck& d = zx_tape;
    if (d.edge_count >= zx_tape_edge_capacity)
        return;
    int64_t t = at - d.frame_base;
    t = t < 0 ? 0 : t > zx_frame_tstates ? zx_frame_tstates : t;
    d.edges[d.edge_count++] = static_cast<int32_t>(t);
}

// A pulse: the level flips at its start and holds for `length` T-states.
void pulse(int64_t at, uint32_t length)
{
    zx_tape.level ^= 1;
    record_edge(at);
    zx_tape.segment_end = at + length;
}

void finish_block()
{
    ++zx_tape.block;
    zx_tape.stage = ZxTapeStage::block;
}

void stop_playing(int64_t at)
{
    ZxTapeDeck& d = zx_tape;
    d.segment_left = d.segment_end > at ? d.segment_end - at : 0;
    d.playing = false;
    d.by_hand = false;
}

// Starts the next part of the signal at `at`. False when the tape stops there (its end,
// or a block that says to stop it).
bool next_segment(int64_t at)
{
    ZxTapeDeck& d = zx_tape;
    for (;;) {
        if (d.stage == ZxTapeStage::end)
            return false;
        if (d.stage == ZxTapeStage::block) {
            if (d.block >= d.blocks.size()) {
                d.stage = ZxTapeStage::end;
                std::printf("Tape end\n");
                host_notifyf("Tape end\n");
                stop_playing(at);
                return false;
            }
            const ZxTapeBlock& b = d.blocks[d.block];
            std::printf("Tape block %zu/%zu: %s\n", d.block + 1, d.blocks.size(),
                        zx_tape_block_description(d, d.block).c_str());
            host_notifyf("Tape block %zu/%zu: %s\n", d.block + 1, d.blocks.size(),
                        zx_tape_block_description(d, d.block).c_str());
            d.count = 0;
            d.byte = 0;
            switch (b.id) {
            case 0x10:
            case 0x11:
            case 0x12:
                d.stage = ZxTapeStage::pilot;
                d.count = b.pilot_count;
                break;
            case 0x13:
                d.stage = ZxTapeStage::pulses;
                break;
            case 0x14:
                d.stage = ZxTapeStage::data;
                break;
            case 0x20:
                if (b.pause_ms > 0) {
                    d.stage = ZxTapeStage::pause_edge;
                    break;
                }
                [[fallthrough]];
            case 0x2A:
                finish_block();
                std::printf("Tape stopped (the tape says so)\n");
                stop_playing(at);
                return false;
            default: // descriptions, groups and blocks this player does not run
                finish_block();
                continue;
            }
            continue;
        }
        const ZxTapeBlock& b = d.blocks[d.block];
        switch (d.stage) {
        case ZxTapeStage::pilot:
            if (d.count > 0 && b.pilot_pulse > 0) {
                --d.count;
                pulse(at, b.pilot_pulse);
                return true;
            }
            if (b.id == 0x12)
                finish_block();
            else
                d.stage = ZxTapeStage::sync1;
            continue;
        case ZxTapeStage::sync1:
            d.stage = ZxTapeStage::sync2;
            if (b.sync1 > 0) {
                pulse(at, b.sync1);
                return true;
            }
            continue;
        case ZxTapeStage::sync2:
            d.stage = ZxTapeStage::data;
            if (b.sync2 > 0) {
                pulse(at, b.sync2);
                return true;
            }
            continue;
        case ZxTapeStage::data: {
            if (d.byte >= b.data_length) {
                if (b.pause_ms > 0)
                    d.stage = ZxTapeStage::pause_edge;
                else
                    finish_block();
                continue;
            }
            // Two pulses a bit, most significant bit first; the last byte may use fewer bits.
            const uint32_t bits = d.byte + 1 == b.data_length ? b.last_bits : 8;
            const uint32_t bit = (d.image[b.data + d.byte] >> (7 - d.count / 2)) & 1;
            const uint16_t length = bit ? b.one : b.zero;
            if (++d.count == 2 * bits) {
                d.count = 0;
                ++d.byte;
            }
            if (length > 0) {
                pulse(at, length);
                return true;
            }
            continue;
        }
        case ZxTapeStage::pulses:
            if (d.count < b.data_length) {
                const uint32_t length = word_at(d.image, b.data + 2 * d.count);
                ++d.count;
                if (length > 0) {
                    pulse(at, length);
                    return true;
                }
                continue;
            }
            finish_block();
            continue;
        case ZxTapeStage::pause_edge: {
            // The edge that ends the last pulse, one millisecond of that level, then low
            // for the rest of the pause.
            const int64_t pause = int64_t(b.pause_ms) * zx_tape_tstates_per_ms;
            d.stage = ZxTapeStage::pause_low;
            zx_tape.level ^= 1;
            record_edge(at);
            d.segment_end = at + (pause < zx_tape_tstates_per_ms ? pause : zx_tape_tstates_per_ms);
            return true;
        }
        case ZxTapeStage::pause_low: {
            const int64_t rest = int64_t(b.pause_ms) * zx_tape_tstates_per_ms - zx_tape_tstates_per_ms;
            finish_block();
            if (rest <= 0)
                continue;
            if (d.level) {
                d.level = 0;
                record_edge(at);
            }
            d.segment_end = at + rest;
            return true;
        }
        default:
            finish_block();
            continue;
        }
    }
}

void start_playing(int64_t now, bool by_hand)
{
    ZxTapeDeck& d = zx_tape;
    if (!d.inserted || d.playing || d.stage == ZxTapeStage::end)
        return;
    d.playing = true;
    d.by_hand = by_hand;
    d.held = false;
    d.last_poll = now;
    d.segment_end = now + d.segment_left;
    d.segment_left = 0;
    std::printf(by_hand ? "Tape playing\n" : "Tape playing (a loader is reading it)\n");
}

void rewind()
{
    ZxTapeDeck& d = zx_tape;
    d.playing = false;
    d.by_hand = false;
    d.held = false;
    d.block = 0;
    d.stage = ZxTapeStage::block;
    d.count = 0;
    d.byte = 0;
    d.segment_left = 0;
    d.level = 0;
    d.poll_run = 0;
}

} // namespace

int64_t zx_tape_now() { return zx_tape.frame_base + zx_frame_tstates - (zx.cpu.ticks >> 12); }

void zx_tape_advance(int64_t now)
{
    ZxTapeDeck& d = zx_tape;
    while (d.playing && d.segment_end <= now)
        if (!next_segment(d.segment_end))
            break;
}

void zx_tape_read_port(Z80State* s)
{
    zx_read_port(s);
    if ((s->addr & 0xFF) != 0xFE)
        return;
    ZxTapeDeck& d = zx_tape;
    const int64_t now = zx_tape_now();
    // A loader polls the port in a tight loop; a keyboard scan reads a few half-rows.
    if (now - d.last_read <= zx_tape_poll_gap) {
        if (d.poll_run < zx_tape_poll_run)
            ++d.poll_run;
    } else {
        d.poll_run = 1; // this read begins a new run
    }
    d.last_read = now;
    if (d.poll_run >= zx_tape_poll_run) {
        d.last_poll = now;
        if (!d.playing && !d.held)
            start_playing(now, false);
    }
    if (d.playing)
        zx_tape_advance(now);
    if (!d.level)
        s->data &= static_cast<uint8_t>(~0x40);
}

bool zx_tape_insert(const char* name)
{
    std::vector<uint8_t> image;
    std::string why;
    if (!zx_read_whole_file(name, &image, &why)) {
        std::printf("Can't open tape %s: %s\n", name, why.c_str());
        host_notifyf("Can't open tape %s: %s\n", name, why.c_str());
        return false;
    }
    std::vector<ZxTapeBlock> blocks;
    const bool tzx = zx_has_tzx_signature(image) || zx_file_kind(name) == ZxFileKind::tzx;
    if (!(tzx ? zx_parse_tzx(image, &blocks, name) : zx_parse_tap(image, &blocks, name))) {
        std::printf("Tape %s not inserted\n", name);
        host_notifyf("Tape %s not inserted\n", name);
        return false;
    }
    ZxTapeDeck& d = zx_tape;
    d.name = name;
    d.image = std::move(image);
    d.blocks = std::move(blocks);
    d.inserted = true;
    rewind();
    zx.cpu.read_port = zx_tape_read_port;
    std::printf("Tape %s inserted: %zu blocks (%s)\n", name, d.blocks.size(), tzx ? "TZX" : "TAP");
    host_notifyf("Tape %s inserted: %zu blocks (%s)\n", name, d.blocks.size(), tzx ? "TZX" : "TAP");
    return true;
}

void zx_tape_eject()
{
    ZxTapeDeck& d = zx_tape;
    rewind();
    d.inserted = false;
    d.image.clear();
    d.blocks.clear();
    d.stage = ZxTapeStage::end;
    if (zx.cpu.read_port == zx_tape_read_port)
        zx.cpu.read_port = zx_read_port;
}

void zx_tape_reinsert()
{
    if (zx_tape.name.empty()) {
        std::printf("No tape to insert again\n");
        return;
    }
    const std::string name = zx_tape.name; // the insert replaces the deck's copy
    if (!zx_tape_insert(name.c_str()))
        return;
}

void zx_tape_play_stop()
{
    ZxTapeDeck& d = zx_tape;
    const int64_t now = zx_tape_now();
    if (!d.inserted) {
        std::printf("No tape\n");
    } else if (d.playing) {
        zx_tape_advance(now);
        stop_playing(now);
        d.held = true;
        std::printf("Tape stopped\n");
    } else if (d.stage == ZxTapeStage::end) {
        std::printf("Tape at its end (Left Windows + T inserts it again)\n");
    } else {
        start_playing(now, true);
    }
}

void zx_tape_begin_frame() { zx_tape.frame_base += zx_frame_tstates; }

namespace {

// The tape's edges of this frame as a quiet square wave mixed into the beeper's samples,
// box-filtered the same way. The beeper sits at full level, so the tape swings from it
// towards the middle: 0 while the EAR level is low, 2 x zx_tape_volume while it is high.
void mix_tape_sound()
{
    ZxTapeDeck& d = zx_tape;
    const uint64_t phase = sample_phase;
    const uint64_t per_frame = samples_per_frame_x256;
    uint32_t samples = static_cast<uint32_t>((phase + per_frame) >> 8);
    if (samples > sample_buffer_pairs)
        samples = sample_buffer_pairs;
    int64_t level = d.frame_start_level ? 2 * zx_tape_volume : 0;
    uint64_t position = 0;
    int next = 0;
    for (uint32_t i = 0; i < samples; ++i) {
        const uint64_t right = 256ull * (i + 1);
        int64_t sum = 0;
        while (next < d.edge_count) {
            const uint64_t at = phase + static_cast<uint64_t>(d.edges[next]) * per_frame / zx_frame_tstates;
            if (at >= right)
                break;
            if (at > position) {
                sum += static_cast<int64_t>(at - position) * level;
                position = at;
            }
            level = 2 * zx_tape_volume - level;
            ++next;
        }
        sum += static_cast<int64_t>(right - position) * level;
        position = right;
        const int32_t beeper = SampleBuffer[i].left;
        const int32_t tape = static_cast<int32_t>(sum >> 8);
        SampleBuffer[i].left = SampleBuffer[i].right = static_cast<int16_t>(beeper >= 0 ? beeper - tape : beeper + tape);
    }
}

} // namespace

void zx_tape_end_frame()
{
    ZxTapeDeck& d = zx_tape;
    if (!d.inserted) {
        d.fast = false;
        return;
    }
    const int64_t frame_end = d.frame_base + zx_frame_tstates;
    const bool was_playing = d.playing;
    zx_tape_advance(frame_end);
    // No motor control on the 48K: when the loader has gone for a second, so has the tape.
    if (d.playing && !d.by_hand && frame_end - d.last_poll > zx_tape_idle_stop) {
        stop_playing(frame_end);
        std::printf("Tape paused (no loader is reading it)\n");
    }
    if ((was_playing || d.edge_count > 0) && !d.fast)
        mix_tape_sound();
    d.edge_count = 0;
    d.frame_start_level = d.level;

    const bool fast = d.playing && host_fast_forward_allowed();
    if (fast != d.fast) {
        d.fast = fast;
        if (fast)
            audio_mute();
        else
            audio_unmute();
    }
}

bool zx_tape_wants_fast() { return zx_tape.fast; }

namespace {

void one_frame()
{
    zx_tape_begin_frame();
    zx_emulate_frame();
    zx_tape_end_frame();
}

// Frames that are not painted still decide the border colour in force.
void drop_border_events()
{
    if (zx.border_event_count > 0)
        zx.border_colour = zx.zx_border_events[zx.border_event_count - 1].colour;
    zx.border_event_count = 0;
}

} // namespace

void zx_emulate_frames()
{
    one_frame();
    if (!zx_tape.fast)
        return;
    // Fast loading: as many frames as fit in a few display frames' time, only the last
    // one painted; the host shows it and handles its events in between.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(60);
    while (zx_tape.fast && Clock::now() < until) {
        drop_border_events();
        one_frame();
    }
}
