/* A test-only ddraw.dll for the end-to-end tests, loaded in place of Wine's
   own through WINEDLLOVERRIDES=ddraw=n. It reports a driver that can show
   colour-keyed overlays, keeps every surface in plain memory, and writes each
   call it receives to fake_ddraw.log beside itself. When an overlay is shown
   it also saves the overlay's memory as fake_ddraw_<format>.bin, so a test
   can read back exactly the bytes the program wrote into the surface.

   Only what the program uses is answered; every other method fails with
   DDERR_UNSUPPORTED. */
#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <ddraw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define OVERLAY_PITCH_SLACK 64 /* bytes after each overlay row that the program must not touch */
#define GAP_FILL 0xCD

typedef struct FakeSurface {
    IDirectDrawSurface iface;
    LONG refs;
    const char* kind; /* "primary" or "overlay" */
    DDSURFACEDESC desc;
    BYTE* memory;
    int locked;
} FakeSurface;

typedef struct FakeDirectDraw {
    IDirectDraw iface;
    LONG refs;
} FakeDirectDraw;

static IDirectDrawVtbl directDrawVtbl;
static IDirectDrawSurfaceVtbl surfaceVtbl;
static char logPath[MAX_PATH];
static char dumpDir[MAX_PATH];
static CRITICAL_SECTION logLock;

static void Log(const char* format, ...)
{
    va_list args;
    EnterCriticalSection(&logLock);
    FILE* f = fopen(logPath, "a");
    if (f != NULL) {
        va_start(args, format);
        vfprintf(f, format, args);
        va_end(args);
        fputc('\n', f);
        fclose(f);
    }
    LeaveCriticalSection(&logLock);
}

static HRESULT WINAPI Unsupported(void* self)
{
    (void)self;
    Log("unsupported call");
    return DDERR_UNSUPPORTED;
}

