// Screenshots: naming, the rectangle taken from the BackBuffer, and the PNG writer.
#include "host/screenshot.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

void screenshot_choose_name(char* name, size_t size, uint32_t* counter)
{
    for (;;) {
        std::snprintf(name, size, "ScreenShot_%03d.png", int(*counter));
        if (access(name, F_OK) != 0)
            return;
        ++*counter;
    }
}

bool screenshot_rectangle(uint32_t buffer_width, uint32_t buffer_height, uint32_t width,
                          uint32_t height, uint32_t* left, uint32_t* top, uint32_t* out_width,
                          uint32_t* out_height)
{
    // The picture is centred; the shot starts one row below its top. A request larger
    // than the buffer is clipped rather than read past the buffer's end.
    int64_t l = int64_t(buffer_width / 2) - int64_t(width / 2);
    int64_t t = int64_t(buffer_height / 2) - int64_t(height / 2) + 1;
    int64_t r = l + width, b = t + height;
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (r > int64_t(buffer_width)) r = buffer_width;
    if (b > int64_t(buffer_height)) b = buffer_height;
    if (r <= l || b <= t)
        return false;
    *left = uint32_t(l);
    *top = uint32_t(t);
    *out_width = uint32_t(r - l);
    *out_height = uint32_t(b - t);
    return true;
}

bool screenshot_write_png(const char* path, const uint32_t* pixels, uint32_t pitch,
                          uint32_t width, uint32_t height)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    std::vector<png_byte> row(size_t(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* src = pixels + size_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            row[3 * x] = png_byte(src[x] >> 16);
            row[3 * x + 1] = png_byte(src[x] >> 8);
            row[3 * x + 2] = png_byte(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}
