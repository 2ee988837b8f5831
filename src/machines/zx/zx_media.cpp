// The files a user gives the ZX: what the argument text names, what is dropped on the
// window and what the reload and save keys use. Snapshots (.SNA, .z80) replace the
// machine; tapes (.tap, .tzx) go into the player.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

bool ends_with(const char* name, const char* extension)
{
    const size_t n = std::strlen(name), e = std::strlen(extension);
    if (n < e)
        return false;
    for (size_t i = 0; i < e; ++i)
        if (std::tolower(static_cast<unsigned char>(name[n - e + i])) != extension[i])
            return false;
    return true;
}

// Words of the argument text; double quotes group a word with blanks.
std::vector<std::string> words_of(const char* text)
{
    std::vector<std::string> words;
    const char* p = text ? text : "";
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            return words;
        std::string word;
        if (*p == '"') {
            ++p;
            while (*p && *p != '"')
                word += *p++;
            if (*p == '"')
                ++p;
        } else {
            while (*p && *p != ' ' && *p != '\t')
                word += *p++;
        }
        words.push_back(word);
    }
}

// A name as the start-up snapshot's: what follows its last backslash.
std::string file_name_of(const std::string& word)
{
    char name[zx_snapshot_name_capacity];
    if (!zx_snapshot_name_from(word.c_str(), name, sizeof name))
        std::printf("File name longer than %zu characters, cut to \"%s\"\n", sizeof name - 1, name);
    return name;
}

} // namespace

