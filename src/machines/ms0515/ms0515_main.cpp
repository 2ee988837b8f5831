// MS-0515 start-up and frame loop.
#include "machines/ms0515/ms0515.h"

#include "cpu/pdp11/pdp11_disasm.h"
#include "host/debug.h"
#include "host/host.h"
#include "host/machine_ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ms0515_linear_disks = false;

void ms0515_startup()
{
    ms0515.memory = static_cast<uint8_t*>(std::calloc(ms0515_block_size, 1));
    if (!ms0515.memory)
        fatal_error("Can't allocate memory!");
    set_client_size(640, 400);
    ms0515_memory_reset();
    load_file(ms0515.memory + ms0515_rom, 0x4000, "MS-0515.rom");

    ms0515.systemImage = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    ms0515.workImage = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    if (!ms0515.systemImage || !ms0515.workImage)
        fatal_error("Can't allocate Image memory");
    // The test disk first, so drive 0 holds it when no system disk can be opened.
    // A file that cannot be opened leaves the buffer (and its layout) as it was.
    auto load = [](uint8_t* buffer, long* bytes, const char* file) {
        long got = ms0515_open_disk_image(buffer, file);
        if (got >= 0)
            *bytes = got;
    };
    load(ms0515.systemImage, &ms0515.systemImageBytes, "MS-0515\\OSA-Test.dsk");
    const char* name = next_argument();
    load(ms0515.systemImage, &ms0515.systemImageBytes, name ? name : "System.dsk");
    name = next_argument();
    load(ms0515.workImage, &ms0515.workImageBytes, name ? name : "Work.dsk");
    std::printf("\n");

    ms0515_power_on();
    ms0515_debug_register();
}

void ms0515_power_on()
{
    ms0515_install_io();
    ms0515_setup_cpu();
    ms0515_floppy_reset(ms0515.floppy, ms0515.systemImage, ms0515.workImage,
                        ms0515_image_is_double_sided(ms0515.systemImageBytes, ms0515_linear_disks),
                        ms0515_image_is_double_sided(ms0515.workImageBytes, ms0515_linear_disks));
    ms0515_keyboard_reset(ms0515.keyboard);
    ms0515.frameDelay = ms0515.frameDelayCounter = 0;
    ms0515.blinkCounter = 16;
    ms0515.blinkPhase = 0;
    ms0515.command = 'r';
    ms0515.breakAddress = 1; // odd: PC never takes it, so the machine runs free
    ms0515.tracing = 0;
    ms0515.consoleClosed = 0;
    ms0515.debugIn = stdin;
}

void ms0515_present()
{
    draw_back_buffer([](const BackBufferView& view, uint32_t width, uint32_t height) {
        ms0515_render(view.pixels, view.pitch, width, height);
    });
    pace_and_present();
}

static void take_interrupt()
{
    Pdp11Cpu& cpu = ms0515.cpu;
    uint32_t& pending = ms0515.MsPendingInterrupts;
    // Priority 4 and above block every request; the machine has no finer comparison.
    if (cpu.psw & 0x80)
        return;
    if (pending & MS0515_IRQ_HALT) {
        pending &= ~MS0515_IRQ_HALT;
        enter_halt_mode(&cpu, PDP11_HALT_OFFSET_HALT);
    } else if (pending & MS0515_IRQ_024) {
        pending &= ~MS0515_IRQ_024;
        request_interrupt(&cpu, 024);
    } else if (pending & MS0515_IRQ_MEMCON) {
        pending &= ~MS0515_IRQ_MEMCON;
        request_interrupt(&cpu, 064);
    } else if (pending & MS0515_IRQ_KEYBOARD) {
        pending &= ~MS0515_IRQ_KEYBOARD;
        request_interrupt(&cpu, 0130);
    }
}

void ms0515_execute_boundary()
{
    Pdp11Cpu& cpu = ms0515.cpu;
    // Free running without a breakpoint in sight is the common case: skip the debugger.
    if (ms0515.command != 'r' || cpu.prefetch == 010606 || (cpu.r[7] & 0xFFFF) == ms0515.breakAddress)
        ms0515_debugger_check();
    if (cpu.prefetch == 0) {
        // HALT never reaches the processor: the ROM's monitor entry at 0172004 takes over.
        cpu.r[7] = 0172004;
        cpu.busOperation = cpu.opRefetch;
        cpu.stepHandler = pdp11_fetch_complete_step;
    }
    if (ms0515.MsPendingInterrupts)
        take_interrupt();
    // The debugger windows see every instruction the processor starts.
    if (debug_active && cpu.busOperation == cpu.opFetch && (cpu.r[7] & 0xFFFF) == cpu.prefetchAddress &&
        debug_boundary(0))
        debug_wait();
    if (ms0515.tracing && trace_file)
        pdp11_write_trace_line(trace_file, static_cast<uint16_t>(cpu.r[7]), ms0515_peek_word, nullptr);
    run_instruction(&cpu);
}

