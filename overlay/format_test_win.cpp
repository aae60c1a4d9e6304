#include <windows.h>

#include "app/texts.h"
#include "overlay/color_bars.h"
#include "overlay/format_test.h"

namespace {

uint32_t ReadPaletteEntry(void* dc, uint32_t index, uint8_t* red, uint8_t* green, uint8_t* blue)
{
    PALETTEENTRY entry = {0, 0, 0, 0};
    const UINT read = GetSystemPaletteEntries((HDC)dc, index, 1, &entry);
    *red = entry.peRed;
    *green = entry.peGreen;
    *blue = entry.peBlue;
    return read;
}

int ConvertToScreen(void* window, int32_t* x, int32_t* y)
{
    POINT point = {*x, *y};
    const BOOL ok = ClientToScreen((HWND)window, &point);
    *x = point.x;
    *y = point.y;
    return ok ? 1 : 0;
}

int FillByFormat(OverlayFormat format, void* memory, int32_t pitch, uint16_t width, uint16_t height)
{
    switch (format) {
    case OVERLAY_YUY2: return FillYUY2(memory, pitch, width, height);
    case OVERLAY_UYVY: return FillUYVY(memory, pitch, width, height);
    case OVERLAY_RGB565: return FillRGB565(memory, pitch, width, height);
    default: return 0;
    }
}

const FormatTestOps platformFormatTestOps = {
    [](void* window) -> void* { return (void*)GetDC((HWND)window); },
    [](void* window, void* dc) -> int { return ReleaseDC((HWND)window, (HDC)dc); },
    ReadPaletteEntry,
    [](void* window, OverlayRect* rect) -> int { return GetClientRect((HWND)window, (RECT*)rect) ? 1 : 0; },
    ConvertToScreen,
    [](void* owner, const char* text, const char* caption, uint32_t type) -> int {
        return MessageBoxA((HWND)owner, text, caption, type);
    },
    LoadText,
    FillByFormat,
};

}  // namespace

int TestOverlayFormat(void* window, uint16_t width, uint16_t height, OverlayFormat format)
{
    return TestOverlayFormatWith(platformDirectDrawOps, platformFormatTestOps, window, width, height, format);
}
