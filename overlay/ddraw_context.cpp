#include "overlay/ddraw_context.h"

#include <string.h>

DirectDrawContextRecord DirectDrawContext;

const char* OverlayFormatName(OverlayFormat format)
{
    switch (format) {
    case OVERLAY_YUY2: return "YUY2";
    case OVERLAY_UYVY: return "UYVY";
    case OVERLAY_RGB565: return "RGB565";
    default: return "";
    }
}

SurfacePixelFormat OverlayPixelFormat(OverlayFormat format)
{
    SurfacePixelFormat pf;
    memset(&pf, 0, sizeof pf);
    pf.size = PIXEL_FORMAT_SIZE;
    if (format == OVERLAY_RGB565) {
        pf.flags = DDPF_RGB_FLAG;
        pf.rgbBitCount = 16;
        pf.redMask = 0xF800;
        pf.greenMask = 0x07E0;
        pf.blueMask = 0x001F;
    } else {
        pf.flags = DDPF_FOURCC_FLAG;
        pf.fourCC = format == OVERLAY_UYVY ? FOURCC_UYVY : FOURCC_YUY2;
    }
    return pf;
}

static void ReleaseInterface(const DirectDrawOps& ops, void** object)
{
    if (*object != nullptr) ops.Release(*object);
    *object = nullptr;
}

int OpenDirectDrawWith(const DirectDrawOps& ops)
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.openCount > 0) {
        c.openCount++;
        return 1;
    }
    c.directDraw = nullptr;
    c.primarySurface = nullptr;
    c.overlaySurface = nullptr;
    c.library = ops.LoadLibraryA("ddraw.dll");
    if (c.library == nullptr) return 0;
    void* entry = ops.GetProcAddress(c.library, "DirectDrawCreate");
    if (entry == nullptr || ops.DirectDrawCreate(entry, &c.directDraw) != DD_OK_RESULT) {
        c.directDraw = nullptr;
        ops.FreeLibrary(c.library);
        c.library = nullptr;
        return 0;
    }
    c.openCount = 1;
    return 1;
}

int CloseDirectDrawWith(const DirectDrawOps& ops)
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.openCount == 0) return 0;
    if (--c.openCount > 0) return 1;
    ReleaseInterface(ops, &c.overlaySurface);
    ReleaseInterface(ops, &c.primarySurface);
    ReleaseInterface(ops, &c.directDraw);
    ops.FreeLibrary(c.library);
    c.library = nullptr;
    return 1;
}

int QueryOverlaySupportWith(const DirectDrawOps& ops, int* supported)
{
    if (DirectDrawContext.directDraw == nullptr) return 0;
    OverlayCaps caps = {DDCAPS_SIZE, 0, 0};
    if (ops.GetCaps(DirectDrawContext.directDraw, &caps) != DD_OK_RESULT) return 0;
    const uint32_t needed = DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG;
    *supported = (caps.caps & needed) == needed && caps.minOverlayStretch <= MAX_MIN_OVERLAY_STRETCH ? 1 : 0;
    return 1;
}

int CreateOverlaySurfacesWith(const DirectDrawOps& ops, void* window, uint16_t width, uint16_t height,
                              OverlayFormat format)
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.directDraw == nullptr) return 0;
    if (ops.SetCooperativeLevel(c.directDraw, window, DDSCL_NORMAL_FLAG) != DD_OK_RESULT) return 0;

    SurfaceDescription primary;
    memset(&primary, 0, sizeof primary);
    primary.size = SURFACE_DESC_SIZE;
    primary.flags = DDSD_CAPS_FLAG;
    primary.caps = DDSCAPS_PRIMARYSURFACE_FLAG;
    ReleaseInterface(ops, &c.primarySurface);
    if (ops.CreateSurface(c.directDraw, &primary, &c.primarySurface) != DD_OK_RESULT) {
        c.primarySurface = nullptr;
        return 0;
    }

    SurfaceDescription overlay;
    memset(&overlay, 0, sizeof overlay);
    overlay.size = SURFACE_DESC_SIZE;
    overlay.flags = OVERLAY_SURFACE_DESC_FLAGS;
    overlay.height = height;
    overlay.width = width;
    overlay.caps = DDSCAPS_OVERLAY_FLAG;
    overlay.pixelFormat = OverlayPixelFormat(format);
    ReleaseInterface(ops, &c.overlaySurface);
    if (ops.CreateSurface(c.directDraw, &overlay, &c.overlaySurface) != DD_OK_RESULT) {
        c.overlaySurface = nullptr;
        ReleaseInterface(ops, &c.primarySurface);
        return 0;
    }
    return 1;
}

