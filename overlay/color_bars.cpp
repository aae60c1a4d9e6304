#include "overlay/color_bars.h"

const uint32_t ColorBarColors[COLOR_BAR_COUNT] = {
    0xFFFFFF, 0x00FFFF, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFF0000, 0x000000,
};

static uint8_t Clamp(int32_t value)
{
    return value < 0 ? 0 : value > 255 ? 255 : (uint8_t)value;
}

// C++ division truncates toward zero, which is what the formulas need: a
// floor would turn a slightly negative chroma numerator into 127.
static uint8_t Luma(int r, int g, int b)
{
    return Clamp((306 * r + 599 * g + 118 * b) / 1024);
}

static uint8_t BlueChroma(int r, int g, int b)
{
    return Clamp((522 * b - 345 * g - 176 * r) / 1024 + 128);
}

static uint8_t RedChroma(int r, int g, int b)
{
    return Clamp((522 * r - 435 * g - 86 * b) / 1024 + 128);
}

PixelPair ConvertPairYUY2(int r0, int g0, int b0, int r1, int g1, int b1)
{
    PixelPair pair = {{Luma(r0, g0, b0), BlueChroma(r0, g0, b0), Luma(r1, g1, b1), RedChroma(r0, g0, b0)}};
    return pair;
}

PixelPair ConvertPairUYVY(int r0, int g0, int b0, int r1, int g1, int b1)
{
    PixelPair pair = {{BlueChroma(r0, g0, b0), Luma(r0, g0, b0), RedChroma(r0, g0, b0), Luma(r1, g1, b1)}};
    return pair;
}

uint16_t PackRGB565(int r, int g, int b)
{
    return (uint16_t)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

uint32_t PictureStride(uint32_t width)
{
    return (width + 1) * 3 / 4 * 4;
}

static void ConvertRowYuv(PixelPair (*convert)(int, int, int, int, int, int), const uint8_t* source, uint8_t* target,
                          uint16_t width)
{
    uint32_t x = 0;
    for (; x + 1 < width; x += 2) {
        const PixelPair pair = convert(source[2], source[1], source[0], source[5], source[4], source[3]);
        target[0] = pair.bytes[0];
        target[1] = pair.bytes[1];
        target[2] = pair.bytes[2];
        target[3] = pair.bytes[3];
        source += 6;
        target += 4;
    }
    if (x < width) {
        const PixelPair pair = convert(source[2], source[1], source[0], source[2], source[1], source[0]);
        target[0] = pair.bytes[0];
        target[1] = pair.bytes[1];
    }
}

static void ConvertRowRgb565(const uint8_t* source, uint8_t* target, uint16_t width)
{
    for (uint32_t x = 0; x < width; x++) {
        const uint16_t value = PackRGB565(source[2], source[1], source[0]);
        target[0] = (uint8_t)value;
        target[1] = (uint8_t)(value >> 8);
        source += 3;
        target += 2;
    }
}

void ConvertPicture(SurfaceLayout layout, const uint8_t* picture, uint32_t stride, uint8_t* surface, int32_t pitch,
                    uint16_t width, uint16_t height)
{
    if (height == 0) return;
    // The picture is bottom-up and the surface top-down.
    const uint8_t* source = picture;
    uint8_t* target = surface + (intptr_t)(height - 1) * pitch;
    for (uint32_t row = 0; row < height; row++) {
        switch (layout) {
        case LAYOUT_YUY2: ConvertRowYuv(ConvertPairYUY2, source, target, width); break;
        case LAYOUT_UYVY: ConvertRowYuv(ConvertPairUYVY, source, target, width); break;
        case LAYOUT_RGB565: ConvertRowRgb565(source, target, width); break;
        }
        source += stride;
        target -= pitch;
    }
}

void DrawColorBarsWith(const ColorBarOps& ops, void* dc, const PictureRect& area)
{
    const int32_t width = area.right - area.left;
    const int32_t height = area.bottom - area.top;
    const int32_t bar = width / COLOR_BAR_COUNT;
    const int32_t remainder = width % COLOR_BAR_COUNT;
    int32_t left = 0;
    for (int i = 0; i < COLOR_BAR_COUNT; i++) {
        const int32_t right = left + bar + (i == 0 ? remainder : 0);
        void* brush = ops.CreateSolidBrush(ColorBarColors[i]);
        void* previous = ops.SelectObject(dc, brush);
        const PictureRect rect = {left, 0, right, height};
        ops.FillRect(dc, &rect, brush);
        ops.SelectObject(dc, previous);
        ops.DeleteObject(brush);
        left = right;
    }
}

int FillSurfaceWith(const ColorBarOps& ops, SurfaceLayout layout, void* memory, int32_t pitch, uint16_t width,
                    uint16_t height)
{
    const uint32_t stride = PictureStride(width);
    const uint32_t bytes = stride * height;
    int filled = 0;
    void* screen = nullptr;
    void* baseBitmap = nullptr;
    void* targetBitmap = nullptr;
    void* baseDc = nullptr;
    void* targetDc = nullptr;

    uint8_t* picture = (uint8_t*)ops.GlobalAlloc(GMEM_FIXED_FLAG, bytes);
    if (picture == nullptr) return 0;
    screen = ops.GetDC(nullptr);
    if (screen == nullptr) goto release;
    baseBitmap = ops.CreateCompatibleBitmap(screen, BASE_PICTURE_WIDTH, BASE_PICTURE_HEIGHT);
    targetBitmap = ops.CreateCompatibleBitmap(screen, width, height);
    baseDc = ops.CreateCompatibleDC(screen);
    targetDc = ops.CreateCompatibleDC(screen);
    if (baseBitmap != nullptr && targetBitmap != nullptr && baseDc != nullptr && targetDc != nullptr) {
        void* previousBase = ops.SelectObject(baseDc, baseBitmap);
        void* previousTarget = ops.SelectObject(targetDc, targetBitmap);
        const PictureRect base = {0, 0, BASE_PICTURE_WIDTH, BASE_PICTURE_HEIGHT};
        DrawColorBarsWith(ops, baseDc, base);
        // Both results are ignored: whatever GDI left in the buffer is shown.
        ops.StretchBlt(targetDc, 0, 0, width, height, baseDc, 0, 0, BASE_PICTURE_WIDTH, BASE_PICTURE_HEIGHT,
                       SRCCOPY_ROP);
        PictureHeader header = {40, width, height, 1, 24, 0, bytes, 0, 0, 0, 0};
        ops.GetDIBits(targetDc, targetBitmap, 0, height, picture, &header, DIB_RGB_COLORS_USAGE);
        ConvertPicture(layout, picture, stride, (uint8_t*)memory, pitch, width, height);
        ops.SelectObject(targetDc, previousTarget);
        ops.SelectObject(baseDc, previousBase);
        filled = 1;
    }
    if (targetDc != nullptr) ops.DeleteDC(targetDc);
    if (baseDc != nullptr) ops.DeleteDC(baseDc);
    if (targetBitmap != nullptr) ops.DeleteObject(targetBitmap);
    if (baseBitmap != nullptr) ops.DeleteObject(baseBitmap);
    ops.ReleaseDC(nullptr, screen);
release:
    ops.GlobalFree(picture);
    return filled;
}
