// The disk throughput test as the main dialog starts it.
#pragma once

#include <stdint.h>

#include "disktest/drives.h"

struct DiskTimesRecord {
    uint32_t readMs[DRIVE_COUNT];
    uint32_t writeMs[DRIVE_COUNT];
};

extern DiskTimesRecord DiskTimes;

void OnHddTestButton(void* mainDialog, int driveIndex);
