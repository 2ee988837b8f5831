// The SDL2 window backend (placeholder while it lands).
#include "host/host_internal.h"

const HostBackend* const host_sdl_backend = nullptr;
