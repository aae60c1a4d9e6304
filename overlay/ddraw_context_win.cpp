#include <windows.h>
#include <ddraw.h>
#include <mmsystem.h>

#include "overlay/ddraw_context.h"

namespace {

#if defined(__i386__)
static_assert(sizeof(DDSURFACEDESC) == SURFACE_DESC_SIZE, "DDSURFACEDESC size");
#endif
static_assert(sizeof(DDCAPS_DX5) == DDCAPS_SIZE, "DDCAPS size");
static_assert(sizeof(DDPIXELFORMAT) == PIXEL_FORMAT_SIZE, "DDPIXELFORMAT size");
static_assert(sizeof(OverlayRect) == sizeof(RECT), "RECT layout");

typedef HRESULT(WINAPI* DirectDrawCreateFunction)(GUID*, LPDIRECTDRAW*, IUnknown*);

// The description as DirectDraw wants it. dwSize is the structure's own size,
// 108 in the 32-bit program; a 64-bit DirectDraw checks for its own larger one.
void ToPlatform(const SurfaceDescription& from, DDSURFACEDESC* to)
{
    ZeroMemory(to, sizeof *to);
    to->dwSize = sizeof *to;
    to->dwFlags = from.flags;
    to->dwHeight = from.height;
    to->dwWidth = from.width;
    to->lPitch = from.pitch;
    to->lpSurface = from.surface;
    to->ddsCaps.dwCaps = from.caps;
    DDPIXELFORMAT& pf = to->ddpfPixelFormat;
    pf.dwSize = from.pixelFormat.size;
    pf.dwFlags = from.pixelFormat.flags;
    pf.dwFourCC = from.pixelFormat.fourCC;
    pf.dwRGBBitCount = from.pixelFormat.rgbBitCount;
    pf.dwRBitMask = from.pixelFormat.redMask;
    pf.dwGBitMask = from.pixelFormat.greenMask;
    pf.dwBBitMask = from.pixelFormat.blueMask;
    pf.dwRGBAlphaBitMask = from.pixelFormat.alphaMask;
}

void FromPlatform(const DDSURFACEDESC& from, SurfaceDescription* to)
{
    to->flags = from.dwFlags;
    to->height = from.dwHeight;
    to->width = from.dwWidth;
    to->pitch = from.lPitch;
    to->surface = from.lpSurface;
    to->caps = from.ddsCaps.dwCaps;
    const DDPIXELFORMAT& pf = from.ddpfPixelFormat;
    to->pixelFormat.size = pf.dwSize;
    to->pixelFormat.flags = pf.dwFlags;
    to->pixelFormat.fourCC = pf.dwFourCC;
    to->pixelFormat.rgbBitCount = pf.dwRGBBitCount;
    to->pixelFormat.redMask = pf.dwRBitMask;
    to->pixelFormat.greenMask = pf.dwGBitMask;
    to->pixelFormat.blueMask = pf.dwBBitMask;
    to->pixelFormat.alphaMask = pf.dwRGBAlphaBitMask;
}

int32_t CallDirectDrawCreate(void* entry, void** directDraw)
{
    LPDIRECTDRAW object = nullptr;
    const HRESULT result = ((DirectDrawCreateFunction)entry)(nullptr, &object, nullptr);
    *directDraw = result == DD_OK ? (void*)object : nullptr;
    return result;
}

int32_t CallGetCaps(void* directDraw, OverlayCaps* driverCaps)
{
    DDCAPS_DX5 caps;
    ZeroMemory(&caps, sizeof caps);
    caps.dwSize = driverCaps->size;
    const HRESULT result = ((LPDIRECTDRAW)directDraw)->GetCaps((LPDDCAPS)&caps, nullptr);
    driverCaps->caps = caps.dwCaps;
    driverCaps->minOverlayStretch = caps.dwMinOverlayStretch;
    return result;
}

int32_t CallCreateSurface(void* directDraw, const SurfaceDescription* description, void** surface)
{
    DDSURFACEDESC desc;
    ToPlatform(*description, &desc);
    LPDIRECTDRAWSURFACE object = nullptr;
    const HRESULT result = ((LPDIRECTDRAW)directDraw)->CreateSurface(&desc, &object, nullptr);
    *surface = result == DD_OK ? (void*)object : nullptr;
    return result;
}

int32_t CallGetSurfaceDesc(void* surface, SurfaceDescription* description)
{
    DDSURFACEDESC desc;
    ToPlatform(*description, &desc);
    const HRESULT result = ((LPDIRECTDRAWSURFACE)surface)->GetSurfaceDesc(&desc);
    FromPlatform(desc, description);
    return result;
}

int32_t CallLock(void* surface, SurfaceDescription* description, uint32_t flags)
{
    DDSURFACEDESC desc;
    ToPlatform(*description, &desc);
    const HRESULT result = ((LPDIRECTDRAWSURFACE)surface)->Lock(nullptr, &desc, flags, nullptr);
    FromPlatform(desc, description);
    return result;
}

int32_t CallSetColorKey(void* surface, uint32_t flags, uint32_t low, uint32_t high)
{
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = low;
    key.dwColorSpaceHighValue = high;
    return ((LPDIRECTDRAWSURFACE)surface)->SetColorKey(flags, &key);
}

int32_t CallUpdateOverlay(void* overlay, const OverlayRect* source, void* primary, const OverlayRect* target,
                          uint32_t flags)
{
    RECT s = {source->left, source->top, source->right, source->bottom};
    RECT d = {target->left, target->top, target->right, target->bottom};
    return ((LPDIRECTDRAWSURFACE)overlay)->UpdateOverlay(&s, (LPDIRECTDRAWSURFACE)primary, &d, flags, nullptr);
}

}  // namespace

const DirectDrawOps platformDirectDrawOps = {
    [](const char* name) -> void* { return (void*)LoadLibraryA(name); },
    [](void* module, const char* name) -> void* { return (void*)GetProcAddress((HMODULE)module, name); },
    [](void* module) -> int { return FreeLibrary((HMODULE)module) ? 1 : 0; },
    CallDirectDrawCreate,
    CallGetCaps,
    [](void* directDraw, void* window, uint32_t flags) -> int32_t {
        return ((LPDIRECTDRAW)directDraw)->SetCooperativeLevel((HWND)window, flags);
    },
    CallCreateSurface,
    CallGetSurfaceDesc,
    CallLock,
    [](void* surface, void* memory) -> int32_t { return ((LPDIRECTDRAWSURFACE)surface)->Unlock(memory); },
    CallSetColorKey,
    CallUpdateOverlay,
    [](void* object) -> uint32_t { return ((IUnknown*)object)->Release(); },
    []() -> uint32_t { return timeGetTime(); },
};

int OpenDirectDraw()
{
    return OpenDirectDrawWith(platformDirectDrawOps);
}

int CloseDirectDraw()
{
    return CloseDirectDrawWith(platformDirectDrawOps);
}
