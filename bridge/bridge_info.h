// The host-bridge facts of the machine record.
#pragma once

#include <stdint.h>

// Fills pciBiosText, chipsetText and latencyText; never fails as a whole.
void CollectBridgeInfo(int32_t isNt, uint32_t majorVersion);
