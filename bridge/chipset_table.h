// The built-in names of the host-bridge chip sets.
#pragma once

#include <stdint.h>

enum { CHIPSET_NAME_CAPACITY = 32, CHIPSET_VENDOR_COUNT = 6 };

struct ChipsetDeviceRow {
    uint16_t deviceId;
    char chipName[CHIPSET_NAME_CAPACITY];
};

struct ChipsetVendorRow {
    uint32_t vendorId;  // only the low 16 bits take part in the lookup
    int32_t deviceCount;
    const ChipsetDeviceRow* devices;
    char vendorName[CHIPSET_NAME_CAPACITY];
};

extern const ChipsetVendorRow ChipsetVendors[CHIPSET_VENDOR_COUNT];

// The maker's own PCI vendor id, the first row of the table.
enum { HALVERN_PCI_VENDOR_ID = 0x1A5E };

// Writes the chip set name of a host bridge, or its ids in hexadecimal when
// the table does not know it. text must hold at least 64 characters.
void FormatChipsetName(uint16_t vendorId, uint16_t deviceId, char* text);
