// The colour-bar test picture and its conversion into overlay surface memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { COLOR_BAR_COUNT = 8, BASE_PICTURE_WIDTH = 640, BASE_PICTURE_HEIGHT = 480 };

// COLORREF values (0x00BBGGRR), left to right.
extern const uint32_t ColorBarColors[COLOR_BAR_COUNT];

struct PixelPair {
    uint8_t bytes[4];
};

PixelPair ConvertPairYUY2(int r0, int g0, int b0, int r1, int g1, int b1);
PixelPair ConvertPairUYVY(int r0, int g0, int b0, int r1, int g1, int b1);
uint16_t PackRGB565(int r, int g, int b);

// Pixel layouts of the fills; the values are the overlay format codes.
enum SurfaceLayout { LAYOUT_YUY2 = 1, LAYOUT_UYVY = 2, LAYOUT_RGB565 = 3 };

// Bytes per row of the bottom-up 24-bit picture buffer: 3 * width rounded up to 4.
uint32_t PictureStride(uint32_t width);

// Converts the bottom-up 24-bit picture (blue, green, red) into a top-down
// surface of `pitch` bytes per row, writing exactly width * 2 bytes per row.
// An odd width ends each row with an unpaired pixel: it is converted as a pair
// with itself and only its first two bytes are written, so neither the
// picture row nor the surface row is overrun.
void ConvertPicture(SurfaceLayout layout, const uint8_t* picture, uint32_t stride, uint8_t* surface, int32_t pitch,
                    uint16_t width, uint16_t height);

struct PictureRect {
    int32_t left, top, right, bottom;
};

// The 40-byte BITMAPINFOHEADER, field for field.
struct PictureHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};

// What drawing and reading back the picture needs from GDI.
struct ColorBarOps {
    void* (*GlobalAlloc)(uint32_t flags, size_t bytes);
    void (*GlobalFree)(void* block);
    void* (*GetDC)(void* window);
    int (*ReleaseDC)(void* window, void* dc);
    void* (*CreateCompatibleBitmap)(void* dc, int width, int height);
    void* (*CreateCompatibleDC)(void* dc);
    void* (*SelectObject)(void* dc, void* object);
    int (*DeleteDC)(void* dc);
    int (*DeleteObject)(void* object);
    void* (*CreateSolidBrush)(uint32_t color);
    int (*FillRect)(void* dc, const PictureRect* rect, void* brush);
    int (*StretchBlt)(void* target, int x, int y, int width, int height, void* source, int sourceX, int sourceY,
                      int sourceWidth, int sourceHeight, uint32_t rop);
    int (*GetDIBits)(void* dc, void* bitmap, uint32_t start, uint32_t lines, void* bits, PictureHeader* header,
                     uint32_t usage);
};

enum : uint32_t { GMEM_FIXED_FLAG = 0, SRCCOPY_ROP = 0x00CC0020, DIB_RGB_COLORS_USAGE = 0 };

// Paints the eight bars over (0, 0, width of area, height of area).
void DrawColorBarsWith(const ColorBarOps& ops, void* dc, const PictureRect& area);

// Draws the picture at width x height and converts it into the surface; 0
// when a buffer, device context or bitmap was not available, and then the
// surface is untouched.
int FillSurfaceWith(const ColorBarOps& ops, SurfaceLayout layout, void* memory, int32_t pitch, uint16_t width,
                    uint16_t height);

// Platform side.
void DrawColorBars(void* dc, const PictureRect& area);
int FillYUY2(void* memory, int32_t pitch, uint16_t width, uint16_t height);
int FillUYVY(void* memory, int32_t pitch, uint16_t width, uint16_t height);
int FillRGB565(void* memory, int32_t pitch, uint16_t width, uint16_t height);