bool zx_data_file_exists(const char* name)
{
    FILE* file = open_data_file(name, "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

const char* zx_rom_file(const char* system_rom)
{
    if (zx_data_file_exists("48.rom"))
        return "48.rom";
    if (FILE* file = std::fopen(system_rom, "rb")) {
        std::fclose(file);
        return system_rom;
    }
    return "48.rom"; // missing: the load says so
}

bool zx_is_tape_name(const char* name) { return ends_with(name, ".tap") || ends_with(name, ".tzx"); }

ZxFileKind zx_file_kind(const char* name)
{
    // The first bytes and the size tell what the extension does not.
    uint8_t head[32] = {};
    long size = -1;
    if (FILE* file = open_data_file(name, "rb")) {
        const size_t got = std::fread(head, 1, sizeof head, file);
        if (std::fseek(file, 0, SEEK_END) == 0)
            size = std::ftell(file);
        std::fclose(file);
        if (got >= 8 && std::memcmp(head, "ZXTape!\x1A", 8) == 0)
            return ZxFileKind::tzx;
    }
    if (ends_with(name, ".tzx"))
        return ZxFileKind::tzx;
    if (ends_with(name, ".tap"))
        return ZxFileKind::tap;
    if (ends_with(name, ".z80"))
        return ZxFileKind::z80;
    if (ends_with(name, ".sna") || size == static_cast<long>(zx_sna_size) || size < 0)
        return ZxFileKind::sna;
    // A .z80 has a non-zero PC (version 1) or the extra header length of versions 2-3.
    const uint16_t pc = static_cast<uint16_t>(head[6] | head[7] << 8);
    const uint16_t extra = static_cast<uint16_t>(head[30] | head[31] << 8);
    const bool z80 = size >= 30 && (pc != 0 || extra == 23 || extra == 54 || extra == 55);
    return z80 ? ZxFileKind::z80 : ZxFileKind::sna;
}

bool zx_load_snapshot(const char* name, ZxFileKind* loaded)
{
    ZxFileKind kind = zx_file_kind(name);
    uint8_t border = 0;
    if (kind == ZxFileKind::z80 && !zx_load_z80(&zx.cpu, zx.memory, name, &border)) {
        if (ends_with(name, ".z80"))
            return false;
        kind = ZxFileKind::sna; // only its content looked like a .z80: read it as before
    }
    if (loaded)
        *loaded = kind;
    if (kind != ZxFileKind::z80)
        return zx_load_sna(&zx.cpu, zx.memory, name);
    // Unlike a .SNA, a .z80 keeps the border, which many programs set only once.
    zx.border_colour = border;
    zx.last_fe = border;
    return true;
}

bool zx_save_snapshot()
{
    // Snapshots are saved as .SNA only; a .z80 start-up file is not overwritten with one.
    if (ends_with(zx.snapshot_name, ".z80")) {
        const size_t n = std::strlen(zx.snapshot_name);
        std::memcpy(zx.snapshot_name + n - 4, ".SNA", 4);
        std::printf("Saving as .SNA: %s (the reload key loads it from now on)\n", zx.snapshot_name);
    }
    return zx_save_sna(&zx.cpu, zx.memory, zx.snapshot_name);
}

bool zx_names_from_argument_text(const char* text, std::string* snapshot, std::string* tape)
{
    snapshot->clear();
    tape->clear();
    const std::vector<std::string> words = words_of(text);
    if (words.size() == 1 && zx_is_tape_name(words[0].c_str())) {
        *tape = file_name_of(words[0]);
        return !tape->empty();
    }
    if (words.size() == 2 && zx_is_tape_name(words[1].c_str()) && !zx_is_tape_name(words[0].c_str())) {
        *snapshot = file_name_of(words[0]);
        *tape = file_name_of(words[1]);
        return !snapshot->empty() && !tape->empty();
    }
    // One snapshot name, taken from the whole text as it always was.
    char name[zx_snapshot_name_capacity];
    if (!zx_snapshot_name_from(text, name, sizeof name))
        std::printf("Snapshot name longer than %zu characters, cut to \"%s\"\n", sizeof name - 1, name);
    *snapshot = name;
    // Text that leaves no name after its last backslash ("dir\\") names nothing.
    return !snapshot->empty();
}

void zx_load_start_files(const char* argument_text)
{
    std::string snapshot, tape;
    if (!zx_names_from_argument_text(argument_text, &snapshot, &tape)) {
        std::printf("No file name in the argument \"%s\" (a name ends after its last backslash)\n",
                    argument_text ? argument_text : "");
        fatal_error("Can't open file!");
    }
    zx_tape_eject();
    // Nothing named and no snapshot.SNA (a first start): power on into the ROM. A
    // snapshot that was named must be there.
    const bool named = argument_text && argument_text[strspn(argument_text, " \t")] != '\0';
    if (!named && !zx_data_file_exists(snapshot.c_str()))
        snapshot.clear();
    set_window_file(!tape.empty() ? tape.c_str() : !snapshot.empty() ? snapshot.c_str() : "");
    if (snapshot.empty()) {
        // Only a tape, or nothing: the machine powers on into its ROM and the tape waits.
        std::snprintf(zx.snapshot_name, sizeof zx.snapshot_name, "%s", "snapshot.SNA");
        z80_reset(&zx.cpu);
        std::printf("No snapshot: starting from the ROM\n");
    } else {
        std::snprintf(zx.snapshot_name, sizeof zx.snapshot_name, "%s", snapshot.c_str());
        if (!zx_load_snapshot(zx.snapshot_name))
            fatal_error("Can't open file!");
    }
    if (!tape.empty() && !zx_tape_insert(tape.c_str()))
        fatal_error("Can't open file!");
}

void zx_take_dropped_file(const char* name)
{
    const ZxFileKind kind = zx_file_kind(name);
    if (kind == ZxFileKind::tap || kind == ZxFileKind::tzx) {
        if (zx_tape_insert(name))
            set_window_file(name);
        return;
    }
    // A file that cannot be read is reported and the running program goes on.
    ZxFileKind loaded = kind;
    if (!zx_load_snapshot(name, &loaded))
        return;
    set_window_file(name);
    if (loaded == ZxFileKind::sna) {
        zx.last_fe = 3;
        zx.border_colour = 0;
    }
    zx.beeper_edge_count = 0;
    zx.border_event_count = 0;
}
