#include <windows.h>

#include "app/machine_record.h"
#include "app/texts.h"

static char textBuffer[512];

void SelectLanguage()
{
    LanguageOffset = LanguageOffsetFor(GetSystemDefaultLangID());
}

const char* LoadText(int baseId)
{
    if (LoadStringA((HINSTANCE)moduleInstance, (UINT)(baseId + LanguageOffset), textBuffer, sizeof textBuffer) == 0) {
        textBuffer[0] = '\0';
    }
    return textBuffer;
}
