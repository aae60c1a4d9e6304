// The overlay test run: the test window's size, the order of the formats and
// what the outcome does to the overlay status.
#pragma once

#include <stdint.h>

#include "app/machine_record.h"
#include "overlay/ddraw_context.h"

enum : uint32_t { WM_OVERLAY_RUN_MESSAGE = 0x0400 + 300, WM_OVERLAY_DONE_MESSAGE = 0x0400 + 301 };
enum : int32_t { OVERLAY_RESULT_CONFIRMED = 0, OVERLAY_RESULT_NO_WINDOW = 101, OVERLAY_RESULT_NOT_CONFIRMED = 105 };
enum : uint16_t { OVERLAY_WIDTH = 720, OVERLAY_HEIGHT = 576 };
enum : uint32_t { OVERLAY_MAGENTA = 0xFF00FF };

extern int32_t overlayTestResult;
// Set while a run is in progress; a second press of the button meanwhile is
// ignored, so the running test keeps its surfaces.
extern int32_t overlayTestRunning;

struct OverlayWindowPlacement {
    int32_t x, y, width, height;
};

// Where the test window goes so that its client area measures 720 x 576 and
// the window is centred on the screen. The client corners are in screen
// coordinates.
OverlayWindowPlacement PlaceOverlayWindow(const OverlayRect& clientOnScreen, const OverlayRect& window,
                                          int32_t screenWidth, int32_t screenHeight);

OverlayState OverlayStateAfterTest(OverlayState state, int32_t result);

// What the sequence needs: the context and the test of one format.
struct FormatSequenceOps {
    int (*OpenDirectDraw)();
    int (*CloseDirectDraw)();
    int (*TestOverlayFormat)(void* window, uint16_t width, uint16_t height, OverlayFormat format);
};

// YUY2, RGB565, UYVY; stops at the first confirmed one unless allOverlayFormats.
void RunFormatSequenceWith(const FormatSequenceOps& ops, void* window);

// Runs the test unless one is running and updates MachineInfo.overlayState.
int OnOverlayTestButtonWith(int (*runOverlayTest)(void* owner), void* mainDialog);
