#include <windows.h>

#include "overlay/color_bars.h"

namespace {

static_assert(sizeof(PictureHeader) == sizeof(BITMAPINFOHEADER), "BITMAPINFOHEADER layout");
static_assert(sizeof(PictureRect) == sizeof(RECT), "RECT layout");

int ReadBits(void* dc, void* bitmap, uint32_t start, uint32_t lines, void* bits, PictureHeader* header, uint32_t usage)
{
    // A 24-bit request has no colour table, so the header alone is the BITMAPINFO.
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    CopyMemory(&info.bmiHeader, header, sizeof info.bmiHeader);
    const int linesRead = GetDIBits((HDC)dc, (HBITMAP)bitmap, start, lines, bits, &info, usage);
    CopyMemory(header, &info.bmiHeader, sizeof info.bmiHeader);
    return linesRead;
}

const ColorBarOps platformColorBarOps = {
    [](uint32_t flags, size_t bytes) -> void* { return (void*)GlobalAlloc(flags, bytes); },
    [](void* block) { GlobalFree((HGLOBAL)block); },
    [](void* window) -> void* { return (void*)GetDC((HWND)window); },
    [](void* window, void* dc) -> int { return ReleaseDC((HWND)window, (HDC)dc); },
    [](void* dc, int width, int height) -> void* { return (void*)CreateCompatibleBitmap((HDC)dc, width, height); },
    [](void* dc) -> void* { return (void*)CreateCompatibleDC((HDC)dc); },
    [](void* dc, void* object) -> void* { return (void*)SelectObject((HDC)dc, (HGDIOBJ)object); },
    [](void* dc) -> int { return DeleteDC((HDC)dc) ? 1 : 0; },
    [](void* object) -> int { return DeleteObject((HGDIOBJ)object) ? 1 : 0; },
    [](uint32_t color) -> void* { return (void*)CreateSolidBrush(color); },
    [](void* dc, const PictureRect* rect, void* brush) -> int {
        return FillRect((HDC)dc, (const RECT*)rect, (HBRUSH)brush);
    },
    [](void* target, int x, int y, int width, int height, void* source, int sourceX, int sourceY, int sourceWidth,
       int sourceHeight, uint32_t rop) -> int {
        return StretchBlt((HDC)target, x, y, width, height, (HDC)source, sourceX, sourceY, sourceWidth, sourceHeight,
                          rop)
                   ? 1
                   : 0;
    },
    ReadBits,
};

}  // namespace

void DrawColorBars(void* dc, const PictureRect& area)
{
    DrawColorBarsWith(platformColorBarOps, dc, area);
}

int FillYUY2(void* memory, int32_t pitch, uint16_t width, uint16_t height)
{
    return FillSurfaceWith(platformColorBarOps, LAYOUT_YUY2, memory, pitch, width, height);
}

int FillUYVY(void* memory, int32_t pitch, uint16_t width, uint16_t height)
{
    return FillSurfaceWith(platformColorBarOps, LAYOUT_UYVY, memory, pitch, width, height);
}

int FillRGB565(void* memory, int32_t pitch, uint16_t width, uint16_t height)
{
    return FillSurfaceWith(platformColorBarOps, LAYOUT_RGB565, memory, pitch, width, height);
}
