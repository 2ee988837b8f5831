// The files a user gives the ZX: what the argument text names, what is dropped on the
// window and what the reload and save keys use. Snapshots replace the machine; tapes go
// into the player; input recordings play.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <libspectrum.h>

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

bool zx_is_tape_name(const char* name)
{
    for (const char* e : {".tap", ".tzx", ".pzx", ".csw", ".wav", ".spc", ".sta", ".ltp"})
        if (ends_with(name, e))
            return true;
    return false;
}

ZxFileKind zx_file_kind(const char* name)
{
    std::vector<uint8_t> bytes;
    std::string why;
    const bool read = zx_read_whole_file(name, &bytes, &why);
    if (!read) {
        // Its reader says why it can't be read.
        if (zx_is_tape_name(name))
            return ends_with(name, ".tap") ? ZxFileKind::tap : ends_with(name, ".tzx") ? ZxFileKind::tzx : ZxFileKind::tape;
        if (ends_with(name, ".rzx"))
            return ZxFileKind::rzx;
        for (const char* e : {".szx", ".sp", ".snp", ".zxs"})
            if (ends_with(name, e))
                return ZxFileKind::snapshot;
        return ends_with(name, ".z80") ? ZxFileKind::z80 : ZxFileKind::sna;
    }
    if (ends_with(name, ".sna") || bytes.size() == zx_sna_size)
        return ZxFileKind::sna;
    zx_libspectrum_start();
    zx_libspectrum_clear();
    libspectrum_id_t id = LIBSPECTRUM_ID_UNKNOWN;
    libspectrum_class_t kind = LIBSPECTRUM_CLASS_UNKNOWN;
    if (libspectrum_identify_file_with_class(&id, &kind, name, bytes.data(), bytes.size()) ==
        LIBSPECTRUM_ERROR_NONE) {
        if (kind == LIBSPECTRUM_CLASS_TAPE) {
            libspectrum_identify_file_raw(&id, name, bytes.data(), bytes.size());
            return id == LIBSPECTRUM_ID_TAPE_TAP ? ZxFileKind::tap
                   : id == LIBSPECTRUM_ID_TAPE_TZX ? ZxFileKind::tzx
                                                  : ZxFileKind::tape;
        }
        if (kind == LIBSPECTRUM_CLASS_RECORDING)
            return ZxFileKind::rzx;
        if (kind == LIBSPECTRUM_CLASS_SNAPSHOT && id != LIBSPECTRUM_ID_SNAPSHOT_SNA)
            return id == LIBSPECTRUM_ID_SNAPSHOT_Z80 ? ZxFileKind::z80 : ZxFileKind::snapshot;
    }
    if (bytes.size() < 32)
        return ZxFileKind::sna;
    // A .z80 has a non-zero PC (version 1) or the extra header length of versions 2-3.
    const uint16_t pc = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
    const uint16_t extra = static_cast<uint16_t>(bytes[30] | bytes[31] << 8);
    return pc != 0 || extra == 23 || extra == 54 || extra == 55 ? ZxFileKind::z80 : ZxFileKind::sna;
}

bool zx_load_snapshot(const char* name, ZxFileKind* loaded)
{
    ZxFileKind kind = zx_file_kind(name);
    uint8_t border = 0;
    if (kind == ZxFileKind::z80 || kind == ZxFileKind::snapshot) {
        if (!zx_load_snapshot_file(&zx.cpu, zx.memory, name, &border)) {
            for (const char* e : {".z80", ".szx", ".sp", ".snp", ".zxs", ".slt", ".mgtsnp", ".gz", ".bz2", ".zip"})
                if (ends_with(name, e))
                    return false;
            kind = ZxFileKind::sna; // only its content looked like one: read it as a .SNA
        }
    } else if (kind != ZxFileKind::sna) {
        std::printf("Can't load snapshot %s: it is a %s\n", name, kind == ZxFileKind::rzx ? "recording" : "tape");
        return false;
    }
    if (loaded)
        *loaded = kind;
    if (kind == ZxFileKind::sna)
        return zx_load_sna(&zx.cpu, zx.memory, name);
    // Unlike a .SNA, these keep the border, which many programs set only once.
    zx.border_colour = border;
    zx.last_fe = border;
    return true;
}

bool zx_save_snapshot()
{
    // The save key writes .SNA; a start-up file of another snapshot format is not
    // overwritten with one: the name gets ".SNA" instead.
    for (const char* e : {".z80", ".szx", ".sp", ".snp", ".zxs"})
        if (ends_with(zx.snapshot_name, e)) {
            const size_t at = std::strlen(zx.snapshot_name) - std::strlen(e);
            std::snprintf(zx.snapshot_name + at, sizeof zx.snapshot_name - at, "%s", ".SNA");
            std::printf("Saving as .SNA: %s (the reload key loads it from now on)\n", zx.snapshot_name);
            break;
        }
    return zx_save_sna(&zx.cpu, zx.memory, zx.snapshot_name);
}

bool zx_save_snapshot_as(const char* path)
{
    if (ends_with(path, ".szx") || ends_with(path, ".z80"))
        return zx_write_snapshot_file(path, ends_with(path, ".szx"));
    return zx_save_sna(&zx.cpu, zx.memory, path);
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
    // snapshot that was named must be there. A recording brings its own snapshot.
    const bool recording = *rzx_option() != '\0';
    const bool named = argument_text && argument_text[strspn(argument_text, " \t")] != '\0';
    if (!named && (recording || !zx_data_file_exists(snapshot.c_str())))
        snapshot.clear();
    set_window_file(recording          ? rzx_option()
                    : !tape.empty()     ? tape.c_str()
                    : !snapshot.empty() ? snapshot.c_str()
                                        : "");
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
    if (recording && !zx_rzx_play(rzx_option()))
        fatal_error("Can't open file!");
    if (*record_rzx_option() && !zx_rzx_record(record_rzx_option()))
        fatal_error("Can't open file!");
}

bool zx_open_file(const char* name)
{
    const ZxFileKind kind = zx_file_kind(name);
    if (kind == ZxFileKind::tap || kind == ZxFileKind::tzx || kind == ZxFileKind::tape) {
        if (!zx_tape_insert(name))
            return false;
        set_window_file(name);
        return true;
    }
    if (kind == ZxFileKind::rzx) {
        if (!zx_rzx_play(name))
            return false;
        set_window_file(name);
        return true;
    }
    // A file that cannot be read is reported and the running program goes on.
    ZxFileKind loaded = kind;
    if (!zx_load_snapshot(name, &loaded))
        return false;
    set_window_file(name);
    if (loaded == ZxFileKind::sna) {
        zx.last_fe = 3;
        zx.border_colour = 0;
    }
    zx.beeper_edge_count = 0;
    zx.border_event_count = 0;
    return true;
}

void zx_take_dropped_file(const char* name) { (void)zx_open_file(name); }
