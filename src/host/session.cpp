// Save states as files: the machine's registration and ROM notes, writing a state (with the
// host's window size and thumbnail), loading one only after everything in it was checked,
// numbered slots and what a menu shows of them.
#include <ctime>
#include <cstdio>
#include <cstring>

#include "host/host_internal.h"
#include "host/screenshot.h"
#include "host/session_internal.h"

SessionState session;

namespace {

constexpr uint32_t tag_host = state_tag("HOST");
constexpr uint32_t tag_thumbnail = state_tag("THMB");
constexpr uint32_t thumbnail_max_width = 160;
constexpr uint32_t thumbnail_max_height = 120;

// What the host keeps of its own in a state: the picture size the machine asked for, and
// the keys the machine last saw (so a key held across the save is not "pressed" again).
struct HostSection {
    uint32_t client_width;
    uint32_t client_height;
    uint8_t key_snapshot[256];
};

struct ThumbnailHead {
    uint32_t width;
    uint32_t height;
};

uint64_t rom_hash(const void* data, size_t size) { return state_checksum(data, size); }

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// The visible picture, averaged down to fit the thumbnail size.
void write_thumbnail(StateWriter* w)
{
    uint32_t left, top, width, height;
    if (!host.back_buffer ||
        !screenshot_rectangle(back_buffer_width, back_buffer_height, requested_client_width,
                              requested_client_height, &left, &top, &width, &height))
        return;
    const uint32_t step = std::max((width + thumbnail_max_width - 1) / thumbnail_max_width,
                                   (height + thumbnail_max_height - 1) / thumbnail_max_height);
    const uint32_t tw = width / step, th = height / step;
    if (!tw || !th)
        return;
    std::vector<uint32_t> bytes(2 + size_t(tw) * th);
    bytes[0] = tw;
    bytes[1] = th;
    for (uint32_t y = 0; y < th; ++y)
        for (uint32_t x = 0; x < tw; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            for (uint32_t dy = 0; dy < step; ++dy) {
                const uint32_t* p = host.back_buffer + size_t(top + y * step + dy) * back_buffer_width + left + x * step;
                for (uint32_t dx = 0; dx < step; ++dx) {
                    r += (p[dx] >> 16) & 0xFF;
                    g += (p[dx] >> 8) & 0xFF;
                    b += p[dx] & 0xFF;
                }
            }
            const uint32_t n = step * step;
            bytes[2 + size_t(y) * tw + x] = (r / n) << 16 | (g / n) << 8 | (b / n);
        }
    state_put(w, tag_thumbnail, bytes.data(), bytes.size() * 4);
}

// Every check that needs the machine: its name, the ROM files, the machine's own sections.
bool check_against_machine(const StateHeader& h, const StateReader& r, std::string* why)
{
    if (!session.ops) {
        *why = "this machine has no save states";
        return false;
    }
    if (h.machine != session.ops->name) {
        *why = "a state of the machine " + quoted(h.machine) + ", not of " + quoted(session.ops->name);
        return false;
    }
    for (const StateRomNote& saved : h.roms) {
        const StateRomNote* now = nullptr;
        for (const StateRomNote& n : session.roms)
            if (n.name == saved.name)
                now = &n;
        if (!now) {
            *why = "made with the ROM file " + quoted(saved.name) + ", which this run did not read";
            return false;
        }
        if (now->size != saved.size || now->hash != saved.hash) {
            *why = "made with a different ROM file " + quoted(saved.name);
            return false;
        }
    }
    for (const StateRomNote& n : session.roms) {
        bool found = false;
        for (const StateRomNote& saved : h.roms)
            found = found || saved.name == n.name;
        if (!found) {
            *why = "made without the ROM file " + quoted(n.name) + " that this run read";
            return false;
        }
    }
    if (size_t size = 0; state_get(&r, tag_host, &size) && size != sizeof(HostSection)) {
        *why = "damaged HOST section";
        return false;
    }
    std::string machine_why;
    if (!session.ops->check(&r, &machine_why)) {
        *why = machine_why.empty() ? "the machine refused the state" : machine_why;
        return false;
    }
    return true;
}

} // namespace

void session_register_machine(const MachineStateOps* ops) { session.ops = ops; }

bool session_available() { return session.ops != nullptr; }

