// RZX input recordings. A recording is a snapshot and then, frame by frame, how many
// opcodes the CPU fetched between two interrupts and every byte its IN instructions read.
// Playing one puts the snapshot in the machine and replays the frames: the interrupt
// comes when the frame's opcode count is reached (not after 71,680 T-states), and every
// port read returns the recorded byte, so the program takes exactly the recorded path.
// When the frames run out, the keyboard and the tape are the machine's inputs again.
//
// Opcode fetches are counted as the R register counts them: one for each opcode byte
// and prefix, one for each HALT repeat; the interrupt's own acknowledge is not counted.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libspectrum.h>
#include <string>
#include <vector>

#include "host/host.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

ZxRzx zx_rzx;

namespace {

// A recording written now and then while it grows, so that a session that ends without
// an orderly shutdown still leaves most of it.
constexpr uint32_t rzx_write_interval = 500;

// Runs one instruction and returns how many opcode fetches it made.
uint32_t counted_instruction(Z80State* cpu)
{
    // LD R,A (ED 4F) sets R itself: its two fetches are known.
    const bool loads_r = zx.memory[cpu->pc] == 0xED && zx.memory[static_cast<uint16_t>(cpu->pc + 1)] == 0x4F;
    const uint8_t r = cpu->r;
    z80_run_instruction(cpu);
    return loads_r ? 2u : static_cast<uint8_t>(cpu->r - r);
}

// The interrupt at a frame's start, acknowledged completely, so that the fetches counted
// after it are the handler's.
void frame_interrupt()
{
    if (!z80_iff1(&zx.cpu))
        return;
    z80_accept_interrupt(&zx.cpu);
    z80_run_instruction(&zx.cpu);
}

void playback_read_port(Z80State* s)
{
    libspectrum_byte value = 0xFF;
    if (libspectrum_rzx_playback(zx_rzx.rzx, &value) != LIBSPECTRUM_ERROR_NONE) {
        zx_rzx.out_of_step = true;
        zx_rzx.saved_read_port(s); // the machine answers until the frame ends
        return;
    }
    s->data = value;
}

void recording_read_port(Z80State* s)
{
    zx_rzx.saved_read_port(s);
    zx_rzx.in_bytes.push_back(s->data);
}

// Events of a frame that ran past 71,680 T-states are placed at its end.
void clamp_frame_events()
{
    for (int i = 0; i < zx.beeper_edge_count; ++i)
        if (zx.zx_beeper_edges[i] < 1)
            zx.zx_beeper_edges[i] = 1;
    for (int i = 0; i < zx.border_event_count; ++i)
        if (zx.zx_border_events[i].time < 1)
            zx.zx_border_events[i].time = 1;
}

void finish_playback(const char* why)
{
    std::printf("RZX %s: %s; the keyboard is in control\n", zx_rzx.name.c_str(), why);
    zx.cpu.read_port = zx_rzx.saved_read_port;
    libspectrum_rzx_free(zx_rzx.rzx);
    zx_rzx.rzx = nullptr;
    zx_rzx.playing = false;
    zx.cpu.ticks = 0;
}

bool put_snapshot(libspectrum_snap* snap, std::string* why)
{
    uint8_t border = 0;
    static Z80State cpu;
    static uint8_t memory[0x10000];
    cpu = zx.cpu;
    std::memcpy(memory, zx.memory, sizeof memory);
    if (!zx_snapshot_from_libspectrum(snap, &cpu, memory, &border, why))
        return false;
    zx.cpu = cpu;
    z80_connect(&zx.cpu);
    std::memcpy(zx.memory + 0x4000, memory + 0x4000, 0xC000);
    zx.border_colour = border;
    zx.last_fe = border;
    zx.beeper_edge_count = 0;
    zx.border_event_count = 0;
    return true;
}

bool write_recording()
{
    ZxRzx& x = zx_rzx;
    libspectrum_byte* buffer = nullptr;
    size_t length = 0;
    libspectrum_creator* creator = zx_libspectrum_creator();
    zx_libspectrum_clear();
    const libspectrum_error e =
        libspectrum_rzx_write(&buffer, &length, x.record, LIBSPECTRUM_ID_SNAPSHOT_SZX, creator, 1, nullptr);
    libspectrum_creator_free(creator);
    bool ok = e == LIBSPECTRUM_ERROR_NONE;
    if (ok) {
        FILE* file = open_data_file(x.record_name.c_str(), "wb");
        ok = file && std::fwrite(buffer, 1, length, file) == length;
        ok = file && std::fclose(file) == 0 && ok;
    }
    libspectrum_free(buffer);
    if (!ok)
        std::printf("Can't write RZX %s: %s\n", x.record_name.c_str(),
                    e != LIBSPECTRUM_ERROR_NONE ? zx_libspectrum_message("libspectrum can't write it").c_str()
                                                : "the file can't be written");
    return ok;
}

void write_recording_at_exit()
{
    if (!zx_rzx.recording)
        return;
    zx_rzx.recording = false;
    if (write_recording())
        std::printf("RZX %s written: %u frames\n", zx_rzx.record_name.c_str(), zx_rzx.frames);
}

} // namespace

