// The test of one overlay pixel format: surfaces, colour key, picture, the
// keyed overlay and the user's answer.
#pragma once

#include <stdint.h>

#include "overlay/ddraw_context.h"

enum : uint32_t { MB_YESNO_TYPE = 4, IDYES_ANSWER = 6, OVERLAY_CAPTION_CAPACITY = 128 };

// Magenta in the primary surface's pixel format, from its SurfaceInfo; 0
// when the depth has no key. An 8-bit primary needs the palette search.
enum KeyKind { KEY_NONE, KEY_VALUE, KEY_PALETTE };
KeyKind ColorKeyFor(const SurfaceInfo& primary, uint32_t* key);

// The question box's caption: the title, and with "/ALLOVL" the format's name.
void FormatOverlayCaption(char* out, int capacity, const char* title, int allFormats, OverlayFormat format);

// What the format test needs of the platform besides DirectDraw.
struct FormatTestOps {
    void* (*GetDC)(void* window);
    int (*ReleaseDC)(void* window, void* dc);
    // GetSystemPaletteEntries for one entry; the number of entries read.
    uint32_t (*GetSystemPaletteEntry)(void* dc, uint32_t index, uint8_t* red, uint8_t* green, uint8_t* blue);
    int (*GetClientRect)(void* window, OverlayRect* rect);
    int (*ClientToScreen)(void* window, int32_t* x, int32_t* y);
    int (*MessageBoxA)(void* owner, const char* text, const char* caption, uint32_t type);
    const char* (*LoadText)(int baseId);
    // FillYUY2, FillUYVY or FillRGB565 by the format.
    int (*Fill)(OverlayFormat format, void* memory, int32_t pitch, uint16_t width, uint16_t height);
};

// The magenta palette index, searched as the system palette stands; 0 when
// no entry could be read or none is magenta.
int FindMagentaPaletteIndex(const FormatTestOps& ops, void* window, uint32_t* index);

// True when the user answered Yes for this format.
int TestOverlayFormatWith(const DirectDrawOps& dd, const FormatTestOps& ops, void* window, uint16_t width,
                          uint16_t height, OverlayFormat format);

// Platform side.
int TestOverlayFormat(void* window, uint16_t width, uint16_t height, OverlayFormat format);