static void handle_hot_keys()
{
    if (key_down(0x42)) { // F8: stop in the debugger
        ms0515.command = 0;
        if (ms0515.tracing) {
            if (trace_file) {
                std::fclose(trace_file);
                trace_file = nullptr;
            }
            ms0515.tracing = 0;
        }
    }
    if (key_pressed(0xC9)) { // PgUp
        ++ms0515.frameDelay;
        std::printf("Frame Delay = %d\n", ms0515.frameDelay);
    }
    if (key_pressed(0xD1)) { // PgDn
        if (ms0515.frameDelay > 0)
            --ms0515.frameDelay;
        std::printf("Frame Delay = %d\n", ms0515.frameDelay);
    }
}

// A disk image dropped on the window goes into drive 0 (the system disk), as on the
// UKNC; one that cannot be opened leaves the drive as it was.
static void take_dropped_disk()
{
    long got = ms0515_open_disk_image(ms0515.systemImage, dropped_file);
    drop_pending = 0;
    if (got < 0)
        return;
    ms0515.systemImageBytes = got;
    ms0515.floppy.drives[0].doubleSided = ms0515_image_is_double_sided(got, ms0515_linear_disks);
}

void ms0515_run_frame()
{
    if (drop_pending)
        take_dropped_disk();
    while (ms0515.frameDelayCounter > 0) {
        ms0515_present();
        --ms0515.frameDelayCounter;
    }
    ms0515.frameDelayCounter = ms0515.frameDelay;

    Pdp11Cpu& cpu = ms0515.cpu;
    cpu.cycleBudget += cpu.speedFactor * ms0515_cycles_per_frame;

    shift_key_snapshot();
    snapshot_keys();
    host_window_keys(); // full screen and screenshot
    ms0515_keyboard_translate(ms0515.keyboard);
    if (!ms0515_keyboard_queue_empty(ms0515.keyboard)) {
        ms0515.MsPendingInterrupts |= MS0515_IRQ_KEYBOARD;
        ms0515.keyboard.status |= 2;
    }
    handle_hot_keys();

    // 16 down to -1, then a flip: the blink phase changes every 18 frames.
    if (ms0515.blinkCounter < 0) {
        ms0515.blinkPhase ^= 1;
        ms0515.blinkCounter = 16;
    } else {
        --ms0515.blinkCounter;
    }

    while (cpu.cycleBudget >= 0)
        ms0515_execute_boundary();

    if (ms0515.command == 'f') {
        std::printf("One frame done...\n");
        ms0515.command = 0;
    } else if (ms0515.command == 'r' || ms0515.command == 'e') {
        // A run to the next RTS presents too: the host sees window events (F8, closing the
        // window, a keys script) only while frames are presented, so a program that never
        // returns could otherwise not be stopped at all.
        ms0515_present();
    }
}

extern const MachineUi ms0515_machine_ui; // at the end of this file

void ms0515_main()
{
    machine_ui_register(&ms0515_machine_ui);
    ms0515_startup();
    ms0515_register_state();
    for (;;)
        ms0515_run_frame();
}

// ---- What the on-screen interface offers: the system and work images, the hot keys ------
namespace {

const MachineDrive ms0515_drives[] = {{"Drive 0 (system)", ".dsk;.img"}, {"Drives 1-3 (work)", ".dsk;.img"}};

// A file that cannot be read leaves the drive's image as it was.
bool ms0515_ui_open(int drive, const char* path)
{
    static uint8_t buffer[ms0515_image_size];
    long got = ms0515_open_disk_image(buffer, path);
    if (got < 0)
        return false;
    uint8_t* image = drive == 0 ? ms0515.systemImage : ms0515.workImage;
    std::memcpy(image, buffer, ms0515_image_size);
    (drive == 0 ? ms0515.systemImageBytes : ms0515.workImageBytes) = got;
    const uint8_t sided = ms0515_image_is_double_sided(got, ms0515_linear_disks) ? 1 : 0;
    for (DriveRecord& d : ms0515.floppy.drives)
        if (d.image == image)
            d.doubleSided = sided;
    return true;
}

using K = MachineHotKey;
const MachineHotKey ms0515_hot_keys[] = {
    {{0x42}, "F8", "stop in the debugger (and close an open trace)"},
    {{0xC9}, "PgUp / PgDn", "frame delay up / down (each frame shown that many extra times)"},
};

} // namespace

const MachineUi ms0515_machine_ui = {"ms0515", ms0515_drives, 2, ms0515_ui_open, nullptr, nullptr,
                             ms0515_hot_keys, sizeof ms0515_hot_keys / sizeof ms0515_hot_keys[0],
                             MachineJoystick::NONE};
