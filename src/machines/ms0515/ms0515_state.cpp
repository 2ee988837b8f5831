// The MS-0515's save state: processor, both RAM banks, video RAM, the memory map as offsets
// into the memory block, the system registers and pending interrupts, keyboard, the floppy
// controller with its drives and the two disk images in memory, and the frame loop's
// counters. The ROM is the file's; the console debugger's mode is left as it is.
#include <cstring>

#include "host/session.h"
#include "machines/ms0515/ms0515.h"

namespace {

constexpr uint32_t tag_cpu = state_tag("PDPC");
constexpr uint32_t tag_ram = state_tag("MSRM");
constexpr uint32_t tag_video = state_tag("MSVR");
constexpr uint32_t tag_system = state_tag("MSSY");
constexpr uint32_t tag_keyboard = state_tag("MSKB");
constexpr uint32_t tag_floppy = state_tag("MSFD");
constexpr uint32_t tag_system_image = state_tag("MSD0");
constexpr uint32_t tag_work_image = state_tag("MSD1");

// Everything of the PDP-11 but its slots and costs; `boundary` says which step comes next:
// 0 decode after a fetch, 1 the fetch-complete step after a refetch.
struct CpuSection {
    uint32_t ir, prefetch, r[8], psw, dataIn, dataOut, vector, busAddress, prefetchAddress;
    uint32_t savedPc, savedPsw, indexBase;
    int32_t cycleBudget, speedFactor;
    uint32_t boundary;
};

struct SystemSection {
    uint32_t read_pages[8];  // offsets into the memory block
    uint32_t write_pages[8];
    uint16_t memCon;
    uint8_t sysregA, videoMode;
    uint32_t pending;
    int32_t frameDelay, frameDelayCounter, blinkCounter;
    uint8_t blinkPhase, reserved[3];
    int64_t systemImageBytes, workImageBytes;
};

struct FloppySection {
    struct Drive {
        uint8_t track, side, idle, indicatorShown, activity, doubleSided, image, reserved;
    } drives[4];
    uint8_t selected, command, status, trackRegister, sectorRegister, dataRegister, statusToggle, readFinished;
    uint8_t read_image; // 0 none, 1 system image, 2 work image
    uint8_t reserved[3];
    uint32_t read_offset, readCounter;
};

uint8_t image_index(const uint8_t* p)
{
    return p == ms0515.systemImage ? 1 : p == ms0515.workImage ? 2 : 0;
}

uint8_t* image_of(uint8_t index)
{
    return index == 1 ? ms0515.systemImage : index == 2 ? ms0515.workImage : nullptr;
}

// Which image a pointer lies in, and where.
bool locate(const uint8_t* p, uint8_t* index, uint32_t* offset)
{
    for (uint8_t i = 1; i <= 2; ++i) {
        const uint8_t* base = image_of(i);
        if (base && p >= base && p < base + ms0515_image_size) {
            *index = i;
            *offset = uint32_t(p - base);
            return true;
        }
    }
    *index = 0;
    *offset = 0;
    return p == nullptr;
}

void save(StateWriter* w)
{
    const Pdp11Cpu& c = ms0515.cpu;
    CpuSection cs{};
    if (c.busOperation == c.opFetch && c.stepHandler == pdp11_decode_step)
        cs.boundary = 0;
    else if (c.busOperation == c.opRefetch && c.stepHandler == pdp11_fetch_complete_step)
        cs.boundary = 1;
    else
        return state_fail(w, "the processor is inside an instruction (a bus-error loop)");
    cs.ir = c.ir;
    cs.prefetch = c.prefetch;
    std::memcpy(cs.r, c.r, sizeof cs.r);
    cs.psw = c.psw;
    cs.dataIn = c.dataIn;
    cs.dataOut = c.dataOut;
    cs.vector = c.vector;
    cs.busAddress = c.busAddress;
    cs.prefetchAddress = c.prefetchAddress;
    cs.savedPc = c.savedPc;
    cs.savedPsw = c.savedPsw;
    cs.indexBase = c.indexBase;
    cs.cycleBudget = c.cycleBudget;
    cs.speedFactor = c.speedFactor;
    state_put(w, tag_cpu, &cs, sizeof cs);
    state_put(w, tag_ram, ms0515.memory, ms0515_rom);
    state_put(w, tag_video, ms0515.memory + ms0515_sink, ms0515_block_size - ms0515_sink);

    SystemSection s{};
    for (int i = 0; i < 8; ++i) {
        s.read_pages[i] = uint32_t(ms0515.ReadPages[i] - ms0515.memory);
        s.write_pages[i] = uint32_t(ms0515.WritePages[i] - ms0515.memory);
    }
    s.memCon = ms0515.memCon;
    s.sysregA = ms0515.sysregA;
    s.videoMode = ms0515.videoMode;
    s.pending = ms0515.MsPendingInterrupts;
    s.frameDelay = ms0515.frameDelay;
    s.frameDelayCounter = ms0515.frameDelayCounter;
    s.blinkCounter = ms0515.blinkCounter;
    s.blinkPhase = ms0515.blinkPhase;
    s.systemImageBytes = ms0515.systemImageBytes;
    s.workImageBytes = ms0515.workImageBytes;
    state_put(w, tag_system, &s, sizeof s);
    state_put(w, tag_keyboard, &ms0515.keyboard, sizeof ms0515.keyboard);

    const Ms0515Floppy& f = ms0515.floppy;
    FloppySection fs{};
    for (int i = 0; i < 4; ++i) {
        const DriveRecord& d = f.drives[i];
        fs.drives[i] = {d.track, d.side, d.idle, d.indicatorShown, d.activity, d.doubleSided, image_index(d.image), 0};
    }
    fs.selected = f.selected;
    fs.command = f.command;
    fs.status = f.status;
    fs.trackRegister = f.trackRegister;
    fs.sectorRegister = f.sectorRegister;
    fs.dataRegister = f.dataRegister;
    fs.statusToggle = f.statusToggle;
    fs.readFinished = f.readFinished;
    locate(f.readPointer, &fs.read_image, &fs.read_offset);
    fs.readCounter = f.readCounter;
    state_put(w, tag_floppy, &fs, sizeof fs);
    // The controller only reads: rewind's states leave the images out.
    if (!state_is_rewind(w)) {
        state_put(w, tag_system_image, ms0515.systemImage, ms0515_image_size);
        state_put(w, tag_work_image, ms0515.workImage, ms0515_image_size);
    }
}

bool page_ok(uint32_t offset, bool write)
{
    // Pages start on 8 KB boundaries of the RAM banks, the video RAM, and (reading) the
    // ROM or (writing) the sink.
    if (offset % 0x2000 || offset > ms0515_block_size - 0x2000)
        return false;
    return write ? offset < ms0515_rom || offset >= ms0515_sink : true;
}

bool check(const StateReader* r, std::string* why)
{
    const uint8_t* cpu = state_get_exact(r, tag_cpu, sizeof(CpuSection));
    const uint8_t* system = state_get_exact(r, tag_system, sizeof(SystemSection));
    const uint8_t* keyboard = state_get_exact(r, tag_keyboard, sizeof(Ms0515Keyboard));
    const uint8_t* floppy = state_get_exact(r, tag_floppy, sizeof(FloppySection));
    if (!cpu || !system || !keyboard || !floppy || !state_get_exact(r, tag_ram, ms0515_rom) ||
        !state_get_exact(r, tag_video, ms0515_block_size - ms0515_sink)) {
        *why = "an MS-0515 section is missing or of the wrong size";
        return false;
    }
    CpuSection c;
    std::memcpy(&c, cpu, sizeof c);
    SystemSection s;
    std::memcpy(&s, system, sizeof s);
    FloppySection f;
    std::memcpy(&f, floppy, sizeof f);
    Ms0515Keyboard k;
    std::memcpy(&k, keyboard, sizeof k);
    // Disk images: both or neither (a rewind state keeps the images in memory).
    size_t size0 = 0, size1 = 0;
    const bool image0 = state_get(r, tag_system_image, &size0) != nullptr;
    const bool image1 = state_get(r, tag_work_image, &size1) != nullptr;
    bool ok = c.boundary <= 1 && image0 == image1 && (!image0 || (size0 == ms0515_image_size && size1 == ms0515_image_size));
    for (int i = 0; i < 8; ++i)
        ok = ok && page_ok(s.read_pages[i], false) && page_ok(s.write_pages[i], true);
    for (const auto& d : f.drives)
        ok = ok && d.image <= 2 && d.track < 80 && d.activity <= 2;
    ok = ok && f.selected < 4 && f.read_image <= 2 && f.read_offset <= ms0515_image_size - ms0515_sector_size;
    ok = ok && k.readIndex < sizeof k.queue && k.writeIndex < sizeof k.queue;
    if (!ok) {
        *why = "damaged MS-0515 section";
        return false;
    }
    return true;
}

void load(const StateReader* r)
{
    CpuSection cs;
    std::memcpy(&cs, state_get_exact(r, tag_cpu, sizeof cs), sizeof cs);
    Pdp11Cpu& c = ms0515.cpu;
    c.ir = cs.ir;
    c.prefetch = cs.prefetch;
    std::memcpy(c.r, cs.r, sizeof cs.r);
    c.psw = cs.psw;
    c.dataIn = cs.dataIn;
    c.dataOut = cs.dataOut;
    c.vector = cs.vector;
    c.busAddress = cs.busAddress;
    c.prefetchAddress = cs.prefetchAddress;
    c.savedPc = cs.savedPc;
    c.savedPsw = cs.savedPsw;
    c.indexBase = cs.indexBase;
    c.cycleBudget = cs.cycleBudget;
    c.speedFactor = cs.speedFactor;
    c.busOperation = cs.boundary ? c.opRefetch : c.opFetch;
    c.stepHandler = cs.boundary ? pdp11_fetch_complete_step : pdp11_decode_step;

    std::memcpy(ms0515.memory, state_get_exact(r, tag_ram, ms0515_rom), ms0515_rom);
    std::memcpy(ms0515.memory + ms0515_sink, state_get_exact(r, tag_video, ms0515_block_size - ms0515_sink),
                ms0515_block_size - ms0515_sink);
    SystemSection s;
    std::memcpy(&s, state_get_exact(r, tag_system, sizeof s), sizeof s);
    for (int i = 0; i < 8; ++i) {
        ms0515.ReadPages[i] = ms0515.memory + s.read_pages[i];
        ms0515.WritePages[i] = ms0515.memory + s.write_pages[i];
    }
    ms0515.memCon = s.memCon;
    ms0515.sysregA = s.sysregA;
    ms0515.videoMode = s.videoMode;
    ms0515.MsPendingInterrupts = s.pending;
    ms0515.frameDelay = s.frameDelay;
    ms0515.frameDelayCounter = s.frameDelayCounter;
    ms0515.blinkCounter = s.blinkCounter;
    ms0515.blinkPhase = s.blinkPhase;
    ms0515.systemImageBytes = long(s.systemImageBytes);
    ms0515.workImageBytes = long(s.workImageBytes);
    std::memcpy(&ms0515.keyboard, state_get_exact(r, tag_keyboard, sizeof ms0515.keyboard), sizeof ms0515.keyboard);
    if (const uint8_t* image = state_get_exact(r, tag_system_image, ms0515_image_size))
        std::memcpy(ms0515.systemImage, image, ms0515_image_size);
    if (const uint8_t* image = state_get_exact(r, tag_work_image, ms0515_image_size))
        std::memcpy(ms0515.workImage, image, ms0515_image_size);

    FloppySection fs;
    std::memcpy(&fs, state_get_exact(r, tag_floppy, sizeof fs), sizeof fs);
    Ms0515Floppy& f = ms0515.floppy;
    for (int i = 0; i < 4; ++i) {
        DriveRecord& d = f.drives[i];
        const auto& sd = fs.drives[i];
        d.track = sd.track;
        d.side = sd.side;
        d.idle = sd.idle;
        d.indicatorShown = sd.indicatorShown;
        d.activity = sd.activity;
        d.doubleSided = sd.doubleSided;
        d.image = image_of(sd.image);
    }
    f.selected = fs.selected;
    f.command = fs.command;
    f.status = fs.status;
    f.trackRegister = fs.trackRegister;
    f.sectorRegister = fs.sectorRegister;
    f.dataRegister = fs.dataRegister;
    f.statusToggle = fs.statusToggle;
    f.readFinished = fs.readFinished;
    f.readPointer = fs.read_image ? image_of(fs.read_image) + fs.read_offset : nullptr;
    f.readCounter = fs.readCounter;
}

const MachineStateOps ops = {"ms0515", save, check, load};

} // namespace

void ms0515_register_state()
{
    session_note_rom("MS-0515.rom", ms0515.memory + ms0515_rom, 0x4000);
    session_register_machine(&ops);
}
