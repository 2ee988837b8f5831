// One source for the option and hot-key lists: the README's and the manual page's lists
// are the texts the tables of src/host/usage.cpp make, every documented option is one the
// parser takes, and --help prints the tables. On a mismatch the corrected files are
// written into the build folder, ready to copy over the originals.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "host/options.h"
#include "host/usage.h"
#include "host_test_support.h"

namespace {

// Replaces the text between every "<begin> NAME<end-of-marker>" line and the next
// `end` line by generate(NAME); names lists the NAMEs met.
template <class Generate>
std::string regenerate(const std::string& text, const std::string& begin, const std::string& marker_end,
                       const std::string& end, Generate generate, std::set<std::string>* names)
{
    std::string out;
    size_t at = 0;
    for (;;) {
        const size_t b = text.find(begin, at);
        if (b == std::string::npos)
            break;
        const size_t name_end = text.find(marker_end, b + begin.size());
        const size_t line_end = text.find('\n', b);
        const size_t e = text.find(end, line_end);
        if (name_end == std::string::npos || line_end == std::string::npos || e == std::string::npos)
            break;
        const std::string name = text.substr(b + begin.size(), name_end - b - begin.size());
        names->insert(name);
        out += text.substr(at, line_end + 1 - at) + generate(name);
        at = e;
    }
    return out + text.substr(at);
}

std::string expected_readme(const std::string& readme, std::set<std::string>* keys)
{
    std::set<std::string> options;
    std::string text = regenerate(
        readme, "<!-- BEGIN ", " -->", "<!-- END ",
        [](const std::string& name) {
            if (name == "options")
                return "```\nkorvel [options] [argument text]\n" + host_usage_option_lines() + "```\n";
            return host_readme_keys(name.substr(name.find(' ') + 1).c_str());
        },
        &options);
    for (const std::string& n : options)
        if (n.rfind("keys ", 0) == 0)
            keys->insert(n.substr(5));
    EXPECT_TRUE(options.count("options")) << "README.md lacks <!-- BEGIN options --> ... <!-- END options -->";
    return text;
}

std::string expected_manual(const std::string& manual, std::set<std::string>* keys)
{
    std::set<std::string> blocks;
    std::string text = regenerate(
        manual, ".\\\" BEGIN ", "\n", ".\\\" END ",
        [](const std::string& name) {
            if (name == "options")
                return host_manual_options();
            return host_manual_keys(name.substr(name.find(' ') + 1).c_str());
        },
        &blocks);
    for (const std::string& n : blocks)
        if (n.rfind("keys ", 0) == 0)
            keys->insert(n.substr(5));
    EXPECT_TRUE(blocks.count("options")) << "doc/korvel.6 lacks .\\\" BEGIN options ... .\\\" END options";
    return text;
}

TEST(UsageDocs, ReadmeAndManualPageListTheTablesOptionsAndHotKeys)
{
    const std::string readme = host_test::read_file(KORVEL_SOURCE_DIR "/README.md");
    const std::string manual = host_test::read_file(KORVEL_SOURCE_DIR "/doc/korvel.6");
    std::set<std::string> readme_keys, manual_keys;
    const std::string want_readme = expected_readme(readme, &readme_keys);
    const std::string want_manual = expected_manual(manual, &manual_keys);
    if (want_readme != readme)
        host_test::write_file(KORVEL_BUILD_DIR "/README.md.expected", want_readme);
    if (want_manual != manual)
        host_test::write_file(KORVEL_BUILD_DIR "/korvel.6.expected", want_manual);
    EXPECT_TRUE(want_readme == readme) << "README.md differs from the tables; the corrected file is "
                                       << KORVEL_BUILD_DIR "/README.md.expected";
    EXPECT_TRUE(want_manual == manual) << "doc/korvel.6 differs from the tables; the corrected file is "
                                       << KORVEL_BUILD_DIR "/korvel.6.expected";

    // Every machine's keys are in both; the manual also has the keys of every machine.
    std::set<std::string> machines;
    for (const HostMachineDoc& m : host_machine_docs)
        machines.insert(m.name);
    for (const std::string& m : machines) {
        EXPECT_TRUE(readme_keys.count(m)) << "README.md has no hot-key table of " << m;
        EXPECT_TRUE(manual_keys.count(m)) << "doc/korvel.6 has no hot keys of " << m;
        EXPECT_NE(readme.find("## " + std::string(host_machine_doc(m.c_str())->section) + "\n"), std::string::npos)
            << "README.md has no section " << host_machine_doc(m.c_str())->section;
    }
    EXPECT_TRUE(manual_keys.count("*")) << "doc/korvel.6 lacks the keys of every machine";
    for (const HostKeyDoc& k : host_key_docs)
        EXPECT_TRUE(std::strcmp(k.machine, "*") == 0 || machines.count(k.machine)) << k.machine << ": " << k.keys;
}

TEST(UsageDocs, EveryDocumentedOptionIsTakenAndHelpShowsTheTables)
{
    for (const HostOptionDoc& o : host_option_docs) {
        std::vector<const char*> argv = {"korvel", o.name};
        const std::string value = o.value;
        const char* sample = value == "N" ? "5" : value == "HZ" ? "50" : value == "NAME" ? "zx"
                             : value == "z80|8080" ? "z80" : "x";
        if (!value.empty())
            argv.push_back(sample);
        HostOptions options;
        std::string error;
        EXPECT_TRUE(host_parse_command_line(int(argv.size()), argv.data(), &options, &error))
            << o.name << ": " << error;
        EXPECT_TRUE(options.argument_text.empty()) << o.name << " left \"" << options.argument_text << "\"";
    }
    for (const HostMachineDoc& m : host_machine_docs) {
        auto help = host_test::run_korvel({"--machine", m.name, "--help"});
        EXPECT_EQ(help.status, 0) << m.name;
        EXPECT_NE(help.output.find(host_usage_option_lines()), std::string::npos) << m.name;
        for (const HostKeyDoc& k : host_key_docs) {
            const bool own = std::strcmp(k.machine, "*") == 0 || std::strcmp(k.machine, m.name) == 0;
            const std::string line = std::string("  ") + k.keys;
            const size_t at = help.output.find(line);
            const bool listed = at != std::string::npos &&
                                help.output.find(k.action, at) != std::string::npos;
            if (own) {
                EXPECT_TRUE(listed) << m.name << " --help lacks " << k.keys;
            }
        }
    }
}

} // namespace