static const char* FormatName(const DDPIXELFORMAT* pf)
{
    if (pf->dwFlags & DDPF_FOURCC) {
        if (pf->dwFourCC == MAKEFOURCC('Y', 'U', 'Y', '2')) return "YUY2";
        if (pf->dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y')) return "UYVY";
        return "fourcc";
    }
    if ((pf->dwFlags & DDPF_RGB) && pf->dwRGBBitCount == 16 && pf->dwRBitMask == 0xF800) return "RGB565";
    return "other";
}

static void RectText(char* out, size_t size, const RECT* r)
{
    if (r == NULL) {
        snprintf(out, size, "none");
    } else {
        snprintf(out, size, "%ld,%ld,%ld,%ld", r->left, r->top, r->right, r->bottom);
    }
}

/* ---- IDirectDrawSurface ---------------------------------------------------- */

static FakeSurface* Surface(IDirectDrawSurface* iface)
{
    return (FakeSurface*)iface;
}

static ULONG WINAPI SurfaceAddRef(IDirectDrawSurface* iface)
{
    return (ULONG)InterlockedIncrement(&Surface(iface)->refs);
}

static ULONG WINAPI SurfaceRelease(IDirectDrawSurface* iface)
{
    FakeSurface* s = Surface(iface);
    const LONG refs = InterlockedDecrement(&s->refs);
    Log("Release %s refs=%ld%s", s->kind, refs, s->locked ? " locked" : "");
    if (refs == 0) {
        free(s->memory);
        free(s);
    }
    return (ULONG)refs;
}

static HRESULT WINAPI SurfaceGetSurfaceDesc(IDirectDrawSurface* iface, DDSURFACEDESC* desc)
{
    FakeSurface* s = Surface(iface);
    Log("GetSurfaceDesc %s size=%lu", s->kind, desc->dwSize);
    if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    *desc = s->desc;
    desc->lpSurface = NULL;
    return DD_OK;
}

static HRESULT WINAPI SurfaceLock(IDirectDrawSurface* iface, RECT* rect, DDSURFACEDESC* desc, DWORD flags,
                                  HANDLE event)
{
    FakeSurface* s = Surface(iface);
    char r[64];
    RectText(r, sizeof r, rect);
    Log("Lock %s rect=%s flags=0x%lX event=%p size=%lu", s->kind, r, flags, event, desc->dwSize);
    if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (s->locked) return DDERR_SURFACEBUSY;
    s->locked = 1;
    *desc = s->desc;
    desc->lpSurface = s->memory;
    return DD_OK;
}

static HRESULT WINAPI SurfaceUnlock(IDirectDrawSurface* iface, void* memory)
{
    FakeSurface* s = Surface(iface);
    Log("Unlock %s %s", s->kind, memory == s->memory ? "same-address" : "other-address");
    if (!s->locked) return DDERR_NOTLOCKED;
    s->locked = 0;
    return DD_OK;
}

static HRESULT WINAPI SurfaceSetColorKey(IDirectDrawSurface* iface, DWORD flags, DDCOLORKEY* key)
{
    FakeSurface* s = Surface(iface);
    Log("SetColorKey %s flags=0x%lX low=0x%lX high=0x%lX", s->kind, flags, key->dwColorSpaceLowValue,
        key->dwColorSpaceHighValue);
    return DD_OK;
}

static void DumpOverlay(const FakeSurface* s)
{
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%sfake_ddraw_%s.bin", dumpDir, FormatName(&s->desc.ddpfPixelFormat));
    FILE* f = fopen(path, "wb");
    if (f == NULL) return;
    fwrite(s->memory, 1, (size_t)s->desc.lPitch * s->desc.dwHeight, f);
    fclose(f);
}

static HRESULT WINAPI SurfaceUpdateOverlay(IDirectDrawSurface* iface, RECT* source, IDirectDrawSurface* target,
                                           RECT* targetRect, DWORD flags, DDOVERLAYFX* fx)
{
    FakeSurface* s = Surface(iface);
    char a[64], b[64];
    RectText(a, sizeof a, source);
    RectText(b, sizeof b, targetRect);
    Log("UpdateOverlay %s src=%s dest=%s rect=%s flags=0x%lX fx=%s", s->kind, a,
        target == NULL ? "none" : Surface(target)->kind, b, flags, fx == NULL ? "none" : "given");
    if (flags & DDOVER_SHOW) DumpOverlay(s);
    return DD_OK;
}

static FakeSurface* NewSurface(const char* kind, const DDSURFACEDESC* desc)
{
    FakeSurface* s = (FakeSurface*)calloc(1, sizeof *s);
    s->iface.lpVtbl = &surfaceVtbl;
    s->refs = 1;
    s->kind = kind;
    s->desc = *desc;
    const size_t bytes = (size_t)desc->lPitch * desc->dwHeight;
    s->memory = (BYTE*)malloc(bytes);
    memset(s->memory, GAP_FILL, bytes);
    return s;
}

/* ---- IDirectDraw ------------------------------------------------------------ */

static FakeDirectDraw* DirectDraw(IDirectDraw* iface)
{
    return (FakeDirectDraw*)iface;
}

static ULONG WINAPI DirectDrawAddRef(IDirectDraw* iface)
{
    return (ULONG)InterlockedIncrement(&DirectDraw(iface)->refs);
}

static ULONG WINAPI DirectDrawRelease(IDirectDraw* iface)
{
    FakeDirectDraw* d = DirectDraw(iface);
    const LONG refs = InterlockedDecrement(&d->refs);
    Log("Release directdraw refs=%ld", refs);
    if (refs == 0) free(d);
    return (ULONG)refs;
}

static HRESULT WINAPI DirectDrawGetCaps(IDirectDraw* iface, DDCAPS* driver, DDCAPS* hel)
{
    (void)iface;
    Log("GetCaps size=%lu hel=%s", driver == NULL ? 0 : driver->dwSize, hel == NULL ? "none" : "given");
    if (driver == NULL || driver->dwSize < 364) return DDERR_INVALIDPARAMS;
    const DWORD size = driver->dwSize;
    memset(driver, 0, size);
    driver->dwSize = size;
    driver->dwCaps = DDCAPS_OVERLAY | DDCAPS_COLORKEY | DDCAPS_OVERLAYSTRETCH | DDCAPS_OVERLAYFOURCC;
    driver->dwCKeyCaps = DDCKEYCAPS_DESTOVERLAY;
    driver->dwMaxVisibleOverlays = 1;
    driver->dwMinOverlayStretch = 1000;
    driver->dwMaxOverlayStretch = 20000;
    return DD_OK;
}

static HRESULT WINAPI DirectDrawSetCooperativeLevel(IDirectDraw* iface, HWND window, DWORD flags)
{
    (void)iface;
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    Log("SetCooperativeLevel window=%s flags=0x%lX", name, flags);
    return DD_OK;
}

static HRESULT WINAPI DirectDrawCreateSurface(IDirectDraw* iface, DDSURFACEDESC* desc, IDirectDrawSurface** out,
                                              IUnknown* outer)
{
    (void)iface;
    const DDPIXELFORMAT* pf = &desc->ddpfPixelFormat;
    Log("CreateSurface size=%lu flags=0x%lX caps=0x%lX width=%lu height=%lu pf.size=%lu pf.flags=0x%lX "
        "fourcc=0x%08lX bits=%lu masks=0x%lX,0x%lX,0x%lX,0x%lX outer=%s",
        desc->dwSize, desc->dwFlags, desc->ddsCaps.dwCaps, desc->dwWidth, desc->dwHeight, pf->dwSize, pf->dwFlags,
        pf->dwFourCC, pf->dwRGBBitCount, pf->dwRBitMask, pf->dwGBitMask, pf->dwBBitMask, pf->dwRGBAlphaBitMask,
        outer == NULL ? "none" : "given");
    if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC made;
    memset(&made, 0, sizeof made);
    made.dwSize = sizeof made;
    made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    made.ddsCaps.dwCaps = desc->ddsCaps.dwCaps | DDSCAPS_VIDEOMEMORY;
    made.ddpfPixelFormat.dwSize = sizeof made.ddpfPixelFormat;
    const char* kind;
    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
        kind = "primary";
        made.dwWidth = (DWORD)GetSystemMetrics(SM_CXSCREEN);
        made.dwHeight = (DWORD)GetSystemMetrics(SM_CYSCREEN);
        made.lPitch = (LONG)made.dwWidth * 4;
        made.ddpfPixelFormat.dwFlags = DDPF_RGB;
        made.ddpfPixelFormat.dwRGBBitCount = 32;
        made.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        made.ddpfPixelFormat.dwGBitMask = 0x00FF00;
        made.ddpfPixelFormat.dwBBitMask = 0x0000FF;
    } else if (desc->ddsCaps.dwCaps & DDSCAPS_OVERLAY) {
        kind = "overlay";
        if (!(desc->dwFlags & DDSD_PIXELFORMAT) || strcmp(FormatName(pf), "other") == 0) {
            return DDERR_INVALIDPIXELFORMAT;
        }
        made.dwWidth = desc->dwWidth;
        made.dwHeight = desc->dwHeight;
        made.lPitch = (LONG)desc->dwWidth * 2 + OVERLAY_PITCH_SLACK;
        made.ddpfPixelFormat = *pf;
    } else {
        return DDERR_INVALIDCAPS;
    }
    *out = &NewSurface(kind, &made)->iface;
    return DD_OK;
}