bool zx_rzx_play(const char* name)
{
    std::vector<uint8_t> file;
    std::string why;
    if (!zx_read_for_libspectrum(name, &file, &why)) {
        std::printf("Can't play RZX %s: %s\n", name, why.c_str());
        return false;
    }
    libspectrum_rzx* rzx = libspectrum_rzx_alloc();
    libspectrum_snap* snap = nullptr;
    bool ok = libspectrum_rzx_read(rzx, file.data(), file.size()) == LIBSPECTRUM_ERROR_NONE;
    if (!ok)
        why = zx_libspectrum_message("not an input recording libspectrum reads");
    if (ok && (libspectrum_rzx_start_playback(rzx, 0, &snap) != LIBSPECTRUM_ERROR_NONE || !snap)) {
        why = snap ? zx_libspectrum_message("it has no frames") : "it holds no snapshot to start from";
        ok = false;
    }
    // The snapshot is checked before anything of the running machine changes.
    if (ok && !put_snapshot(snap, &why))
        ok = false;
    if (!ok) {
        std::printf("Can't play RZX %s: %s\n", name, why.c_str());
        libspectrum_rzx_free(rzx);
        return false;
    }
    ZxRzx& x = zx_rzx;
    if (x.playing)
        finish_playback("replaced");
    x.rzx = rzx;
    x.name = name;
    x.playing = true;
    x.first_frame = true;
    x.out_of_step = false;
    x.frames = 0;
    x.saved_read_port = zx.cpu.read_port == playback_read_port ? zx_read_port : zx.cpu.read_port;
    zx.cpu.read_port = playback_read_port;
    std::printf("RZX %s playing\n", name);
    return true;
}

bool zx_rzx_record(const char* name)
{
    ZxRzx& x = zx_rzx;
    if (x.recording)
        return false;
    zx_libspectrum_start();
    x.record = libspectrum_rzx_alloc();
    x.record_name = name;
    x.recording = true;
    x.record_started = false;
    x.frames = 0;
    // A name that cannot be written is known at once.
    FILE* file = open_data_file(name, "wb");
    if (!file || std::fclose(file) != 0) {
        std::printf("Can't write RZX %s: the file can't be created\n", name);
        libspectrum_rzx_free(x.record);
        x.record = nullptr;
        x.recording = false;
        return false;
    }
    static bool registered = false;
    if (!registered)
        registered = std::atexit(write_recording_at_exit) == 0;
    std::printf("RZX %s recording\n", name);
    return true;
}

bool zx_rzx_active() { return zx_rzx.playing || zx_rzx.recording; }

void zx_rzx_emulate_frame()
{
    ZxRzx& x = zx_rzx;
    zx_frame_begin();
    if (x.playing) {
        if (!x.first_frame)
            frame_interrupt();
        x.first_frame = false;
        if (zx.cpu.read_port != playback_read_port) { // a tape was inserted meanwhile
            x.saved_read_port = zx.cpu.read_port;
            zx.cpu.read_port = playback_read_port;
        }
        zx.cpu.ticks = zx_frame_tstates * zx_units_per_tstate;
        const size_t target = libspectrum_rzx_instructions(x.rzx);
        size_t fetched = 0;
        while (fetched < target)
            fetched += counted_instruction(&zx.cpu);
        clamp_frame_events();
        zx_frame_sound();
        ++x.frames;
        int finished = 0;
        libspectrum_snap* snap = nullptr;
        zx_libspectrum_clear();
        if (x.out_of_step || libspectrum_rzx_playback_frame(x.rzx, &finished, &snap) != LIBSPECTRUM_ERROR_NONE) {
            finish_playback("out of step with the recording (the program read the ports differently)");
            return;
        }
        std::string why;
        if (snap && !put_snapshot(snap, &why)) {
            finish_playback(why.c_str());
            return;
        }
        if (finished)
            finish_playback("the recording has ended");
        else
            x.first_frame = snap != nullptr;
        return;
    }
    // Recording: the frame begins with its interrupt, after which the fetches count.
    frame_interrupt();
    if (!x.record_started) {
        // The recording starts here, with the machine as it is after the interrupt.
        const uint32_t tstates = static_cast<uint32_t>(zx_frame_tstates - zx.cpu.ticks / zx_units_per_tstate) %
                                 zx_frame_tstates;
        libspectrum_snap* snap = zx_snapshot_to_libspectrum(&zx.cpu, zx.memory, zx.last_fe, tstates);
        libspectrum_rzx_add_snap(x.record, snap, 0);
        libspectrum_rzx_start_input(x.record, tstates);
        x.record_started = true;
        x.saved_read_port = zx.cpu.read_port;
    }
    // The tape may have been inserted or ejected since: the machine's routine of now.
    if (zx.cpu.read_port != recording_read_port)
        x.saved_read_port = zx.cpu.read_port;
    zx.cpu.read_port = recording_read_port;
    x.in_bytes.clear();
    zx.cpu.ticks += zx_frame_tstates * zx_units_per_tstate;
    size_t fetched = 0;
    do {
        fetched += counted_instruction(&zx.cpu);
    } while (zx.cpu.ticks >= 0);
    zx.cpu.read_port = x.saved_read_port;
    zx_frame_sound();
    libspectrum_rzx_store_frame(x.record, fetched, x.in_bytes.size(), x.in_bytes.data());
    if (++x.frames % rzx_write_interval == 0)
        (void)write_recording();
}

void zx_rzx_stop_recording()
{
    write_recording_at_exit();
    if (zx_rzx.record)
        libspectrum_rzx_free(zx_rzx.record);
    zx_rzx.record = nullptr;
}
