#include "disktest/disk_test.h"

DiskTimesRecord DiskTimes;
