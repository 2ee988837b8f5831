// The interface's seam: the hooks the backend calls, messages for the screen, the machine's
// table for the menus.
#include <cstdarg>
#include <cstdio>

#include "host/host.h"
#include "host/host_ui.h"
#include "host/machine_ui.h"

HostUiHooks host_ui_hooks{};
uint8_t host_kempston = 0;

static const MachineUi* registered_machine_ui = nullptr;

void machine_ui_register(const MachineUi* ui) { registered_machine_ui = ui; }
const MachineUi* machine_ui() { return registered_machine_ui; }

void host_notify(const char* text)
{
    if (host_ui_hooks.notify && text)
        host_ui_hooks.notify(text);
}

void host_notifyf(const char* format, ...)
{
    if (!host_ui_hooks.notify)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    host_ui_hooks.notify(text);
}
