#include "bridge/chipset_table.h"

#include "app/text_format.h"

namespace {

const ChipsetDeviceRow intelDevices[] = {
    {0x122D, "82430FX(Triton)"},
    {0x1250, "82430HX(Triton2)"},
    {0x7030, "82430VX"},
    {0x7100, "82430TX"},
    {0x1237, "82440FX(Natoma)"},
    {0x7180, "82440LX/EX"},
    {0x7190, "82443BX"},
    {0x7192, "82443BX"},
    // Stored as the chips' own data book names them, not "82443GX".
    {0x71A0, "82433GX"},
    {0x71A2, "82433GX"},
    {0x1130, "i815/i815E"},
    {0x2500, "i820"},
    {0x2501, "i820"},
    {0x250B, "i820"},
    {0x2531, "i860"},
    {0x7120, "i810"},
    {0x7122, "i810-DC100"},
    {0x7124, "i810E"},
    {0x1A21, "i840"},
    {0x2530, "i850"},
    {0x1A30, "i845"},
};

const ChipsetDeviceRow sisDevices[] = {
    {0x5571, "SiS5571"},
    {0x5511, "SiS5511"},
};

const ChipsetDeviceRow optiDevices[] = {
    {0xC557, "Opti Viper-M 82C557M"},
};

const ChipsetDeviceRow amdDevices[] = {
    {0x7006, "AMD-751"},
};

}  // namespace

const ChipsetVendorRow ChipsetVendors[CHIPSET_VENDOR_COUNT] = {
    {HALVERN_PCI_VENDOR_ID, 0, nullptr, "Halvern"},
    {0x8086, (int32_t)(sizeof intelDevices / sizeof intelDevices[0]), intelDevices, "Intel"},
    {0x1039, (int32_t)(sizeof sisDevices / sizeof sisDevices[0]), sisDevices, "SiS"},
    {0x1045, (int32_t)(sizeof optiDevices / sizeof optiDevices[0]), optiDevices, "Opti"},
    {0x1022, (int32_t)(sizeof amdDevices / sizeof amdDevices[0]), amdDevices, "AMD"},
    {0x1106, 0, nullptr, "VIA"},
};

void FormatChipsetName(uint16_t vendorId, uint16_t deviceId, char* text)
{
    enum { TEXT_CAPACITY = 64 };
    const ChipsetVendorRow* vendor = nullptr;
    for (const ChipsetVendorRow& row : ChipsetVendors) {
        if ((uint16_t)row.vendorId == vendorId) {
            vendor = &row;
            break;
        }
    }
    if (vendor == nullptr) {
        FormatText(text, TEXT_CAPACITY, "Unknown(Ven=%04x, Dev=%04x)", (int)vendorId, (int)deviceId);
        return;
    }
    for (int32_t i = 0; i < vendor->deviceCount; i++) {
        if (vendor->devices[i].deviceId == deviceId) {
            FormatText(text, TEXT_CAPACITY, "%s %s", vendor->vendorName, vendor->devices[i].chipName);
            return;
        }
    }
    FormatText(text, TEXT_CAPACITY, "%s Unknown(Dev=%04x)", vendor->vendorName, (int)deviceId);
}
