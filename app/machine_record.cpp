#include "app/machine_record.h"

MachineInfoRecord MachineInfo;
void* moduleInstance;
int32_t LanguageOffset;
int32_t showInfoFile;
int32_t allOverlayFormats;

const char* const programTitle = "Zephon Test";
const char* const programVersion = "1.05.000";

int OverlayStateTextId(OverlayState state)
{
    switch (state) {
    case OVERLAY_STATE_SUPPORTED: return TEXT_OVERLAY_SUPPORTED;
    case OVERLAY_STATE_NOT_SUPPORTED: return TEXT_OVERLAY_NOT_SUPPORTED;
    case OVERLAY_STATE_LOW_RESOLUTION: return TEXT_LOW_RESOLUTION;
    default: return TEXT_NOT_TESTED;
    }
}

OverlayState OverlayStateAfterRefresh(OverlayState state, int screenWidth, int screenHeight)
{
    if (screenWidth < 800 || screenHeight < 600) return OVERLAY_STATE_LOW_RESOLUTION;
    // A screen that comes back to 800 x 600 does not bring back an earlier result.
    if (state == OVERLAY_STATE_LOW_RESOLUTION) return OVERLAY_STATE_NOT_TESTED;
    return state;
}

int32_t LanguageOffsetFor(uint16_t systemLangId)
{
    const uint16_t japanese = 0x11;
    return (systemLangId & 0x3FF) == japanese ? 0 : 1000;
}
