#include <windows.h>

#include "overlay/format_test.h"
#include "overlay/overlay_sequence.h"
#include "overlay/overlay_test.h"

namespace {

const char overlayWindowClass[] = "WC:ZPHTEST";
HINSTANCE overlayWindowInstance;
const char* overlayWindowTitle;

const FormatSequenceOps platformSequenceOps = {
    OpenDirectDraw,
    CloseDirectDraw,
    TestOverlayFormat,
};

void RunFormatSequence(HWND window)
{
    RunFormatSequenceWith(platformSequenceOps, window);
}

void SizeAndCentre(HWND window)
{
    RECT client, frame;
    GetClientRect(window, &client);
    POINT topLeft = {client.left, client.top};
    POINT bottomRight = {client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    GetWindowRect(window, &frame);
    const OverlayRect clientOnScreen = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    const OverlayRect windowRect = {frame.left, frame.top, frame.right, frame.bottom};
    const OverlayWindowPlacement p =
        PlaceOverlayWindow(clientOnScreen, windowRect, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    MoveWindow(window, p.x, p.y, p.width, p.height, TRUE);
}

void EraseMagenta(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(OVERLAY_MAGENTA);
    UnrealizeObject(brush);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

LRESULT CALLBACK OverlayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SizeAndCentre(window);
        return 0;
    case WM_ERASEBKGND:
        EraseMagenta(window, (HDC)wParam);
        return 1;
    case WM_OVERLAY_RUN_MESSAGE:
        RunFormatSequence(window);
        PostMessageA(window, WM_OVERLAY_DONE_MESSAGE, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunOverlayTest(void* owner)
{
    overlayTestResult = OVERLAY_RESULT_CONFIRMED;
    HWND window = CreateWindowExA(0, overlayWindowClass, overlayWindowTitle, WS_POPUP | WS_CAPTION | WS_THICKFRAME,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, (HWND)owner, nullptr,
                                  overlayWindowInstance, nullptr);
    if (window == nullptr) return OVERLAY_RESULT_NO_WINDOW;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    PostMessageA(window, WM_OVERLAY_RUN_MESSAGE, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_OVERLAY_DONE_MESSAGE) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    return overlayTestResult;
}

}  // namespace

uint16_t RegisterOverlayWindowClass(void* instance, const char* title)
{
    overlayWindowInstance = (HINSTANCE)instance;
    overlayWindowTitle = title;
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = OverlayWindowProc;
    windowClass.hInstance = overlayWindowInstance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = overlayWindowClass;
    return RegisterClassA(&windowClass);
}

int OnOverlayTestButton(void* mainDialog)
{
    return OnOverlayTestButtonWith(RunOverlayTest, mainDialog);
}
