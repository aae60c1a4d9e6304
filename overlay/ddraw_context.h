// The process-wide DirectDraw context of the overlay test: the library, the
// DirectDraw object, a primary surface and one overlay surface.
#pragma once

#include <stdint.h>

typedef int32_t OverlayFormat;
enum : int32_t { OVERLAY_YUY2 = 1, OVERLAY_UYVY = 2, OVERLAY_RGB565 = 3 };

// The DirectDraw values this program relies on.
enum : int32_t { DD_OK_RESULT = 0, DDERR_WASSTILLDRAWING_RESULT = (int32_t)0x8876021C };
enum : uint32_t {
    DDCAPS_SIZE = 364,
    DDCAPS_OVERLAY_FLAG = 0x800,
    DDCAPS_COLORKEY_FLAG = 0x400000,
    DDSCL_NORMAL_FLAG = 8,
    SURFACE_DESC_SIZE = 108,
    PIXEL_FORMAT_SIZE = 32,
    DDSD_CAPS_FLAG = 0x1,
    OVERLAY_SURFACE_DESC_FLAGS = 0x1007,  // caps, height, width, pixel format
    DDSCAPS_OVERLAY_FLAG = 0x80,
    DDSCAPS_PRIMARYSURFACE_FLAG = 0x200,
    DDPF_FOURCC_FLAG = 0x4,
    DDPF_RGB_FLAG = 0x40,
    FOURCC_YUY2 = 0x32595559,
    FOURCC_UYVY = 0x59565955,
    DDCKEY_DESTOVERLAY_FLAG = 0x4,
    DDOVER_HIDE_FLAG = 0x200,
    DDOVER_SHOW_FLAG = 0x4000,
    DDOVER_KEYDEST_FLAG = 0x400,
    STILL_DRAWING_LIMIT_MS = 1000,
    MAX_MIN_OVERLAY_STRETCH = 1000,
};

// The fields of DDCAPS this program reads; dwSize is what the driver is told.
struct OverlayCaps {
    uint32_t size;
    uint32_t caps;
    uint32_t minOverlayStretch;
};

struct SurfacePixelFormat {
    uint32_t size;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};

// The fields of DDSURFACEDESC this program sets or reads.
struct SurfaceDescription {
    uint32_t size;
    uint32_t flags;
    uint32_t height;
    uint32_t width;
    int32_t pitch;
    void* surface;
    uint32_t caps;
    SurfacePixelFormat pixelFormat;
};

struct OverlayRect {
    int32_t left, top, right, bottom;
};

struct SurfaceInfo {
    uint32_t width;
    uint32_t height;
    int32_t pitch;
    void* memory;
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t redMask, greenMask, blueMask;
};

// What the context needs of the platform, named after the calls. The
// interfaces are opaque: whatever answers these calls will do.
struct DirectDrawOps {
    void* (*LoadLibraryA)(const char* name);
    void* (*GetProcAddress)(void* module, const char* name);
    int (*FreeLibrary)(void* module);
    // DirectDrawCreate through the entry point found, with no GUID and no outer object.
    int32_t (*DirectDrawCreate)(void* entry, void** directDraw);
    // IDirectDraw::GetCaps with the driver's caps only, no emulation-layer caps.
    int32_t (*GetCaps)(void* directDraw, OverlayCaps* driverCaps);
    int32_t (*SetCooperativeLevel)(void* directDraw, void* window, uint32_t flags);
    int32_t (*CreateSurface)(void* directDraw, const SurfaceDescription* description, void** surface);
    int32_t (*GetSurfaceDesc)(void* surface, SurfaceDescription* description);
    // Lock of the whole surface, no event.
    int32_t (*Lock)(void* surface, SurfaceDescription* description, uint32_t flags);
    int32_t (*Unlock)(void* surface, void* memory);
    int32_t (*SetColorKey)(void* surface, uint32_t flags, uint32_t low, uint32_t high);
    int32_t (*UpdateOverlay)(void* overlay, const OverlayRect* source, void* primary, const OverlayRect* target,
                             uint32_t flags);
    uint32_t (*Release)(void* object);
    uint32_t (*timeGetTime)();
};

struct DirectDrawContextRecord {
    void* library;
    void* directDraw;
    void* primarySurface;
    void* overlaySurface;
    int32_t openCount;
};

extern DirectDrawContextRecord DirectDrawContext;

const char* OverlayFormatName(OverlayFormat format);
SurfacePixelFormat OverlayPixelFormat(OverlayFormat format);

int OpenDirectDrawWith(const DirectDrawOps& ops);
int CloseDirectDrawWith(const DirectDrawOps& ops);
int QueryOverlaySupportWith(const DirectDrawOps& ops, int* supported);
int CreateOverlaySurfacesWith(const DirectDrawOps& ops, void* window, uint16_t width, uint16_t height,
                              OverlayFormat format);
int ReleaseOverlaySurfacesWith(const DirectDrawOps& ops);
int32_t QuerySurfaceInfoWith(const DirectDrawOps& ops, void* surface, SurfaceInfo* info);
// infos[0] the primary surface, infos[1] the overlay surface.
int QuerySurfaceInfosWith(const DirectDrawOps& ops, SurfaceInfo infos[2]);
int SetOverlayColorKeyWith(const DirectDrawOps& ops, uint32_t low, uint32_t high);
int ClipOverlayRectsWith(const DirectDrawOps& ops, void* primary, const OverlayRect& source,
                         const OverlayRect& target, OverlayRect* clippedSource, OverlayRect* clippedTarget);
int ShowOverlayWith(const DirectDrawOps& ops, const OverlayRect& source, const OverlayRect& target);
int HideOverlayWith(const DirectDrawOps& ops, const OverlayRect& source, const OverlayRect& target);

// Locks the overlay surface with the still-drawing retry, so that the fill
// writes while the address is guaranteed; UnlockOverlaySurfaceWith ends it.
int LockOverlaySurfaceWith(const DirectDrawOps& ops, void** memory, int32_t* pitch, uint32_t* width,
                           uint32_t* height);
void UnlockOverlaySurfaceWith(const DirectDrawOps& ops, void* memory);

// Platform side.
extern const DirectDrawOps platformDirectDrawOps;
int OpenDirectDraw();
int CloseDirectDraw();
