#include "bridge/bridge_info.h"

#include "app/machine_record.h"
#include "app/text_format.h"

void CollectBridgeInfo(int32_t, uint32_t)
{
    // No bridge source is queried yet; every fact reads as not available.
    CopyText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, "N/A");
    CopyText(MachineInfo.chipsetText, sizeof MachineInfo.chipsetText, "N/A");
    CopyText(MachineInfo.latencyText, sizeof MachineInfo.latencyText, "N/A");
}
