// Screenshot files: the first free "ScreenShot_%03d.png" and a libpng writer.
#pragma once

#include <cstddef>
#include <cstdint>

// Formats the name for *counter, stepping the counter over names that already exist in
// the working directory. The counter keeps the value that was used.
void screenshot_choose_name(char* name, size_t size, uint32_t* counter);
// Writes width x height pixels of 0x00RRGGBB (rows pitch pixels apart) as an RGB PNG.
bool screenshot_write_png(const char* path, const uint32_t* pixels, uint32_t pitch,
                          uint32_t width, uint32_t height);
// The rectangle a screenshot takes from the BackBuffer for a requested client size: one
// row below the centred top, clipped to the buffer. False when nothing is left.
bool screenshot_rectangle(uint32_t buffer_width, uint32_t buffer_height, uint32_t width,
                          uint32_t height, uint32_t* left, uint32_t* top, uint32_t* out_width,
                          uint32_t* out_height);
