// Scripted stand-ins for GDI and DirectDraw behind the overlay test's
// operation tables. Every object a fake hands out is a numbered token that
// stays on a list of live objects until it is released, so a test can check
// that every path gives back everything it took.
#pragma once

#include <stdint.h>
#include <string.h>

#include <array>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/machine_record.h"
#include "overlay/color_bars.h"
#include "overlay/ddraw_context.h"
#include "overlay/format_test.h"
#include "overlay/overlay_sequence.h"

inline std::vector<std::string> overlayCalls;

inline int CountOverlayCalls(const std::string& prefix)
{
    int n = 0;
    for (const std::string& call : overlayCalls) n += call.compare(0, prefix.size(), prefix) == 0;
    return n;
}

inline int IndexOfCall(const std::string& call)
{
    for (size_t i = 0; i < overlayCalls.size(); i++) {
        if (overlayCalls[i] == call) return (int)i;
    }
    return -1;
}

// Live objects by kind ("bitmap", "dc", "brush", "surface", ...).
struct LiveObjects {
    std::map<void*, std::string> live;
    int next = 0x100;
    int badReleases = 0;

    void* Make(const std::string& kind)
    {
        void* object = (void*)(intptr_t)(next += 0x10);
        live[object] = kind;
        return object;
    }
    bool Drop(void* object)
    {
        if (live.erase(object) == 1) return true;
        badReleases++;
        return false;
    }
    int Count(const std::string& kind) const
    {
        int n = 0;
        for (const auto& entry : live) n += entry.second == kind;
        return n;
    }
    std::string KindOf(void* object) const
    {
        auto it = live.find(object);
        return it == live.end() ? "?" : it->second;
    }
};

