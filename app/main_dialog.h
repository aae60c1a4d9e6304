// Decisions of the main dialog that do not need a window.
#pragma once

#include <stdint.h>

enum : uint32_t { WM_REFRESHINFO_MESSAGE = 0x0400 + 200 };

struct WindowRect {
    int32_t left, top, right, bottom;
};

struct WindowPoint {
    int32_t x, y;
};

// Where a window of rectangle `window` goes so that it is centred on `parent`.
WindowPoint CentrePosition(const WindowRect& window, const WindowRect& parent);

// "%s %dMBytes" of the processor text and the memory in whole MiB.
void FormatComputerLine(char* out, int capacity, const char* processorText, uint32_t totalMemory);

extern const char* const aboutNotice;  // the notice suffix of the About box

// The About text from the format of text 512.
void FormatAboutText(char* out, int capacity, const char* aboutFormat);

// The base template id of the main dialog for a Windows family.
int MainDialogTemplate(int32_t isNt);
