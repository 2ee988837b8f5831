// Whether a machine may run ahead of the display to get through slow input quickly.
#include "host/host_internal.h"

bool host_fast_forward_allowed()
{
    return host.backend && host.backend != &host_headless_backend && !host.options.no_fast_tape;
}
