#include <windows.h>
#include <commctrl.h>

#include "app/collect.h"
#include "app/machine_record.h"
#include "bridge/bridge_info.h"
#include "disktest/drives.h"
#include "machine/processor.h"
#include "machine/windows_version.h"
#include "overlay/overlay_test.h"

int CollectMachineInfo(void* instance)
{
    const uint32_t majorVersion = DescribeWindows();
    CollectProcessorAndMemory();
    if (!CollectDrives()) return 0;
    ProbeFreeSpaceEx();
    InitCommonControls();
    RegisterOverlayWindowClass(instance, programTitle);
    CollectBridgeInfo(MachineInfo.isNt, majorVersion);
    MachineInfo.overlayState = OVERLAY_STATE_NOT_TESTED;
    return 1;
}
