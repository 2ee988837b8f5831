// The workstation complex's saved state (see workstation_state.h).
//
// Memories go into sections of their own, as they are. Registers and counters go field by
// field, little-endian, through one list per record (workstation_state_records.h) that
// serves saving, checking and loading alike, so the three can never disagree about a field.
// Board ROMs, fonts and the PPU ROM are not stored: the host keeps their hashes.
#include "machines/workstation/workstation_state_records.h"

#include "machines/workstation/workstation_boards.h"

#include "host/host.h"

using namespace workstation_state;

namespace {

// ---- Saving ----------------------------------------------------------------------------------

// One buffer per field section: the writer may keep the bytes until the state is done.
std::vector<uint8_t> buffers[13];

template <class Visit> void put_fields(StateWriter* w, uint32_t tag, std::vector<uint8_t>& buffer, Visit visit)
{
    FieldWriter io(buffer);
    visit(io);
    state_put(w, tag, buffer.data(), buffer.size());
}

// ---- Checking --------------------------------------------------------------------------------

Scratch& scratch()
{
    static Scratch s{};
    if (!s.ws) { // large records: allocated once, for the run
        s.ws = new Workstation{};
        s.kcgd = new KcgdBoard{};
        s.floppy = new UkncFloppy{};
    }
    return s;
}

template <class Visit>
bool read_fields(const StateReader* r, uint32_t tag, std::string* why, const char* what, Visit visit)
{
    size_t size = 0;
    const uint8_t* data = state_get(r, tag, &size);
    FieldReader io(data, size);
    visit(io);
    if (!io.complete()) {
        if (why)
            *why = data ? std::string("the ") + what + " section has the wrong size"
                        : std::string("the state has no ") + what + " section";
        return false;
    }
    return true;
}

bool need_block(const StateReader* r, uint32_t tag, size_t size, const char* what, std::string* why)
{
    size_t got = 0;
    const uint8_t* data = state_get(r, tag, &got);
    if (data && got == size)
        return true;
    *why = data ? std::string("the ") + what + " section has the wrong size"
                : std::string("the state has no ") + what + " section";
    return false;
}

// Reads every field section into `s` (the live records when `live`) and checks the memory
// sections' sizes; false with the reason at the first fault.
bool read_all(const StateReader* r, Scratch& s, Workstation& w, KcgdBoard& kcgd, UkncFloppy& floppy, bool live,
              std::string* why)
{
    Pdp11Cpu* cpus[3] = {&s.cpu[0], &s.cpu[1], &s.cpu[2]};
    if (live)
        cpus[0] = &ws.cpu, cpus[1] = &ws.ppu, cpus[2] = &dvk.kcgd.gpu;
    KgdBoard& kgd = live ? dvk.kgd : s.kgd;
    NemigaBoard& nemiga = live ? dvk.nemiga : s.nemiga;
    E85Board& e85 = live ? dvk.e85 : s.e85;
    KsmTerminal& ksm = live ? ksm_terminal : s.ksm;
    Ie15Terminal& ie15 = live ? ie15_terminal : s.ie15;
    Terminals& term = live ? terminals : s.terminals;
    const uint32_t cpu_tags[3] = {tag_cpu, tag_ppu, tag_gpu};
    const char* cpu_names[3] = {"CPU", "PPU", "GPU"};
    if (!read_fields(r, tag_config, why, "configuration", [&](auto& io) { visit_config(io, s.config); }))
        return false;
    for (int k = 0; k < 3; ++k)
        if (!read_fields(r, cpu_tags[k], why, cpu_names[k],
                         [&](auto& io) { visit_pdp11(io, *cpus[k], s.codes[k]); }))
            return false;
    return read_fields(r, tag_devices, why, "UKNC devices", [&](auto& io) { visit_devices(io, w); }) &&
           read_fields(r, tag_settings, why, "display settings",
                       [&](auto& io) { visit_settings(io, w); }) &&
           read_fields(r, tag_kgd, why, "KGD", [&](auto& io) { visit_kgd(io, kgd); }) &&
           read_fields(r, tag_kcgd, why, "KCGD", [&](auto& io) { visit_kcgd(io, kcgd); }) &&
           read_fields(r, tag_nemiga, why, "NEMIGA", [&](auto& io) { visit_nemiga(io, nemiga); }) &&
           read_fields(r, tag_e85, why, "E-85", [&](auto& io) { visit_e85(io, e85); }) &&
           read_fields(r, tag_ksm, why, "KSM", [&](auto& io) { visit_ksm(io, ksm, s.z80); }) &&
           read_fields(r, tag_ie15, why, "15IE", [&](auto& io) { visit_ie15(io, ie15, s.ie15_step); }) &&
           read_fields(r, tag_terminals, why, "terminals", [&](auto& io) { visit_terminals(io, term); }) &&
           read_fields(r, tag_floppy, why, "floppy controller", [&](auto& io) { visit_floppy(io, floppy); });
}

bool blocks_present(const StateReader* r, std::string* why)
{
    return need_block(r, tag_main_block, main_block_stored, "UKNC memory", why) &&
           need_block(r, tag_kgd_memory, kgd_memory_size, "KGD memory", why) &&
           need_block(r, tag_kcgd_memory, kcgd_block_stored, "KCGD memory", why) &&
           need_block(r, tag_nemiga_memory, nemiga_memory_size, "NEMIGA memory", why) &&
           need_block(r, tag_e85_memory, e85_memory_size, "E-85 memory", why) &&
           need_block(r, tag_ksm_memory, ksm_ram_size, "KSM memory", why) &&
           need_block(r, tag_ie15_display, 0x1000, "15IE display memory", why) &&
           need_block(r, tag_ie15_picture, ie15_picture_size, "15IE picture", why) &&
           need_block(r, tag_disk[0], uknc_image_size, "disk image 0", why) &&
           need_block(r, tag_disk[1], uknc_image_size, "disk image 1", why);
}

void copy_block(const StateReader* r, uint32_t tag, void* destination, size_t size)
{
    if (const uint8_t* data = state_get_exact(r, tag, size))
        std::memcpy(destination, data, size);
}

const char* const board_names[6] = {"the KGD", "the KCGD (KCGD.rom)", "NEMIGA", "the E-85",
                                    "the KSM terminal (KSM.rom, KSM_FONT.rom)",
                                    "the 15IE terminal (15IE.rom, 15IE_FONT.rom)"};

} // namespace

