#include "app/main_dialog.h"

#include "app/machine_record.h"
#include "app/text_format.h"

const char* const aboutNotice = "\n\nCopyright (C) 2001 Tessaline Systems Inc.\nAll rights reserved.";

WindowPoint CentrePosition(const WindowRect& window, const WindowRect& parent)
{
    const int32_t w = window.right - window.left;
    const int32_t h = window.bottom - window.top;
    WindowPoint at;
    at.x = parent.left + (parent.right - parent.left) / 2 - w / 2;
    at.y = parent.top + (parent.bottom - parent.top) / 2 - h / 2;
    return at;
}

void FormatComputerLine(char* out, int capacity, const char* processorText, uint32_t totalMemory)
{
    FormatText(out, (size_t)capacity, "%s %dMBytes", processorText, (int)(totalMemory >> 20));
}

void FormatAboutText(char* out, int capacity, const char* aboutFormat)
{
    FormatText(out, (size_t)capacity, aboutFormat, programVersion, aboutNotice);
}

int MainDialogTemplate(int32_t isNt)
{
    return isNt == 1 ? 102 : 101;
}