int ReleaseOverlaySurfacesWith(const DirectDrawOps& ops)
{
    ReleaseInterface(ops, &DirectDrawContext.overlaySurface);
    ReleaseInterface(ops, &DirectDrawContext.primarySurface);
    return 1;
}

static void ClearDescription(SurfaceDescription* description)
{
    memset(description, 0, sizeof *description);
    description->size = SURFACE_DESC_SIZE;
}

int32_t QuerySurfaceInfoWith(const DirectDrawOps& ops, void* surface, SurfaceInfo* info)
{
    info->rgbBitCount = 0;
    info->fourCC = 0xFFFFFFFF;
    SurfaceDescription description;
    ClearDescription(&description);
    int32_t result = ops.GetSurfaceDesc(surface, &description);
    if (result != DD_OK_RESULT) return result;
    const SurfacePixelFormat& pf = description.pixelFormat;
    if (pf.flags & DDPF_RGB_FLAG) {
        info->rgbBitCount = pf.rgbBitCount;
        info->redMask = pf.redMask;
        info->greenMask = pf.greenMask;
        info->blueMask = pf.blueMask;
    }
    if (pf.flags & DDPF_FOURCC_FLAG) info->fourCC = pf.fourCC;

    ClearDescription(&description);
    result = ops.Lock(surface, &description, 0);
    if (result != DD_OK_RESULT) return result;
    ops.Unlock(surface, description.surface);
    info->width = description.width;
    info->height = description.height;
    info->pitch = description.pitch;
    info->memory = description.surface;
    return DD_OK_RESULT;
}

// Tries again without sleeping while the surface reports it is still drawing,
// for at most a second after the first try.
static int32_t QueryWithRetry(const DirectDrawOps& ops, void* surface, SurfaceInfo* info)
{
    const uint32_t start = ops.timeGetTime();
    int32_t result;
    do {
        result = QuerySurfaceInfoWith(ops, surface, info);
    } while (result == DDERR_WASSTILLDRAWING_RESULT && ops.timeGetTime() - start <= STILL_DRAWING_LIMIT_MS);
    return result;
}

int QuerySurfaceInfosWith(const DirectDrawOps& ops, SurfaceInfo infos[2])
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.primarySurface == nullptr || c.overlaySurface == nullptr) return 0;
    const int32_t primary = QueryWithRetry(ops, c.primarySurface, &infos[0]);
    const int32_t overlay = QueryWithRetry(ops, c.overlaySurface, &infos[1]);
    return primary == DD_OK_RESULT && overlay == DD_OK_RESULT ? 1 : 0;
}

int SetOverlayColorKeyWith(const DirectDrawOps& ops, uint32_t low, uint32_t high)
{
    if (DirectDrawContext.primarySurface == nullptr) return 0;
    return ops.SetColorKey(DirectDrawContext.primarySurface, DDCKEY_DESTOVERLAY_FLAG, low, high) == DD_OK_RESULT
               ? 1
               : 0;
}

