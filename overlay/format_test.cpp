#include "overlay/format_test.h"

#include "app/machine_record.h"
#include "app/text_format.h"

KeyKind ColorKeyFor(const SurfaceInfo& primary, uint32_t* key)
{
    switch (primary.rgbBitCount) {
    case 8: return KEY_PALETTE;
    case 15:
    case 16:
        if (primary.redMask == 0x7C00 && primary.greenMask == 0x03E0 && primary.blueMask == 0x001F) {
            *key = 0x7C1F;
            return KEY_VALUE;
        }
        if (primary.redMask == 0xF800 && primary.greenMask == 0x07E0 && primary.blueMask == 0x001F) {
            *key = 0xF81F;
            return KEY_VALUE;
        }
        // Other 16-bit layouts have no known magenta; keying to a guess would
        // show the overlay over the wrong pixels, so the format fails.
        return KEY_NONE;
    case 24:
    case 32: *key = 0xFF00FF; return KEY_VALUE;
    default: return KEY_NONE;
    }
}

void FormatOverlayCaption(char* out, int capacity, const char* title, int allFormats, OverlayFormat format)
{
    if (allFormats) {
        FormatText(out, (size_t)capacity, "%s - %s", title, OverlayFormatName(format));
    } else {
        CopyText(out, (size_t)capacity, title);
    }
}

int FindMagentaPaletteIndex(const FormatTestOps& ops, void* window, uint32_t* index)
{
    void* dc = ops.GetDC(window);
    if (dc == nullptr) return 0;
    int found = 0;
    for (uint32_t i = 0; i < 256; i++) {
        uint8_t red = 0, green = 0, blue = 0;
        if (ops.GetSystemPaletteEntry(dc, i, &red, &green, &blue) == 0) break;
        if (red == 255 && green == 0 && blue == 255) {
            *index = i;
            found = 1;
            break;
        }
    }
    ops.ReleaseDC(window, dc);
    return found;
}

static int ChooseColorKey(const FormatTestOps& ops, void* window, const SurfaceInfo& primary, uint32_t* key)
{
    switch (ColorKeyFor(primary, key)) {
    case KEY_VALUE: return 1;
    case KEY_PALETTE: return FindMagentaPaletteIndex(ops, window, key);
    default: return 0;
    }
}

// The fill writes through the address of a lock held for it, and only when
// the surface the driver made holds the whole picture.
static void FillOverlay(const DirectDrawOps& dd, const FormatTestOps& ops, uint16_t width, uint16_t height,
                        OverlayFormat format)
{
    void* memory = nullptr;
    int32_t pitch = 0;
    uint32_t surfaceWidth = 0, surfaceHeight = 0;
    if (!LockOverlaySurfaceWith(dd, &memory, &pitch, &surfaceWidth, &surfaceHeight)) return;
    if (memory != nullptr && surfaceWidth >= width && surfaceHeight >= height && pitch >= (int32_t)width * 2) {
        ops.Fill(format, memory, pitch, width, height);
    }
    UnlockOverlaySurfaceWith(dd, memory);
}

int TestOverlayFormatWith(const DirectDrawOps& dd, const FormatTestOps& ops, void* window, uint16_t width,
                          uint16_t height, OverlayFormat format)
{
    int supported = 0;
    if (!QueryOverlaySupportWith(dd, &supported) || !supported) return 0;
    if (!CreateOverlaySurfacesWith(dd, window, width, height, format)) return 0;

    int answeredYes = 0;
    SurfaceInfo infos[2];
    uint32_t key = 0;
    OverlayRect source = {0, 0, width, height};
    OverlayRect target = {0, 0, 0, 0};
    if (!QuerySurfaceInfosWith(dd, infos)) goto release;
    if (!ChooseColorKey(ops, window, infos[0], &key)) goto release;
    if (!SetOverlayColorKeyWith(dd, key, key)) goto release;

    ops.GetClientRect(window, &target);
    ops.ClientToScreen(window, &target.right, &target.bottom);
    ops.ClientToScreen(window, &target.left, &target.top);

    FillOverlay(dd, ops, width, height, format);
    if (!ShowOverlayWith(dd, source, target)) goto release;
    {
        char caption[OVERLAY_CAPTION_CAPACITY];
        FormatOverlayCaption(caption, sizeof caption, programTitle, allOverlayFormats, format);
        answeredYes =
            ops.MessageBoxA(window, ops.LoadText(TEXT_OVERLAY_QUESTION), caption, MB_YESNO_TYPE) == IDYES_ANSWER;
    }
    HideOverlayWith(dd, source, target);
release:
    ReleaseOverlaySurfacesWith(dd);
    return answeredYes;
}
