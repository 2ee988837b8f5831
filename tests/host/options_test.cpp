// The command line and the argument-text tokeniser.
#include <gtest/gtest.h>

#include <vector>

#include "host/options.h"

namespace {

bool parse(std::vector<const char*> args, HostOptions* o, std::string* error)
{
    args.insert(args.begin(), "korvel");
    return host_parse_command_line(int(args.size()), args.data(), o, error);
}

TEST(NextArgument, QuotedNameThenWordThenNothing)
{
    char buffer[1025];
    bool in_quote = false;
    const char* text = "  \"My Disk.dsk\"  B";
    const char* cursor = text;
    const char* t = host_next_token(&cursor, buffer, &in_quote);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t, "My Disk.dsk");
    t = host_next_token(&cursor, buffer, &in_quote);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t, "B");
    EXPECT_EQ(host_next_token(&cursor, buffer, &in_quote), nullptr);
    EXPECT_EQ(host_next_token(&cursor, buffer, &in_quote), nullptr);
}

TEST(NextArgument, LongTokenIsCutAndContinues)
{
    char buffer[1025];
    bool in_quote = false;
    std::string text(1500, 'a');
    text += " b";
    const char* cursor = text.c_str();
    EXPECT_EQ(std::string(host_next_token(&cursor, buffer, &in_quote)).size(), 1024u);
    EXPECT_EQ(std::string(host_next_token(&cursor, buffer, &in_quote)).size(), 476u);
    EXPECT_STREQ(host_next_token(&cursor, buffer, &in_quote), "b");
    // A quoted name cut at 1024: its rest keeps its blank and loses the closing quote.
    std::string quoted = "\"" + std::string(1020, 'q') + " with blank\" B";
    cursor = quoted.c_str();
    EXPECT_EQ(std::string(host_next_token(&cursor, buffer, &in_quote)), std::string(1020, 'q') + " wit");
    EXPECT_STREQ(host_next_token(&cursor, buffer, &in_quote), "h blank");
    EXPECT_STREQ(host_next_token(&cursor, buffer, &in_quote), "B");
    // An unterminated quote runs to the end.
    const char* open = "\"no end";
    cursor = open;
    EXPECT_STREQ(host_next_token(&cursor, buffer, &in_quote), "no end");
    EXPECT_EQ(host_next_token(&cursor, buffer, &in_quote), nullptr);
}

TEST(CommandLine, OptionsAreTakenOutOfTheArgumentText)
{
    HostOptions o;
    std::string error;
    ASSERT_TRUE(parse({"game.sna", "--headless", "--frames", "50", "--machine=ms0515", "--fps", "50.08",
                       "--screenshot-at", "3", "--screenshot-at=7", "--keys", "k.txt", "--wav", "a.wav",
                       "--data-dir", "/data", "--meter", "My Disk.dsk", "--ms0515-linear-disks", "--save-state-at", "9",
                       "--record-keys=r.txt", "--", "--literal"},
                      &o, &error))
        << error;
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.meter);
    EXPECT_TRUE(o.ms0515_linear_disks);
    EXPECT_EQ(o.frames, 50u);
    EXPECT_EQ(o.machine, "ms0515");
    EXPECT_EQ(o.fps_x256, 12820u); // 50.08 * 256 rounded
    EXPECT_EQ(o.screenshot_at, (std::vector<uint32_t>{3, 7}));
    EXPECT_EQ(o.keys_file, "k.txt");
    EXPECT_EQ(o.wav_file, "a.wav");
    EXPECT_EQ(o.data_dir, "/data");
    EXPECT_EQ(o.save_state_at, (std::vector<uint32_t>{9}));
    EXPECT_EQ(o.record_keys_file, "r.txt");
    EXPECT_EQ(o.argument_text, "game.sna \"My Disk.dsk\" --literal");
}

TEST(CommandLine, BadOptionsAndValuesAreRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"}, {"--frames"}, {"--frames", "0"}, {"--frames", "-3"}, {"--frames", "12x"},
        {"--frames", "99999999999"}, {"--fps", "5"}, {"--fps", "abc"}, {"--fps", "2000"},
        {"--screenshot-at", "0"}, {"--machine", ""}, {"--keys"}, {"--wav="}, {"--headless=1"}, {"--ms0515-linear-disks=1"},
        {"-x"} /* not an option: argument text */,
    };
    for (size_t i = 0; i + 1 < bad.size(); ++i) {
        HostOptions o;
        std::string error;
        EXPECT_FALSE(parse(bad[i], &o, &error)) << bad[i][0];
        EXPECT_FALSE(error.empty());
    }
    HostOptions o;
    std::string error;
    EXPECT_TRUE(parse(bad.back(), &o, &error));
    EXPECT_EQ(o.argument_text, "-x");
    // Each kind of option has one reason, whichever option of the kind it is.
    for (const auto& [args, reason] : std::vector<std::pair<std::vector<const char*>, std::string>>{
             {{"--version=1"}, "option --version takes no value"},
             {{"--record-rzx="}, "--record-rzx needs a file name"},
             {{"--load-state", ""}, "--load-state needs a file name"},
             {{"--save-state-at", "7x"}, "bad frame number for --save-state-at: '7x'"}}) {
        EXPECT_FALSE(parse(args, &o, &error));
        EXPECT_EQ(error, reason);
    }
}

// "-h" is the help, as "--help"; after "--" it is argument text like any word.
TEST(CommandLine, ShortHelp)
{
    for (const auto& [args, help] : std::vector<std::pair<std::vector<const char*>, bool>>{
             {{"-h"}, true}, {{"x.sna", "-h"}, true}, {{"--", "-h"}, false}, {{"-help"}, false}}) {
        HostOptions o;
        std::string error;
        ASSERT_TRUE(parse(args, &o, &error)) << error;
        EXPECT_EQ(o.help, help) << args.back();
        EXPECT_EQ(o.argument_text.find('h') != std::string::npos, !help) << args.back();
    }
}

TEST(CommandLine, Defaults)
{
    HostOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, &o, &error));
    EXPECT_EQ(o.machine, "zx");
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.frames, 0u);
    EXPECT_EQ(o.fps_x256, 0u);
    EXPECT_EQ(o.argument_text, "");
}

TEST(CommandLine, CpuChoice)
{
    for (const char* cpu : {"z80", "8080"}) {
        HostOptions o;
        std::string error;
        ASSERT_TRUE(parse({"--cpu", cpu}, &o, &error)) << error;
        EXPECT_EQ(o.cpu, cpu);
    }
    HostOptions o;
    std::string error;
    EXPECT_TRUE(o.cpu.empty()); // the machine's own processor
    EXPECT_FALSE(parse({"--cpu=Z80"}, &o, &error));
    EXPECT_NE(error.find("--cpu"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--cpu"}, &o, &error));
}

} // namespace
