// SDL game controllers, hot-plugged, as the machine's joystick or its arrow keys.
#include "ui/ui_internal.h"

#include <algorithm>

#include "host/host.h"

namespace {

constexpr int16_t stick_threshold = 16000;

void add_pad(int index)
{
    if (!SDL_IsGameController(index))
        return;
    SDL_GameController* pad = SDL_GameControllerOpen(index);
    if (!pad)
        return;
    for (SDL_GameController* p : ui.pads)
        if (p == pad)
            return;
    ui.pads.push_back(pad);
    const char* name = SDL_GameControllerName(pad);
    std::printf("Gamepad connected: %s\n", name ? name : "?");
    ui_notify(std::string("Gamepad connected: ") + (name ? name : "?"));
}

void remove_pad(SDL_JoystickID id)
{
    for (size_t i = 0; i < ui.pads.size(); ++i) {
        SDL_Joystick* j = SDL_GameControllerGetJoystick(ui.pads[i]);
        if (j && SDL_JoystickInstanceID(j) == id) {
            SDL_GameControllerClose(ui.pads[i]);
            ui.pads.erase(ui.pads.begin() + long(i));
            ui_notify("Gamepad disconnected");
            return;
        }
    }
}

void apply(const PadOutput& out)
{
    // Keys the pad held and no longer holds are released; new ones pressed.
    for (int i = 0; i < ui.pad_output.key_count; ++i) {
        uint8_t code = ui.pad_output.keys[i];
        if (std::find(out.keys, out.keys + out.key_count, code) == out.keys + out.key_count)
            KeyState[code] = 0;
    }
    for (int i = 0; i < out.key_count; ++i)
        KeyState[out.keys[i]] = 0x80;
    host_kempston = out.kempston;
    ui.pad_output = out;
}

} // namespace

void ui_gamepad_open()
{
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        add_pad(i);
}

bool ui_gamepad_event(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
        add_pad(e.cdevice.which);
        return true;
    case SDL_CONTROLLERDEVICEREMOVED:
        remove_pad(e.cdevice.which);
        return true;
    default:
        return false;
    }
}

void ui_gamepad_frame()
{
    if (ui.pads.empty() && ui.pad_output.key_count == 0 && ui.pad_output.kempston == 0)
        return;
    PadInput in;
    if (!ui.open) {
        for (SDL_GameController* pad : ui.pads) {
            auto button = [&](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
            int16_t x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
            int16_t y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
            in.up = in.up || button(SDL_CONTROLLER_BUTTON_DPAD_UP) || y < -stick_threshold;
            in.down = in.down || button(SDL_CONTROLLER_BUTTON_DPAD_DOWN) || y > stick_threshold;
            in.left = in.left || button(SDL_CONTROLLER_BUTTON_DPAD_LEFT) || x < -stick_threshold;
            in.right = in.right || button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) || x > stick_threshold;
            in.buttons[0] = in.buttons[0] || button(SDL_CONTROLLER_BUTTON_A);
            in.buttons[1] = in.buttons[1] || button(SDL_CONTROLLER_BUTTON_B);
            in.buttons[2] = in.buttons[2] || button(SDL_CONTROLLER_BUTTON_X);
            in.buttons[3] = in.buttons[3] || button(SDL_CONTROLLER_BUTTON_Y);
        }
    }
    const MachineUi* m = machine_ui();
    apply(pad_map(ui.pad_mapping, m ? m->joystick : MachineJoystick::NONE, in));
}

void ui_set_pad_mapping(const PadMapping& mapping)
{
    ui.pad_mapping = mapping;
    ui_settings_changed();
}