void session_note_rom(const char* name, const void* data, size_t size)
{
    StateRomNote note;
    note.name = name ? name : "";
    if (note.name.size() >= state_rom_name_bytes)
        note.name.resize(state_rom_name_bytes - 1);
    note.size = size;
    note.hash = rom_hash(data, size);
    for (StateRomNote& n : session.roms)
        if (n.name == note.name) {
            n = note; // read again (a reset that reloads it)
            return;
        }
    if (session.roms.size() < state_max_roms)
        session.roms.push_back(note);
}

void session_message(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    session.message = text;
    session.message_frame = host_frame_count;
}

const std::string& session_last_message(uint32_t* frame)
{
    if (frame)
        *frame = session.message_frame;
    return session.message;
}

bool session_capture(StateWriter* w, bool for_file, std::string* why)
{
    if (!session.ops) {
        *why = "this machine has no save states";
        return false;
    }
    state_writer_reset(w, for_file);
    session.ops->save(w);
    HostSection hs{};
    hs.client_width = requested_client_width;
    hs.client_height = requested_client_height;
    std::memcpy(hs.key_snapshot, KeySnapshot, sizeof hs.key_snapshot);
    state_put(w, tag_host, &hs, sizeof hs);
    if (for_file)
        write_thumbnail(w);
    if (!w->failure.empty()) {
        *why = w->failure;
        return false;
    }
    return true;
}

bool session_encode_current(std::vector<uint8_t>* file, std::string* why)
{
    static StateWriter writer;
    if (!session_capture(&writer, true, why))
        return false;
    StateHeader h;
    h.frame = host_frame_count;
    h.saved_time = int64_t(std::time(nullptr));
    h.machine = session.ops->name;
    h.roms = session.roms;
    state_encode_file(h, writer, file);
    return true;
}

bool session_save_file(const char* path, std::string* why)
{
    std::vector<uint8_t> file;
    if (!session_encode_current(&file, why))
        return false;
    return state_write_file(path, file, why);
}

bool session_check_bytes(const uint8_t* data, size_t size, StateHeader* h, StateReader* r, std::string* why)
{
    return state_parse_file(data, size, h, r, why) && check_against_machine(*h, *r, why);
}

void session_apply(const StateReader& r, uint64_t frame)
{
    clear_back_buffer();
    session.ops->load(&r);
    if (const uint8_t* p = state_get_exact(&r, tag_host, sizeof(HostSection))) {
        HostSection hs;
        std::memcpy(&hs, p, sizeof hs);
        if (hs.client_width && hs.client_height &&
            (hs.client_width != requested_client_width || hs.client_height != requested_client_height))
            set_client_size(hs.client_width, hs.client_height);
        std::memcpy(KeySnapshot, hs.key_snapshot, sizeof KeySnapshot);
        session_mask_keys(KeySnapshot);
    }
    host_frame_count = uint32_t(frame);
}

bool session_load_file(const char* path, std::string* why)
{
    std::vector<uint8_t> file;
    StateHeader h;
    StateReader r;
    if (!state_read_file(path, &file, why) || !session_check_bytes(file.data(), file.size(), &h, &r, why))
        return false;
    session_apply(r, h.frame);
    session_rewind_restart();
    return true;
}

std::string session_slot_path(int slot)
{
    const std::string machine = session.ops ? session.ops->name : host.options.machine;
    return machine + "_slot" + std::to_string(slot) + ".kst";
}

bool session_file_info(const char* path, SlotInfo* info, std::string* why)
{
    std::vector<uint8_t> file;
    StateHeader h;
    StateReader r;
    if (!state_read_file(path, &file, why) || !session_check_bytes(file.data(), file.size(), &h, &r, why))
        return false;
    info->machine = h.machine;
    info->frame = h.frame;
    info->saved_time = h.saved_time;
    info->width = info->height = 0;
    info->pixels.clear();
    size_t size = 0;
    const uint8_t* p = state_get(&r, tag_thumbnail, &size);
    if (p && size >= sizeof(ThumbnailHead)) {
        ThumbnailHead head;
        std::memcpy(&head, p, sizeof head);
        if (head.width <= thumbnail_max_width && head.height <= thumbnail_max_height &&
            size == sizeof head + size_t(head.width) * head.height * 4) {
            info->width = head.width;
            info->height = head.height;
            info->pixels.resize(size_t(head.width) * head.height);
            std::memcpy(info->pixels.data(), p + sizeof head, info->pixels.size() * 4);
        }
    }
    return true;
}

bool session_slot_info(int slot, SlotInfo* info)
{
    if (slot < 1 || slot > 9)
        return false;
    std::string why;
    return session_file_info(session_slot_path(slot).c_str(), info, &why);
}
