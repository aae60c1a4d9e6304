#include "overlay/overlay_sequence.h"

int32_t overlayTestResult;
int32_t overlayTestRunning;

OverlayWindowPlacement PlaceOverlayWindow(const OverlayRect& clientOnScreen, const OverlayRect& window,
                                          int32_t screenWidth, int32_t screenHeight)
{
    const int32_t clientWidth = clientOnScreen.right - clientOnScreen.left;
    const int32_t clientHeight = clientOnScreen.bottom - clientOnScreen.top;
    const int32_t right = window.right - clientWidth + OVERLAY_WIDTH;
    const int32_t bottom = window.bottom - clientHeight + OVERLAY_HEIGHT;
    OverlayWindowPlacement p;
    p.width = right - window.left;
    p.height = bottom - window.top;
    // Truncating division: a window wider than the screen gets a negative position.
    p.x = (screenWidth - p.width) / 2;
    p.y = (screenHeight - p.height) / 2;
    return p;
}

OverlayState OverlayStateAfterTest(OverlayState state, int32_t result)
{
    if (result == OVERLAY_RESULT_CONFIRMED) return OVERLAY_STATE_SUPPORTED;
    if (result == OVERLAY_RESULT_NOT_CONFIRMED) return OVERLAY_STATE_NOT_SUPPORTED;
    return state;
}

void RunFormatSequenceWith(const FormatSequenceOps& ops, void* window)
{
    overlayTestResult = OVERLAY_RESULT_NOT_CONFIRMED;
    if (!ops.OpenDirectDraw()) return;
    int passed = ops.TestOverlayFormat(window, OVERLAY_WIDTH, OVERLAY_HEIGHT, OVERLAY_YUY2);
    if (!passed || allOverlayFormats) {
        passed = ops.TestOverlayFormat(window, OVERLAY_WIDTH, OVERLAY_HEIGHT, OVERLAY_RGB565);
        if (!passed || allOverlayFormats) {
            passed = ops.TestOverlayFormat(window, OVERLAY_WIDTH, OVERLAY_HEIGHT, OVERLAY_UYVY);
        }
    }
    ops.CloseDirectDraw();
    if (passed) overlayTestResult = OVERLAY_RESULT_CONFIRMED;
}

int OnOverlayTestButtonWith(int (*runOverlayTest)(void* owner), void* mainDialog)
{
    // The main dialog stays enabled during a run, so its button can be
    // pressed from inside the question box's loop. A nested run would make
    // surfaces of its own in place of the running test's.
    if (overlayTestRunning) return OVERLAY_RESULT_NO_WINDOW;
    overlayTestRunning = 1;
    const int result = runOverlayTest(mainDialog);
    overlayTestRunning = 0;
    MachineInfo.overlayState = OverlayStateAfterTest(MachineInfo.overlayState, result);
    return result;
}
