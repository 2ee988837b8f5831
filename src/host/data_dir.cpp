// The default data directory: the program's own folder or the user's data folder.
#include "host/data_dir.h"
#include "host/usage.h"

#include <sys/stat.h>

#include <filesystem>

namespace {

std::string data_dir_in_use;

bool is_regular_file(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

const char* host_machine_first_file(const std::string& machine)
{
    // The hidden test machine reads no files.
    if (machine == "host-test-pattern")
        return "";
    const HostMachineDoc* m = host_machine_doc(machine.c_str());
    return m ? m->rom : nullptr;
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

std::string host_missing_file_hint(const std::string& machine, const std::string& data_dir,
                                   const std::string& readme)
{
    const HostMachineDoc* m = host_machine_doc(machine.c_str());
    if (!m || !*m->rom || data_dir.empty())
        return std::string();
    const std::filesystem::path file = (std::filesystem::path(data_dir) / m->rom).lexically_normal();
    if (is_regular_file(file.string()) || (*m->fallback && is_regular_file(m->fallback)))
        return std::string();
    std::string hint = "The " + std::string(m->title) + " needs " + file.filename().string() + ": put it into " +
                       file.parent_path().string() + "/";
    if (*m->rom_note)
        hint += ",\n" + std::string(m->rom_note);
    hint += ".\nThe README (" + readme + "), section \"" + m->section + "\", describes the files.";
    return hint;
}