inline std::string Describe(const OverlayRect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// ---- GDI of the colour-bar picture ------------------------------------------

struct FakeGdi {
    // Script: the n-th call (1-based) of a kind fails; 0 never.
    bool allocFails = false;
    bool screenFails = false;
    int failingBitmap = 0;
    int failingDc = 0;
    // Record.
    LiveObjects objects;
    std::set<void*> blocks;
    int badFrees = 0;
    int bitmaps = 0, dcs = 0;
    std::map<void*, void*> selected;  // device context -> selected object
    std::map<void*, void*> original;  // what a memory DC held when it was made
    std::map<void*, uint32_t> brushColors;
    std::vector<std::pair<uint32_t, PictureRect>> fills;  // brush colour, rectangle
    std::vector<std::string> misdeleted;                  // objects deleted while still selected
    PictureHeader header = {};
    int screenReleases = 0;
};
inline FakeGdi fakeGdi;

// The picture the target bitmap would hold at width w: exact bar colours,
// as a 24- or 32-bit display reads them back.
inline void WriteBarPicture(uint8_t* bits, uint32_t width, uint32_t height)
{
    const uint32_t stride = PictureStride(width);
    for (uint32_t y = 0; y < height; y++) {
        for (uint32_t x = 0; x < width; x++) {
            const uint32_t color = ColorBarColors[x * COLOR_BAR_COUNT / width];
            uint8_t* p = bits + y * stride + x * 3;
            p[0] = (uint8_t)(color >> 16);
            p[1] = (uint8_t)(color >> 8);
            p[2] = (uint8_t)color;
        }
    }
}

inline ColorBarOps FakeColorBarOps()
{
    ColorBarOps ops;
    ops.GlobalAlloc = [](uint32_t flags, size_t bytes) -> void* {
        overlayCalls.push_back("GlobalAlloc " + std::to_string(flags) + " " + std::to_string(bytes));
        if (fakeGdi.allocFails) return nullptr;
        void* block = new uint8_t[bytes];
        fakeGdi.blocks.insert(block);
        return block;
    };
    ops.GlobalFree = [](void* block) {
        overlayCalls.push_back("GlobalFree");
        if (fakeGdi.blocks.erase(block) == 1) {
            delete[] (uint8_t*)block;
        } else {
            fakeGdi.badFrees++;
        }
    };
    ops.GetDC = [](void* window) -> void* {
        overlayCalls.push_back(window == nullptr ? "GetDC screen" : "GetDC window");
        return fakeGdi.screenFails ? nullptr : fakeGdi.objects.Make("screen");
    };
    ops.ReleaseDC = [](void*, void* dc) -> int {
        overlayCalls.push_back("ReleaseDC");
        fakeGdi.screenReleases++;
        return fakeGdi.objects.Drop(dc) ? 1 : 0;
    };
    ops.CreateCompatibleBitmap = [](void*, int width, int height) -> void* {
        overlayCalls.push_back("CreateCompatibleBitmap " + std::to_string(width) + "x" + std::to_string(height));
        if (++fakeGdi.bitmaps == fakeGdi.failingBitmap) return nullptr;
        return fakeGdi.objects.Make("bitmap " + std::to_string(width) + "x" + std::to_string(height));
    };
    ops.CreateCompatibleDC = [](void*) -> void* {
        overlayCalls.push_back("CreateCompatibleDC");
        if (++fakeGdi.dcs == fakeGdi.failingDc) return nullptr;
        void* dc = fakeGdi.objects.Make("dc " + std::to_string(fakeGdi.dcs));
        void* stock = (void*)(intptr_t)(0x7000 + fakeGdi.dcs);  // the DC's own one-pixel bitmap
        fakeGdi.selected[dc] = stock;
        fakeGdi.original[dc] = stock;
        return dc;
    };
    ops.SelectObject = [](void* dc, void* object) -> void* {
        void* previous = fakeGdi.selected[dc];
        fakeGdi.selected[dc] = object;
        return previous;
    };
    ops.DeleteDC = [](void* dc) -> int {
        overlayCalls.push_back("DeleteDC " + fakeGdi.objects.KindOf(dc));
        if (fakeGdi.selected[dc] != fakeGdi.original[dc]) fakeGdi.misdeleted.push_back("dc left holding an object");
        return fakeGdi.objects.Drop(dc) ? 1 : 0;
    };
    ops.DeleteObject = [](void* object) -> int {
        const std::string kind = fakeGdi.objects.KindOf(object);
        overlayCalls.push_back("DeleteObject " + kind);
        for (const auto& entry : fakeGdi.selected) {
            if (entry.second == object && fakeGdi.objects.live.count(entry.first) == 1) {
                fakeGdi.misdeleted.push_back(kind);
            }
        }
        return fakeGdi.objects.Drop(object) ? 1 : 0;
    };
    ops.CreateSolidBrush = [](uint32_t color) -> void* {
        void* brush = fakeGdi.objects.Make("brush");
        fakeGdi.brushColors[brush] = color;
        return brush;
    };
    ops.FillRect = [](void* dc, const PictureRect* rect, void* brush) -> int {
        EXPECT_EQ(brush, fakeGdi.selected[dc]) << "filled with a brush that is not selected";
        fakeGdi.fills.push_back({fakeGdi.brushColors[brush], *rect});
        return 1;
    };
    ops.StretchBlt = [](void*, int x, int y, int width, int height, void*, int sx, int sy, int sw, int sh,
                        uint32_t rop) -> int {
        char text[96];
        snprintf(text, sizeof text, "StretchBlt %d,%d %dx%d from %d,%d %dx%d rop %X", x, y, width, height, sx, sy,
                 sw, sh, rop);
        overlayCalls.push_back(text);
        return 1;
    };
    ops.GetDIBits = [](void* dc, void* bitmap, uint32_t start, uint32_t lines, void* bits, PictureHeader* header,
                       uint32_t usage) -> int {
        overlayCalls.push_back("GetDIBits " + std::to_string(start) + " " + std::to_string(lines) + " usage " +
                               std::to_string(usage));
        EXPECT_EQ(bitmap, fakeGdi.selected[dc]) << "read back from a DC that does not hold the target";
        fakeGdi.header = *header;
        WriteBarPicture((uint8_t*)bits, (uint32_t)header->width, lines);
        return (int)lines;
    };
    return ops;
}

// ---- DirectDraw -------------------------------------------------------------

struct FakeSurface {
    SurfaceDescription description;  // what GetSurfaceDesc and Lock report
    std::vector<uint8_t> memory;
    int32_t descResult = DD_OK_RESULT;
    std::deque<int32_t> lockResults;  // consumed one per Lock; DD_OK when empty
    int locks = 0, unlocks = 0;
    bool locked = false;
    std::vector<void*> unlockAddresses;
};

struct UpdateCall {
    OverlayRect source, target;
    void* overlay;
    void* primary;
    uint32_t flags;
};

struct FakeDirectDraw {
    // Script.
    bool loadFails = false;
    bool entryMissing = false;
    int32_t createResult = DD_OK_RESULT;
    int32_t capsResult = DD_OK_RESULT;
    uint32_t caps = DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG;
    uint32_t minStretch = 1000;
    int32_t cooperativeResult = DD_OK_RESULT;
    int32_t primaryResult = DD_OK_RESULT;
    int32_t overlayResult = DD_OK_RESULT;
    int32_t colorKeyResult = DD_OK_RESULT;
    int32_t keyedResult = DD_OK_RESULT;
    int32_t unkeyedResult = DD_OK_RESULT;
    FakeSurface primaryTemplate, overlayTemplate;  // copied into each surface made
    std::vector<uint32_t> times;                   // successive timeGetTime results
    // Record.
    LiveObjects objects;
    std::set<void*> libraries;
    int loads = 0, badFrees = 0;
    std::vector<OverlayCaps> capsAsked;
    std::vector<std::pair<void*, uint32_t>> cooperative;
    std::vector<SurfaceDescription> created;
    std::vector<SurfaceDescription> locksAsked;
    std::map<void*, FakeSurface> surfaces;
    std::vector<uint32_t> keys;  // flags, low, high of each SetColorKey
    void* keySurface = nullptr;
    std::vector<UpdateCall> updates;
    size_t timeReads = 0;
    bool clockRanOut = false;
};
inline FakeDirectDraw fakeDd;

// An 800 x 600 primary of the given depth and masks.
inline FakeSurface PrimaryOf(uint32_t bitCount, uint32_t red, uint32_t green, uint32_t blue)
{
    FakeSurface s;
    memset(&s.description, 0, sizeof s.description);
    s.description.width = 800;
    s.description.height = 600;
    s.description.pitch = (int32_t)(800 * ((bitCount + 7) / 8));
    s.description.pixelFormat.size = PIXEL_FORMAT_SIZE;
    s.description.pixelFormat.flags = bitCount != 0 ? (uint32_t)DDPF_RGB_FLAG : 0u;
    s.description.pixelFormat.rgbBitCount = bitCount;
    s.description.pixelFormat.redMask = red;
    s.description.pixelFormat.greenMask = green;
    s.description.pixelFormat.blueMask = blue;
    return s;
}

// A 720 x 576 overlay with a pitch wider than its rows, as many drivers make them.
inline FakeSurface OverlayOf(OverlayFormat format, int32_t pitch = 1536)
{
    FakeSurface s;
    memset(&s.description, 0, sizeof s.description);
    s.description.width = 720;
    s.description.height = 576;
    s.description.pitch = pitch;
    s.description.pixelFormat = OverlayPixelFormat(format);
    return s;
}

inline FakeSurface* SurfaceOf(void* object)
{
    auto it = fakeDd.surfaces.find(object);
    return it == fakeDd.surfaces.end() ? nullptr : &it->second;
}

inline void ResetFakeDirectDraw()
{
    fakeDd = FakeDirectDraw();
    fakeDd.primaryTemplate = PrimaryOf(32, 0xFF0000, 0x00FF00, 0x0000FF);
    fakeDd.overlayTemplate = OverlayOf(OVERLAY_YUY2);
    memset(&DirectDrawContext, 0, sizeof DirectDrawContext);
    overlayCalls.clear();
}

inline void* const fakeDirectDrawCreate = (void*)0xDDC;

inline DirectDrawOps FakeDirectDrawOps()
{
    DirectDrawOps ops;
    ops.LoadLibraryA = [](const char* name) -> void* {
        overlayCalls.push_back(std::string("LoadLibraryA ") + name);
        if (fakeDd.loadFails) return nullptr;
        void* module = (void*)(intptr_t)(0x10000 + 0x1000 * ++fakeDd.loads);
        fakeDd.libraries.insert(module);
        return module;
    };
    ops.GetProcAddress = [](void*, const char* name) -> void* {
        overlayCalls.push_back(std::string("GetProcAddress ") + name);
        return fakeDd.entryMissing ? nullptr : fakeDirectDrawCreate;
    };
    ops.FreeLibrary = [](void* module) -> int {
        overlayCalls.push_back("FreeLibrary");
        if (fakeDd.libraries.erase(module) == 1) return 1;
        fakeDd.badFrees++;
        return 0;
    };
    ops.DirectDrawCreate = [](void* entry, void** directDraw) -> int32_t {
        overlayCalls.push_back("DirectDrawCreate");
        EXPECT_EQ(fakeDirectDrawCreate, entry);
        if (fakeDd.createResult != DD_OK_RESULT) return fakeDd.createResult;
        *directDraw = fakeDd.objects.Make("directdraw");
        return DD_OK_RESULT;
    };
    ops.GetCaps = [](void* directDraw, OverlayCaps* caps) -> int32_t {
        overlayCalls.push_back("GetCaps");
        EXPECT_EQ("directdraw", fakeDd.objects.KindOf(directDraw));
        fakeDd.capsAsked.push_back(*caps);
        if (fakeDd.capsResult != DD_OK_RESULT) return fakeDd.capsResult;
        caps->caps = fakeDd.caps;
        caps->minOverlayStretch = fakeDd.minStretch;
        return DD_OK_RESULT;
    };
    ops.SetCooperativeLevel = [](void*, void* window, uint32_t flags) -> int32_t {
        overlayCalls.push_back("SetCooperativeLevel");
        fakeDd.cooperative.push_back({window, flags});
        return fakeDd.cooperativeResult;
    };
    ops.CreateSurface = [](void*, const SurfaceDescription* description, void** surface) -> int32_t {
        const bool primary = (description->caps & DDSCAPS_PRIMARYSURFACE_FLAG) != 0;
        overlayCalls.push_back(primary ? "CreateSurface primary" : "CreateSurface overlay");
        fakeDd.created.push_back(*description);
        const int32_t result = primary ? fakeDd.primaryResult : fakeDd.overlayResult;
        if (result != DD_OK_RESULT) return result;
        *surface = fakeDd.objects.Make(primary ? "primary" : "overlay");
        FakeSurface s = primary ? fakeDd.primaryTemplate : fakeDd.overlayTemplate;
        s.memory.assign((size_t)s.description.pitch * s.description.height + 64, 0xCD);
        fakeDd.surfaces[*surface] = s;
        return DD_OK_RESULT;
    };
    ops.GetSurfaceDesc = [](void* surface, SurfaceDescription* description) -> int32_t {
        overlayCalls.push_back("GetSurfaceDesc " + fakeDd.objects.KindOf(surface));
        EXPECT_EQ(SURFACE_DESC_SIZE, description->size);
        FakeSurface* s = SurfaceOf(surface);
        if (s == nullptr) return (int32_t)0x88760082;  // a surface that is gone
        if (s->descResult != DD_OK_RESULT) return s->descResult;
        *description = s->description;
        description->size = SURFACE_DESC_SIZE;
        description->surface = nullptr;
        return DD_OK_RESULT;
    };
    ops.Lock = [](void* surface, SurfaceDescription* description, uint32_t flags) -> int32_t {
        overlayCalls.push_back("Lock " + fakeDd.objects.KindOf(surface));
        fakeDd.locksAsked.push_back(*description);
        EXPECT_EQ(0u, flags) << "Lock must not wait";
        FakeSurface* s = SurfaceOf(surface);
        if (s == nullptr) return (int32_t)0x88760082;
        s->locks++;
        if (!s->lockResults.empty()) {
            const int32_t result = s->lockResults.front();
            s->lockResults.pop_front();
            if (result != DD_OK_RESULT) return result;
        }
        EXPECT_FALSE(s->locked) << "locked twice";
        s->locked = true;
        *description = s->description;
        description->size = SURFACE_DESC_SIZE;
        description->surface = s->memory.data();
        return DD_OK_RESULT;
    };
    ops.Unlock = [](void* surface, void* memory) -> int32_t {
        overlayCalls.push_back("Unlock " + fakeDd.objects.KindOf(surface));
        FakeSurface* s = SurfaceOf(surface);
        if (s == nullptr) return (int32_t)0x88760082;
        EXPECT_TRUE(s->locked) << "unlocked without a lock";
        s->locked = false;
        s->unlocks++;
        s->unlockAddresses.push_back(memory);
        return DD_OK_RESULT;
    };
    ops.SetColorKey = [](void* surface, uint32_t flags, uint32_t low, uint32_t high) -> int32_t {
        overlayCalls.push_back("SetColorKey");
        fakeDd.keySurface = surface;
        fakeDd.keys = {flags, low, high};
        return fakeDd.colorKeyResult;
    };
    ops.UpdateOverlay = [](void* overlay, const OverlayRect* source, void* primary, const OverlayRect* target,
                           uint32_t flags) -> int32_t {
        overlayCalls.push_back("UpdateOverlay " + std::to_string(flags));
        fakeDd.updates.push_back(UpdateCall{*source, *target, overlay, primary, flags});
        if (flags == (DDOVER_SHOW_FLAG | DDOVER_KEYDEST_FLAG)) return fakeDd.keyedResult;
        if (flags == DDOVER_SHOW_FLAG) return fakeDd.unkeyedResult;
        return DD_OK_RESULT;
    };
    ops.Release = [](void* object) -> uint32_t {
        const std::string kind = fakeDd.objects.KindOf(object);
        overlayCalls.push_back("Release " + kind);
        FakeSurface* s = SurfaceOf(object);
        if (s != nullptr) {
            EXPECT_FALSE(s->locked) << kind << " released while locked";
            fakeDd.surfaces.erase(object);
        }
        fakeDd.objects.Drop(object);
        return 0;
    };
    ops.timeGetTime = []() -> uint32_t {
        if (fakeDd.timeReads < fakeDd.times.size()) return fakeDd.times[fakeDd.timeReads++];
        // A script that runs out ends every wait instead of spinning forever.
        fakeDd.clockRanOut = true;
        fakeDd.timeReads++;
        return 0x7FFFFFFF;
    };
    return ops;
}

inline void ExpectNoSurfacesHeld()
{
    EXPECT_EQ(0, fakeDd.objects.Count("primary")) << "primary surface never released";
    EXPECT_EQ(0, fakeDd.objects.Count("overlay")) << "overlay surface never released";
    EXPECT_EQ(nullptr, DirectDrawContext.primarySurface);
    EXPECT_EQ(nullptr, DirectDrawContext.overlaySurface);
}

inline void ExpectDirectDrawClosed()
{
    ExpectNoSurfacesHeld();
    EXPECT_EQ(0, fakeDd.objects.Count("directdraw")) << "DirectDraw object never released";
    EXPECT_TRUE(fakeDd.libraries.empty()) << "ddraw.dll never freed";
    EXPECT_EQ(0, fakeDd.badFrees);
    EXPECT_EQ(0, fakeDd.objects.badReleases) << "released something twice or never made";
    EXPECT_EQ(0, DirectDrawContext.openCount);
    EXPECT_EQ(nullptr, DirectDrawContext.directDraw);
    EXPECT_EQ(nullptr, DirectDrawContext.library);
}

// ---- The rest of the format test's platform ---------------------------------

struct Question {
    void* owner;
    std::string text, caption;
    uint32_t type;
    bool overlayShown;  // the last UpdateOverlay before the question showed it
};

struct FillCall {
    OverlayFormat format;
    void* memory;
    int32_t pitch;
    uint16_t width, height;
    bool locked;
};

struct FakeDesktop {
    // Script.
    std::deque<int> answers;  // IDYES (6) or IDNO (7); No when empty
    std::vector<std::array<uint8_t, 3>> palette = std::vector<std::array<uint8_t, 3>>(256, {0, 0, 0});
    size_t readablePaletteEntries = 256;
    int32_t clientX = 152, clientY = 105;  // where the client area's origin lies on the screen
    bool windowDcFails = false;
    // Record.
    int windowDcs = 0;
    std::vector<uint32_t> paletteReads;
    std::vector<Question> questions;
    std::vector<FillCall> fills;
};
inline FakeDesktop fakeDesktop;

inline void* const fakeTestWindow = (void*)0x7E57;

inline FormatTestOps FakeFormatTestOps()
{
    FormatTestOps ops;
    ops.GetDC = [](void* window) -> void* {
        EXPECT_EQ(fakeTestWindow, window);
        if (fakeDesktop.windowDcFails) return nullptr;
        fakeDesktop.windowDcs++;
        return (void*)0xDC;
    };
    ops.ReleaseDC = [](void* window, void* dc) -> int {
        EXPECT_EQ(fakeTestWindow, window);
        EXPECT_EQ((void*)0xDC, dc);
        fakeDesktop.windowDcs--;
        return 1;
    };
    ops.GetSystemPaletteEntry = [](void*, uint32_t index, uint8_t* red, uint8_t* green, uint8_t* blue) -> uint32_t {
        fakeDesktop.paletteReads.push_back(index);
        if (index >= fakeDesktop.readablePaletteEntries) return 0;
        *red = fakeDesktop.palette[index][0];
        *green = fakeDesktop.palette[index][1];
        *blue = fakeDesktop.palette[index][2];
        return 1;
    };
    ops.GetClientRect = [](void*, OverlayRect* rect) -> int {
        *rect = OverlayRect{0, 0, 720, 576};
        return 1;
    };
    ops.ClientToScreen = [](void*, int32_t* x, int32_t* y) -> int {
        *x += fakeDesktop.clientX;
        *y += fakeDesktop.clientY;
        return 1;
    };
    ops.MessageBoxA = [](void* owner, const char* text, const char* caption, uint32_t type) -> int {
        overlayCalls.push_back("MessageBoxA");
        const bool shown = !fakeDd.updates.empty() && (fakeDd.updates.back().flags & DDOVER_SHOW_FLAG) != 0;
        fakeDesktop.questions.push_back(Question{owner, text, caption, type, shown});
        if (fakeDesktop.answers.empty()) return 7;
        const int answer = fakeDesktop.answers.front();
        fakeDesktop.answers.pop_front();
        return answer;
    };
    ops.LoadText = [](int baseId) -> const char* {
        return baseId == TEXT_OVERLAY_QUESTION ? "Is the overlay screen displayed properly?" : "(other text)";
    };
    ops.Fill = [](OverlayFormat format, void* memory, int32_t pitch, uint16_t width, uint16_t height) -> int {
        overlayCalls.push_back("Fill");
        bool locked = false;
        for (const auto& entry : fakeDd.surfaces) {
            if (entry.second.locked && entry.second.memory.data() == memory) locked = true;
        }
        fakeDesktop.fills.push_back(FillCall{format, memory, pitch, width, height, locked});
        return 1;
    };
    return ops;
}

inline void ResetOverlayFakes()
{
    memset(&MachineInfo, 0, sizeof MachineInfo);
    allOverlayFormats = 0;
    overlayTestResult = 0;
    overlayTestRunning = 0;
    ResetFakeDirectDraw();
    fakeGdi = FakeGdi();
    fakeDesktop = FakeDesktop();
}
