// --record-keys FILE: every change of the keyboard a machine sees, written as a keys file
// ("FRAME KEY down|up", the --keys format) so that `--headless --keys FILE` replays the
// session frame for frame.
//
// FRAME means the same in both directions: the number of frames presented so far
// (host_frame_count, which end_frame and pace_and_present both count, so a machine that
// shows one picture several times counts each showing). A replayed event of frame N is
// applied when N frames have been presented; the recorder therefore compares the keyboard
// at exactly that point, after the window's events of the frame were handled and before
// the machine takes its next key snapshot.
#pragma once

#include <cstdint>
#include <string>

// Name of a key code as the keys file reads it: "A", "F1", "LSHIFT", else "0x5F".
std::string key_name_from_code(uint8_t code);
// The lines of the changes between two key tables (0x80 = down), in code order.
std::string key_change_lines(uint32_t frame, const uint8_t (&before)[256], const uint8_t (&now)[256]);

// Creates the file and writes its heading; false with the reason.
bool key_recorder_open(const std::string& path, const std::string& machine, std::string* why);
bool key_recorder_active();
// Writes the changes of the keyboard the machine sees against the last call.
void key_recorder_frame(uint32_t frame, const uint8_t (&visible)[256]);
// Closes the file; false when something could not be written.
bool key_recorder_close();