void workstation_state_save(StateWriter* w)
{
    Pdp11Codes codes[3] = {pdp11_codes(ws.cpu, ws.cpuHeld), pdp11_codes(ws.ppu, false),
                           pdp11_codes(dvk.kcgd.gpu, false)};
    Z80Codes z80 = z80_codes(ksm_terminal.tpu);
    uint16_t ie15_step = step_unknown;
    if (!ie15_step_code(ie15_terminal.cpu.step, &ie15_step))
        ie15_step = step_unknown;
    // Never met on the scratch processors, so never expected; but a state that could not
    // be continued is not written at all.
    for (const Pdp11Codes& c : codes)
        if (c.step == step_unknown || c.continuation == step_unknown || c.bus == bus_unknown)
            state_fail(w, "a PDP-11 processor of the complex stands at a step that cannot be saved");
    if (z80.step == step_unknown || z80.bus == bus_unknown || z80.index == bus_unknown || ie15_step == step_unknown)
        state_fail(w, "a terminal's processor stands at a step that cannot be saved");

    Config config = current_config();
    put_fields(w, tag_config, buffers[0], [&](auto& io) { visit_config(io, config); });
    state_put(w, tag_main_block, ws.mainBlock, main_block_stored);
    put_fields(w, tag_cpu, buffers[1], [&](auto& io) { visit_pdp11(io, ws.cpu, codes[0]); });
    put_fields(w, tag_ppu, buffers[2], [&](auto& io) { visit_pdp11(io, ws.ppu, codes[1]); });
    put_fields(w, tag_gpu, buffers[3], [&](auto& io) { visit_pdp11(io, dvk.kcgd.gpu, codes[2]); });
    put_fields(w, tag_devices, buffers[4], [&](auto& io) { visit_devices(io, ws); });
    put_fields(w, tag_settings, buffers[5], [&](auto& io) { visit_settings(io, ws); });

    put_fields(w, tag_kgd, buffers[6], [&](auto& io) { visit_kgd(io, dvk.kgd); });
    state_put(w, tag_kgd_memory, dvk.kgd.memory, kgd_memory_size);
    put_fields(w, tag_kcgd, buffers[7], [&](auto& io) { visit_kcgd(io, dvk.kcgd); });
    state_put(w, tag_kcgd_memory, dvk.kcgd.block, kcgd_block_stored);
    put_fields(w, tag_nemiga, buffers[8], [&](auto& io) { visit_nemiga(io, dvk.nemiga); });
    state_put(w, tag_nemiga_memory, dvk.nemiga.memory, nemiga_memory_size);
    put_fields(w, tag_e85, buffers[9], [&](auto& io) { visit_e85(io, dvk.e85); });
    state_put(w, tag_e85_memory, dvk.e85.memory, e85_memory_size);

    put_fields(w, tag_ksm, buffers[10], [&](auto& io) { visit_ksm(io, ksm_terminal, z80); });
    state_put(w, tag_ksm_memory, ksm_terminal.block + ksm_rom_size, ksm_ram_size);
    put_fields(w, tag_ie15, buffers[11], [&](auto& io) { visit_ie15(io, ie15_terminal, ie15_step); });
    put_fields(w, tag_terminals, buffers[12], [&](auto& io) { visit_terminals(io, terminals); });
    state_put(w, tag_ie15_display, ie15_terminal.block + ie15_display_offset, 0x1000);
    state_put(w, tag_ie15_picture, ie15_terminal.block + ie15_picture_offset, ie15_picture_size);

    static std::vector<uint8_t> floppy_buffer;
    put_fields(w, tag_floppy, floppy_buffer, [&](auto& io) { visit_floppy(io, uknc_floppy); });
    for (int k = 0; k < 2; ++k)
        state_put(w, tag_disk[k], uknc_floppy.images[k], uknc_image_size);
}