/* ---- exports ----------------------------------------------------------------- */

static void FillVtable(void* vtable, size_t size)
{
    void** slots = (void**)vtable;
    for (size_t i = 0; i < size / sizeof(void*); i++) slots[i] = (void*)Unsupported;
}

HRESULT WINAPI DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer)
{
    Log("DirectDrawCreate guid=%s outer=%s", guid == NULL ? "none" : "given", outer == NULL ? "none" : "given");
    FakeDirectDraw* d = (FakeDirectDraw*)calloc(1, sizeof *d);
    d->iface.lpVtbl = &directDrawVtbl;
    d->refs = 1;
    *out = &d->iface;
    return DD_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    InitializeCriticalSection(&logLock);
    GetModuleFileNameA(instance, dumpDir, sizeof dumpDir);
    char* slash = strrchr(dumpDir, '\\');
    if (slash != NULL) slash[1] = '\0';
    snprintf(logPath, sizeof logPath, "%sfake_ddraw.log", dumpDir);

    FillVtable(&directDrawVtbl, sizeof directDrawVtbl);
    directDrawVtbl.AddRef = DirectDrawAddRef;
    directDrawVtbl.Release = DirectDrawRelease;
    directDrawVtbl.GetCaps = DirectDrawGetCaps;
    directDrawVtbl.SetCooperativeLevel = DirectDrawSetCooperativeLevel;
    directDrawVtbl.CreateSurface = DirectDrawCreateSurface;

    FillVtable(&surfaceVtbl, sizeof surfaceVtbl);
    surfaceVtbl.AddRef = SurfaceAddRef;
    surfaceVtbl.Release = SurfaceRelease;
    surfaceVtbl.GetSurfaceDesc = SurfaceGetSurfaceDesc;
    surfaceVtbl.Lock = SurfaceLock;
    surfaceVtbl.Unlock = SurfaceUnlock;
    surfaceVtbl.SetColorKey = SurfaceSetColorKey;
    surfaceVtbl.UpdateOverlay = SurfaceUpdateOverlay;
    Log("loaded");
    return TRUE;
}
