// Specialist keys: the PK8000's key table and joystick bits, into the Specialist's own
// matrix (16 rows, bit set = key down) and joystick byte, rebuilt every frame. The I/O
// area that would read them is not emulated, so they are kept for the monitor and for a
// later keyboard port.
#include "machines/pk8000/pk8000.h"
#include "machines/specialist/specialist.h"

void specialist_build_inputs() { pk8000_build_key_inputs(specialist.keyboard_matrix, &specialist.joystick); }
