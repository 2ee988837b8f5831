// The MS-0515's save state: processor, both RAM banks, video RAM, the memory map as offsets
// into the memory block, the system registers and pending interrupts, keyboard, the floppy
// controller with its drives and the two disk images in memory, and the frame loop's
// counters. The ROM is the file's; the console debugger's mode is left as it is.
#include <cstring>

#include "host/session_table.h"
#include "machines/ms0515/ms0515.h"

namespace {

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

// What the sections hold in another shape than the machine: the processor's next step, the
// page maps as offsets, the drives' images as numbers and the read position. save fills
// these before writing; load turns them back after reading.
struct Staging {
    uint32_t boundary;
    uint32_t read_pages[8], write_pages[8];
    FloppySection::Drive drives[4];
    uint8_t read_image;
    uint32_t read_offset;
} staged;

const StateField cpu_fields[] = {
    STATE_FIELDS(CpuSection, ms0515.cpu, ir, prefetch, r, psw, dataIn, dataOut, vector, busAddress, prefetchAddress,
                 savedPc, savedPsw, indexBase, cycleBudget, speedFactor),
    STATE_FIELDS(CpuSection, staged, boundary),
};

const StateField system_fields[] = {
    STATE_FIELDS(SystemSection, staged, read_pages, write_pages),
    STATE_FIELDS(SystemSection, ms0515, memCon, sysregA, videoMode),
    STATE_FIELD(SystemSection, pending, ms0515.MsPendingInterrupts),
    STATE_FIELDS(SystemSection, ms0515, frameDelay, frameDelayCounter, blinkCounter, blinkPhase, systemImageBytes,
                 workImageBytes),
};

Ms0515Floppy& fdc = ms0515.floppy;
const StateField floppy_fields[] = {
    STATE_FIELDS(FloppySection, staged, drives),
    STATE_FIELDS(FloppySection, fdc, selected, command, status, trackRegister, sectorRegister, dataRegister,
                 statusToggle, readFinished),
    STATE_FIELDS(FloppySection, staged, read_image, read_offset),
    STATE_FIELDS(FloppySection, fdc, readCounter),
};

// The memory block is allocated at start-up: ms0515_register_state points the RAM and video
// RAM sections into it.
StateTableEntry sections[] = {
    {state_tag("PDPC"), nullptr, sizeof(CpuSection), cpu_fields, std::size(cpu_fields)},
    {state_tag("MSRM"), nullptr, ms0515_rom},
    {state_tag("MSVR"), nullptr, ms0515_block_size - ms0515_sink},
    {state_tag("MSSY"), nullptr, sizeof(SystemSection), system_fields, std::size(system_fields)},
    {state_tag("MSKB"), &ms0515.keyboard, sizeof ms0515.keyboard},
    {state_tag("MSFD"), nullptr, sizeof(FloppySection), floppy_fields, std::size(floppy_fields)},
};
constexpr const char* damaged = "damaged MS-0515 section";

void save(StateWriter* w)
{
    const Pdp11Cpu& c = ms0515.cpu;
    if (c.busOperation == c.opFetch && c.stepHandler == pdp11_decode_step)
        staged.boundary = 0;
    else if (c.busOperation == c.opRefetch && c.stepHandler == pdp11_fetch_complete_step)
        staged.boundary = 1;
    else
        return state_fail(w, "the processor is inside an instruction (a bus-error loop)");
    for (int i = 0; i < 8; ++i) {
        staged.read_pages[i] = uint32_t(ms0515.ReadPages[i] - ms0515.memory);
        staged.write_pages[i] = uint32_t(ms0515.WritePages[i] - ms0515.memory);
    }
    for (int i = 0; i < 4; ++i) {
        const DriveRecord& d = fdc.drives[i];
        staged.drives[i] = {d.track, d.side, d.idle, d.indicatorShown, d.activity, d.doubleSided, image_index(d.image), 0};
    }
    locate(fdc.readPointer, &staged.read_image, &staged.read_offset);
    state_put_sections(w, sections);
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

template <class Section> Section section_of(const StateReader* r, const StateTableEntry& entry)
{
    Section section;
    std::memcpy(&section, state_get_exact(r, entry.tag, sizeof section), sizeof section);
    return section;
}

bool check(const StateReader* r, std::string* why)
{
    if (!state_check_sections(r, sections, "an MS-0515 section is missing or of the wrong size", damaged, why))
        return false;
    const CpuSection c = section_of<CpuSection>(r, sections[0]);
    const SystemSection s = section_of<SystemSection>(r, sections[3]);
    const Ms0515Keyboard k = section_of<Ms0515Keyboard>(r, sections[4]);
    const FloppySection f = section_of<FloppySection>(r, sections[5]);
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
        *why = damaged;
        return false;
    }
    return true;
}

void load(const StateReader* r)
{
    state_get_sections(r, sections);
    Pdp11Cpu& c = ms0515.cpu;
    c.busOperation = staged.boundary ? c.opRefetch : c.opFetch;
    c.stepHandler = staged.boundary ? pdp11_fetch_complete_step : pdp11_decode_step;
    for (int i = 0; i < 8; ++i) {
        ms0515.ReadPages[i] = ms0515.memory + staged.read_pages[i];
        ms0515.WritePages[i] = ms0515.memory + staged.write_pages[i];
    }
    if (const uint8_t* image = state_get_exact(r, tag_system_image, ms0515_image_size))
        std::memcpy(ms0515.systemImage, image, ms0515_image_size);
    if (const uint8_t* image = state_get_exact(r, tag_work_image, ms0515_image_size))
        std::memcpy(ms0515.workImage, image, ms0515_image_size);
    for (int i = 0; i < 4; ++i) {
        DriveRecord& d = fdc.drives[i];
        const auto& sd = staged.drives[i];
        d = {sd.track, sd.side, sd.idle, sd.indicatorShown, sd.activity, sd.doubleSided, image_of(sd.image)};
    }
    fdc.readPointer = staged.read_image ? image_of(staged.read_image) + staged.read_offset : nullptr;
}

const MachineStateOps ops = {"ms0515", save, check, load};

} // namespace

void ms0515_register_state()
{
    sections[1].data = ms0515.memory;
    sections[2].data = ms0515.memory + ms0515_sink;
    session_note_rom("MS-0515.rom", ms0515.memory + ms0515_rom, 0x4000);
    session_register_machine(&ops);
}