bool workstation_state_check(const StateReader* r, std::string* why)
{
    std::string reason;
    if (!why)
        why = &reason;
    Scratch& s = scratch();
    if (!read_all(r, s, *s.ws, *s.kcgd, *s.floppy, false, why) || !blocks_present(r, why))
        return false;
    const Config now = current_config();
    if (s.config.version != now.version)
        return fail(why, "the state was saved by another version of the UKNC complex");
    const bool saved[6] = {s.config.kgd, s.config.kcgd, s.config.nemiga, s.config.e85, s.config.ksm, s.config.ie15};
    const bool fitted[6] = {now.kgd, now.kcgd, now.nemiga, now.e85, now.ksm, now.ie15};
    for (int k = 0; k < 6; ++k)
        if (saved[k] != fitted[k])
            return fail(why, std::string("the state was saved ") + (saved[k] ? "with " : "without ") + board_names[k] +
                                 ", which this run " + (fitted[k] ? "has" : "lacks"));
    if (s.config.pdp11_steps != now.pdp11_steps || s.config.z80_steps != now.z80_steps ||
        s.config.ie15_steps != now.ie15_steps)
        return fail(why, "the state was saved by a program with other processor cores");
    const char* names[3] = {"CPU", "PPU", "GPU"};
    for (int k = 0; k < 3; ++k)
        if (!pdp11_valid(s.cpu[k], names[k], why) ||
            !pdp11_codes_valid(s.codes[k], k == 0 && s.ws->cpuHeld, names[k], why))
            return false;
    return devices_valid(*s.ws, why) && settings_valid(*s.ws, why) && boards_valid(s, why) &&
           terminals_valid(s, why) && floppy_valid(*s.floppy, why);
}

void workstation_state_load(const StateReader* r)
{
    Scratch& s = scratch();
    std::string ignored;
    // The drives' images stay in place while the fields are read; their names and marks
    // come with the controller.
    read_all(r, s, ws, dvk.kcgd, uknc_floppy, true, &ignored);
    copy_block(r, tag_main_block, ws.mainBlock, main_block_stored);
    copy_block(r, tag_kgd_memory, dvk.kgd.memory, kgd_memory_size);
    copy_block(r, tag_kcgd_memory, dvk.kcgd.block, kcgd_block_stored);
    copy_block(r, tag_nemiga_memory, dvk.nemiga.memory, nemiga_memory_size);
    copy_block(r, tag_e85_memory, dvk.e85.memory, e85_memory_size);
    copy_block(r, tag_ksm_memory, ksm_terminal.block + ksm_rom_size, ksm_ram_size);
    copy_block(r, tag_ie15_display, ie15_terminal.block + ie15_display_offset, 0x1000);
    copy_block(r, tag_ie15_picture, ie15_terminal.block + ie15_picture_offset, ie15_picture_size);
    for (int k = 0; k < 2; ++k)
        copy_block(r, tag_disk[k], uknc_floppy.images[k], uknc_image_size);

    // Pointers: the processors' pending steps and bus operations from their codes.
    Pdp11Cpu* cpus[3] = {&ws.cpu, &ws.ppu, &dvk.kcgd.gpu};
    for (int k = 0; k < 3; ++k) {
        Pdp11Cpu& c = *cpus[k];
        c.continuation = pdp11_step_from_code(s.codes[k].continuation);
        if (k == 0 && ws.cpuHeld) {
            workstation_hold_cpu();
            continue;
        }
        c.stepHandler = pdp11_step_from_code(s.codes[k].step);
        c.busOperation = pdp11_bus_op_from_code(&c, s.codes[k].bus);
    }
    Z80State& tpu = ksm_terminal.tpu;
    z80_set_8080_mode(&tpu, s.z80.i8080 != 0);
    tpu.step = z80_step_from_code(s.z80.step);
    tpu.bus = z80_bus_from_code(&tpu, s.z80.bus);
    tpu.index_reg = s.z80.index ? &tpu.iy : &tpu.ix;
    ie15_terminal.cpu.step = ie15_step_from_code(s.ie15_step);

    // Tables and page maps as the restored modes and memory control have them.
    workstation_map_ppu_pages();
    workstation_install_cpu_io();
    workstation_install_ppu_io();
    gpu_install_io();

    // The picture starts cleared (the host restores the window size), with its title.
    clear_back_buffer();
    if (ws.PictureBuffer)
        std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4);
    const int shown = ws.displayMode;
    ws.displayMode = -1;
    workstation_update_title();
    ws.displayMode = shown;
}

const MachineStateOps workstation_state_ops = {"uknc", workstation_state_save, workstation_state_check,
                                               workstation_state_load};
