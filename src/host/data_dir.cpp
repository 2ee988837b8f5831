// The default data directory: the program's own folder or the user's data folder.
#include "host/data_dir.h"

#include <sys/stat.h>

namespace {

struct MachineFirstFile {
    const char* machine;
    const char* file; // host form: '/' between folders
};

// The ROM each machine loads first (the tile machine's only file is its program, which it
// names in the parent of the data directory).
constexpr MachineFirstFile first_files[] = {
    {"zx", "48.rom"},
    {"ms0515", "MS-0515.rom"},
    {"pk8000", "PK8000/foton_piton.bin"},
    {"specialist", "Specialist/BIOS.rom"},
    {"tile", "../konek.tia"},
    {"uknc", "UKNC.rom"},
    {"host-test-pattern", ""},
};

std::string data_dir_in_use;

bool is_regular_file(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

const char* host_machine_first_file(const std::string& machine)
{
    for (const MachineFirstFile& m : first_files)
        if (machine == m.machine)
            return m.file;
    return nullptr;
}

std::string host_user_data_dir(const char* xdg_data_home, const char* home)
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
    if (xdg_data_home && xdg_data_home[0] == '/')
        return std::string(xdg_data_home) + "/korvel";
    if (home && home[0])
        return std::string(home) + "/.local/share/korvel";
    return std::string();
}

std::string host_default_data_dir(const std::string& machine, const std::string& program_dir,
                                  const std::string& user_data_dir)
{
    const char* first = host_machine_first_file(machine);
    if (!program_dir.empty() && first && (!*first || is_regular_file(program_dir + "/" + first)))
        return program_dir;
    return user_data_dir.empty() ? program_dir : user_data_dir;
}

const std::string& host_data_dir_in_use() { return data_dir_in_use; }

void host_set_data_dir_in_use(const std::string& dir) { data_dir_in_use = dir; }
