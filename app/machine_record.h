// The process-wide machine record and the values that stand beside it.
#pragma once

#include <stdint.h>

enum : int32_t {
    OVERLAY_STATE_INITIAL = 0,
    OVERLAY_STATE_SUPPORTED = 1,
    OVERLAY_STATE_NOT_TESTED = 3,
    OVERLAY_STATE_NOT_SUPPORTED = 4,
    OVERLAY_STATE_LOW_RESOLUTION = 5,
};
typedef int32_t OverlayState;

struct MachineInfoRecord {
    char windowsText[256];
    char windowsLine[256];
    int32_t isNt;
    char processorText[128];
    uint32_t totalMemory;
    char pciBiosText[12];
    char chipsetText[128];
    char latencyText[12];
    OverlayState overlayState;
};

extern MachineInfoRecord MachineInfo;
extern void* moduleInstance;
extern int32_t LanguageOffset;
extern int32_t showInfoFile;
extern int32_t allOverlayFormats;

extern const char* const programTitle;    // "Zephon Test"
extern const char* const programVersion;  // "1.05.000"

// Base ids of the string table; the resource id is the base plus LanguageOffset.
enum {
    TEXT_OVERLAY_QUESTION = 501,
    TEXT_OVERLAY_SUPPORTED = 502,
    TEXT_NOT_TESTED = 503,
    TEXT_OVERLAY_NOT_SUPPORTED = 504,
    TEXT_LOW_RESOLUTION = 505,
    TEXT_NEED_FREE_SPACE = 511,
    TEXT_ABOUT_FORMAT = 512,
    TEXT_COPY_FILES = 513,
};

int OverlayStateTextId(OverlayState state);

// The state a refresh leaves behind for a screen of the given size.
OverlayState OverlayStateAfterRefresh(OverlayState state, int screenWidth, int screenHeight);

// 0 for a Japanese system default language, 1000 for every other.
int32_t LanguageOffsetFor(uint16_t systemLangId);
