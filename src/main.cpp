// Korvel: the command line, host start-up, then the one machine of this run.
//
// A machine is a row in the table below: its name on the command line, the label of the
// banner and its never-returning main routine. Rows appear when their library is built.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/host_internal.h"
#include "host/options.h"
#include "host/usage.h"
#ifdef KORVEL_HAVE_UI
#include "debugger/debugger.h"
#include "ui/ui.h"
#endif

[[noreturn]] void zx_main();
[[noreturn]] void ms0515_main();
extern bool ms0515_linear_disks;
[[noreturn]] void pk8000_main();
[[noreturn]] void specialist_main();
[[noreturn]] void tile_main();
[[noreturn]] void uknc_main();

namespace {

struct Machine {
    const char* name;
    const char* mode; // shown in the banner
    void (*main_routine)();
    bool runs_8080 = false; // its processor runs as an 8080 or a Z80 (--cpu)
};

// The machine as the window title names it.
const char* title_of(const char* name)
{
    for (const HostMachineDoc& m : host_machine_docs)
        if (std::strcmp(m.name, name) == 0)
            return m.title;
    return "";
}

const Machine machines[] = {
    {"zx", "ZX-Mode", zx_main},
    {"ms0515", "MS0515-Mode", ms0515_main},
    {"pk8000", "PK8000-Mode", pk8000_main, true},
    {"specialist", "Specialist-Mode", specialist_main, true},
    {"tile", "Tile-Mode", tile_main},
    {"uknc", "UKNC-Mode", uknc_main},
    // Not a machine: a fixed picture and tone for testing the host itself.
    {"host-test-pattern", "Host-Test-Mode", host_test_pattern_main},
};

// Every machine Korvel knows, built into this program or not.
const Machine known_machines[] = {
    {"zx", "ZX-Mode", nullptr},
    {"ms0515", "MS0515-Mode", nullptr},
    {"pk8000", "PK8000-Mode", nullptr},
    {"specialist", "Specialist-Mode", nullptr},
    {"tile", "Tile-Mode", nullptr},
    {"uknc", "UKNC-Mode", nullptr},
};

std::string built_machine_names()
{
    std::string names;
    for (const Machine& m : machines) {
        if (m.main_routine == host_test_pattern_main)
            continue;
        names += names.empty() ? "" : ", ";
        names += m.name;
    }
    return names.empty() ? "none" : names;
}

} // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    std::string error;
    if (!host_parse_command_line(argc, argv, &options, &error)) {
        std::fprintf(stderr, "korvel: %s\nTry 'korvel --help'.\n", error.c_str());
        host_error_box(options, "korvel: " + error);
        return 2;
    }
    if (options.help) {
        std::fputs(host_usage_text(options.machine.c_str()).c_str(), stdout);
        std::printf("Machines built into this program: %s\n", built_machine_names().c_str());
        return 0;
    }
    if (options.version) {
        std::printf("Korvel %s\n", korvel_version);
        return 0;
    }

    if (!options.machine_given)
        if (const char* by_file = host_machine_for_file(options.argument_text))
            options.machine = by_file;
    const Machine* machine = nullptr;
    for (const Machine& m : machines)
        if (options.machine == m.name)
            machine = &m;
    if (!machine) {
        const Machine* known = nullptr;
        for (const Machine& m : known_machines)
            if (options.machine == m.name)
                known = &m;
        if (!known) {
            const std::string text = "korvel: unknown machine '" + options.machine +
                                     "' (built: " + built_machine_names() + ")";
            std::fprintf(stderr, "%s\nTry 'korvel --help'.\n", text.c_str());
            host_error_box(options, text);
            return 2;
        }
        std::printf("Korvel %s (%s)\n", korvel_version, known->mode);
        const std::string text = std::string("korvel: machine '") + known->name +
                                 "' is not available in this build (built: " + built_machine_names() + ")";
        std::fprintf(stderr, "%s\n", text.c_str());
        host_error_box(options, text);
        return 1;
    }

    ms0515_linear_disks = options.ms0515_linear_disks;
    if (options.cpu == "8080" && !machine->runs_8080) {
        const std::string text = std::string("korvel: machine '") + machine->name +
                                 "' has no 8080 (--cpu 8080 is for pk8000 and specialist)";
        std::fprintf(stderr, "%s\nTry 'korvel --help'.\n", text.c_str());
        host_error_box(options, text);
        return 2;
    }
    host_set_title_machine(title_of(machine->name));
#ifdef KORVEL_HAVE_UI
    ui_install(&options); // the on-screen interface of a window run
    if (!options.headless)
        debugger_install(options.debugger);
#endif
    host_startup(options, machine->mode);
    machine->main_routine();
    shutdown_host(); // a machine routine never returns; this keeps the end orderly if one does
}
