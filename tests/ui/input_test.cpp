// Gamepad mapping, the ZX typing chords, chords pressed for the machine, and the machines'
// hot-key tables that the menus press.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/host.h"
#include "host/machine_ui.h"
#include "ui/gamepad_map.h"
#include "ui/key_presses.h"
#include "ui/ui_internal.h"

extern const MachineUi zx_machine_ui;
extern const MachineUi uknc_machine_ui;
extern const MachineUi ms0515_machine_ui;
extern const MachineUi pk8000_machine_ui;
extern const MachineUi specialist_machine_ui;
extern const MachineUi tile_machine_ui;

namespace {

constexpr uint8_t up = 0xC8, down = 0xD0, left = 0xCB, right = 0xCD, space = 0x39, enter = 0x1C, lctrl = 0x1D,
                  lshift = 0x2A;

std::vector<uint8_t> held(const PadOutput& o) { return std::vector<uint8_t>(o.keys, o.keys + o.key_count); }

TEST(Gamepad, StickAndButtonsReachTheJoystickOrTheKeys)
{
    PadMapping standard; // joystick, A fire, B space, X enter
    PadMapping arrows;
    arrows.target = PadTarget::ARROWS;
    arrows.buttons[3] = PadAction::CTRL;
    auto input = [](bool u, bool d, bool l, bool r, bool a, bool b, bool x, bool y) {
        PadInput in;
        in.up = u, in.down = d, in.left = l, in.right = r;
        in.buttons[0] = a, in.buttons[1] = b, in.buttons[2] = x, in.buttons[3] = y;
        return in;
    };
    const struct {
        const PadMapping* mapping;
        MachineJoystick machine;
        PadInput in;
        uint8_t kempston;
        std::vector<uint8_t> keys;
    } cases[] = {
        // ZX, Kempston: bit 0 right, 1 left, 2 down, 3 up, 4 fire; B and X still press keys.
        {&standard, MachineJoystick::KEMPSTON, input(1, 0, 0, 1, 1, 0, 0, 0), 0x19, {}},
        {&standard, MachineJoystick::KEMPSTON, input(0, 1, 1, 0, 0, 1, 1, 0), 0x06, {space, enter}},
        {&standard, MachineJoystick::KEMPSTON, input(0, 0, 0, 0, 0, 0, 0, 1), 0x00, {}}, // Y: nothing
        // The same pad set to arrows on the ZX: cursor keys, fire becomes Space.
        {&arrows, MachineJoystick::KEMPSTON, input(1, 0, 1, 0, 1, 0, 0, 1), 0x00, {up, left, space, lctrl}},
        // PK8000: its joystick is the arrows with Space.
        {&standard, MachineJoystick::KEYS, input(0, 1, 0, 1, 1, 1, 0, 0), 0x00, {down, right, space}},
        // No joystick: arrows, whatever the target.
        {&standard, MachineJoystick::NONE, input(1, 1, 1, 1, 0, 0, 1, 0), 0x00, {up, down, left, right, enter}},
        {&standard, MachineJoystick::NONE, PadInput{}, 0x00, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        PadOutput out = pad_map(*cases[i].mapping, cases[i].machine, cases[i].in);
        EXPECT_EQ(out.kempston, cases[i].kempston) << "case " << i;
        EXPECT_EQ(held(out), cases[i].keys) << "case " << i;
    }

    // The settings text round trip; unknown words keep the defaults and are reported.
    EXPECT_EQ(pad_mapping_format(standard), "joystick a=fire b=space x=enter y=none");
    PadMapping parsed;
    ASSERT_TRUE(pad_mapping_parse(pad_mapping_format(arrows), &parsed));
    EXPECT_EQ(pad_mapping_format(parsed), pad_mapping_format(arrows));
    PadMapping partly;
    EXPECT_FALSE(pad_mapping_parse("arrows a=jump q=fire b=enter", &partly));
    EXPECT_EQ(pad_mapping_format(partly), "arrows a=fire b=enter x=enter y=none");
    PadMapping empty;
    EXPECT_TRUE(pad_mapping_parse("", &empty));
    EXPECT_EQ(pad_mapping_format(empty), pad_mapping_format(standard));
}

TEST(Gamepad, ZxTypingModeTypesPcCharactersThroughSymbolShift)
{
    const struct {
        char32_t c;
        std::vector<uint8_t> chord;
    } cases[] = {
        {'a', {0x1E}},          {'A', {lshift, 0x1E}},  {'7', {0x08}},          {'0', {0x0B}},
        {' ', {space}},         {'"', {lctrl, 0x19}},   {';', {lctrl, 0x18}},   {':', {lctrl, 0x2C}},
        {'!', {lctrl, 0x02}},   {'_', {lctrl, 0x0B}},   {'\'', {lctrl, 0x08}},  {'<', {lctrl, 0x13}},
        {'>', {lctrl, 0x14}},   {'?', {lctrl, 0x2E}},   {'/', {lctrl, 0x2F}},   {'*', {lctrl, 0x30}},
        {',', {lctrl, 0x31}},   {'.', {lctrl, 0x32}},   {'+', {lctrl, 0x25}},   {'-', {lctrl, 0x24}},
        {'=', {lctrl, 0x26}},   {'^', {lctrl, 0x23}},   {U'£', {lctrl, 0x2D}},  {'[', {}},
        {'~', {}},              {U'ж', {}},
    };
    for (const auto& c : cases) {
        KeyChord chord = zx_typing_chord(c.c);
        EXPECT_EQ(std::vector<uint8_t>(chord.codes, chord.codes + chord.count), c.chord) << uint32_t(c.c);
    }
}

TEST(KeyPresses, ChordsAreHeldAndReleasedOneAfterAnother)
{
    KeyPresses p;
    uint8_t keys[256] = {};
    const uint8_t reset[4] = {0x1D, 0x9D};
    const uint8_t letter[1] = {0x1E};
    key_presses_push(&p, reset, 4);           // a hot key: one frame
    key_presses_push(&p, letter, 1, 3, 2);    // a typed letter: three frames, two up
    key_presses_push(&p, nullptr, 0);         // nothing: ignored
    std::string seen;
    for (int frame = 0; frame < 12; ++frame) {
        key_presses_step(&p, keys);
        seen += keys[0x1D] && keys[0x9D] ? 'R' : keys[0x1E] ? 'A' : '.';
        EXPECT_FALSE(keys[0x1D] && keys[0x1E]);
    }
    EXPECT_EQ(seen, "R.AAA.......");
    EXPECT_FALSE(key_presses_busy(p));
    keys[0x1E] = 0x80; // a key the user holds is not released by an empty queue
    key_presses_step(&p, keys);
    EXPECT_EQ(keys[0x1E], 0x80);
}

// The name of a key code as the hot-key tables write it.
const std::map<uint8_t, std::string> key_names = {
    {0x1D, "Left Ctrl"}, {0x9D, "Right Ctrl"}, {0x2A, "Left Shift"}, {0xDB, "Left Windows"},
    {0x29, "` (grave)"}, {0xD3, "Delete"},     {0xB7, "Print Screen"}, {0x46, "Scroll Lock"},
    {0xC5, "Pause"},     {0x42, "F8"},         {0x44, "F10"},          {0x40, "F6"},
    {0x45, "NumLock"},   {0xC9, "PgUp"},       {0xDD, "Apps (Menu)"},  {0x02, "1"},
    {0x0B, "0"},         {0x26, "L"},          {0x1F, "S"},            {0x21, "F"},
    {0x19, "P"},         {0x14, "T"},
};

TEST(HotKeyTables, EveryMachinesKeysAreTheCodesTheyName)
{
    const MachineUi* machines[] = {&zx_machine_ui,         &uknc_machine_ui,       &ms0515_machine_ui,
                                   &pk8000_machine_ui,     &specialist_machine_ui, &tile_machine_ui};
    for (const MachineUi* m : machines) {
        bool has_reset = false;
        for (size_t i = 0; i < m->hot_key_count; ++i) {
            const MachineHotKey& k = m->hot_keys[i];
            // "A + B + C": each name is the code in its place; "X / Y": the codes are X's.
            std::string expected;
            for (int c = 0; c < 4 && k.codes[c]; ++c) {
                auto name = key_names.find(k.codes[c]);
                ASSERT_NE(name, key_names.end()) << m->name << ": " << k.keys;
                expected += (c ? " + " : "") + name->second;
            }
            std::string keys = k.keys;
            std::string shown = keys.substr(0, keys.find(" / "));
            EXPECT_EQ(shown, expected) << m->name << " row " << i;
            EXPECT_TRUE(k.action && *k.action) << m->name;
            if (k.role == MachineHotKey::DISPLAY) {
                EXPECT_GE(k.cycle, 2) << m->name << ": " << k.keys;
            }
            has_reset = has_reset || k.role == MachineHotKey::RESET || k.role == MachineHotKey::RESTART;
        }
        EXPECT_TRUE(has_reset || std::string(m->name) == "ms0515") << m->name;
        for (size_t d = 0; d < m->drive_count; ++d)
            EXPECT_NE(std::string(m->drives[d].kinds).find('.'), std::string::npos) << m->name;
    }
}

// The real hot-plug path with a pad SDL makes up (plugged in, driving, unplugged).
TEST(Gamepad, AVirtualPadIsPluggedInDrivesTheMachineAndIsUnplugged)
{
    ui = UiState{};
    machine_ui_register(&zx_machine_ui);
    ui_gamepad_open();
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER))
        GTEST_SKIP() << "SDL game controllers unavailable: " << SDL_GetError();
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                          SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    auto pump = [] {
        SDL_GameControllerUpdate();
        for (SDL_Event e; SDL_PollEvent(&e);)
            ui_gamepad_event(e);
        ui_gamepad_frame();
    };
    pump();
    ASSERT_EQ(ui.pads.size(), 1u);
    SDL_Joystick* stick = SDL_GameControllerGetJoystick(ui.pads[0]);
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_A, 1);
    pump();
    EXPECT_EQ(host_kempston, 0x11); // right + fire
    ui.pad_mapping.target = PadTarget::ARROWS;
    pump();
    EXPECT_EQ(host_kempston, 0);
    EXPECT_EQ(KeyState[right], 0x80);
    SDL_JoystickDetachVirtual(index);
    pump();
    pump();
    EXPECT_TRUE(ui.pads.empty());
    EXPECT_EQ(KeyState[right] | host_kempston, 0);
    machine_ui_register(nullptr);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

} // namespace
