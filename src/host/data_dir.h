// The data directory: where a machine's ROMs, disk images, snapshots and program files are
// read and its dumps and screenshots written. The program changes into it at start-up.
//
// --data-dir DIR chooses it. Otherwise the program's own folder serves when it holds the
// machine's files, which is how an unpacked program lives beside its ROMs; the test is
// simply whether the machine's first file (its ROM, see host_machine_first_file) is there.
// An installed program (/usr/bin/korvel) has no ROMs beside it and uses the user's data
// folder, $XDG_DATA_HOME/korvel, else ~/.local/share/korvel.
#pragma once

#include <string>

// The file a machine reads first, relative to its data directory ("48.rom"); "" for a
// machine that reads no files (it stays in the program's folder); nullptr for a name that
// is not in the table (such a machine uses the user's data folder).
const char* host_machine_first_file(const std::string& machine);
// $XDG_DATA_HOME/korvel when XDG_DATA_HOME is an absolute path, else <home>/.local/share/
// korvel; "" when neither is known. xdg_data_home and home may be nullptr.
std::string host_user_data_dir(const char* xdg_data_home, const char* home);
// The default data directory of a machine: program_dir when it holds the machine's first
// file (or the machine reads none), else user_data_dir.
std::string host_default_data_dir(const std::string& machine, const std::string& program_dir,
                                  const std::string& user_data_dir);
// The data directory of this run once start-up has changed into it ("" before).
const std::string& host_data_dir_in_use();
void host_set_data_dir_in_use(const std::string& dir);
// When the machine's first file is missing from data_dir: lines that say which file to
// put where (the full path) and where the README (readme: its path) describes it; ""
// when the file is there or the machine reads none.
std::string host_missing_file_hint(const std::string& machine, const std::string& data_dir,
                                   const std::string& readme);
