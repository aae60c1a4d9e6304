#include "disktest/disk_run.h"
#include "disktest/disk_test.h"

void OnHddTestButton(void* mainDialog, int driveIndex)
{
    OnHddTestButtonWith(platformDiskOps, mainDialog, driveIndex);
}