int ClipOverlayRectsWith(const DirectDrawOps& ops, void* primary, const OverlayRect& source,
                         const OverlayRect& target, OverlayRect* clippedSource, OverlayRect* clippedTarget)
{
    *clippedSource = source;
    *clippedTarget = target;
    SurfaceDescription description;
    ClearDescription(&description);
    if (primary == nullptr || ops.GetSurfaceDesc(primary, &description) != DD_OK_RESULT) return 0;
    const int32_t pw = (int32_t)description.width;
    const int32_t ph = (int32_t)description.height;
    const OverlayRect& s = source;
    const OverlayRect& d = target;
    if (d.bottom <= 0 || d.top >= ph || d.right <= 0 || d.left >= pw) return 0;
    const int32_t sw = s.right - s.left, sh = s.bottom - s.top;
    const int32_t dw = d.right - d.left, dh = d.bottom - d.top;
    OverlayRect& cs = *clippedSource;
    OverlayRect& cd = *clippedTarget;
    // The cuts at the top and left count from 0, not from the source's own
    // corner: the test's source always starts at (0, 0).
    if (d.top < 0) {
        cs.top = -(d.top * sh / dh);
        cd.top = 0;
    }
    if (d.left < 0) {
        cs.left = -(d.left * sw / dw);
        cd.left = 0;
    }
    if (d.bottom > ph) {
        cs.bottom = s.bottom - (d.bottom - ph) * sh / dh;
        cd.bottom = ph;
    }
    if (d.right > pw) {
        cs.right = s.right - (d.right - pw) * sw / dw;
        cd.right = pw;
    }
    if (cs.left >= cs.right) {
        if (cs.right < 1) cs.right = 1;
        cs.left = cs.right - 1;
    }
    if (cs.top >= cs.bottom) {
        if (cs.bottom < 1) cs.bottom = 1;
        cs.top = cs.bottom - 1;
    }
    return 1;
}

int ShowOverlayWith(const DirectDrawOps& ops, const OverlayRect& source, const OverlayRect& target)
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.primarySurface == nullptr || c.overlaySurface == nullptr) return 0;
    OverlayRect s, d;
    ClipOverlayRectsWith(ops, c.primarySurface, source, target, &s, &d);
    if (ops.UpdateOverlay(c.overlaySurface, &s, c.primarySurface, &d, DDOVER_SHOW_FLAG | DDOVER_KEYDEST_FLAG) ==
        DD_OK_RESULT) {
        return 1;
    }
    // Without the key the overlay covers the whole destination, windows on
    // top of it included, but the user can still judge the picture.
    return ops.UpdateOverlay(c.overlaySurface, &s, c.primarySurface, &d, DDOVER_SHOW_FLAG) == DD_OK_RESULT ? 1 : 0;
}

int HideOverlayWith(const DirectDrawOps& ops, const OverlayRect& source, const OverlayRect& target)
{
    DirectDrawContextRecord& c = DirectDrawContext;
    if (c.primarySurface == nullptr || c.overlaySurface == nullptr) return 0;
    return ops.UpdateOverlay(c.overlaySurface, &source, c.primarySurface, &target, DDOVER_HIDE_FLAG) == DD_OK_RESULT
               ? 1
               : 0;
}

int LockOverlaySurfaceWith(const DirectDrawOps& ops, void** memory, int32_t* pitch, uint32_t* width,
                           uint32_t* height)
{
    void* overlay = DirectDrawContext.overlaySurface;
    if (overlay == nullptr) return 0;
    SurfaceDescription description;
    const uint32_t start = ops.timeGetTime();
    int32_t result;
    do {
        ClearDescription(&description);
        result = ops.Lock(overlay, &description, 0);
    } while (result == DDERR_WASSTILLDRAWING_RESULT && ops.timeGetTime() - start <= STILL_DRAWING_LIMIT_MS);
    if (result != DD_OK_RESULT) return 0;
    *memory = description.surface;
    *pitch = description.pitch;
    *width = description.width;
    *height = description.height;
    return 1;
}

void UnlockOverlaySurfaceWith(const DirectDrawOps& ops, void* memory)
{
    if (DirectDrawContext.overlaySurface != nullptr) ops.Unlock(DirectDrawContext.overlaySurface, memory);
}
