#include <gtest/gtest.h>

#include <string.h>

#include "bridge/chipset_table.h"

namespace {

struct ChipsetCase {
    uint16_t vendorId, deviceId;
    const char* text;
};

const ChipsetCase chipsetCases[] = {
    {0x8086, 0x7190, "Intel 82443BX"},
    {0x8086, 0x7192, "Intel 82443BX"},
    {0x8086, 0x71A0, "Intel 82433GX"},
    {0x8086, 0x71A2, "Intel 82433GX"},
    {0x8086, 0x122D, "Intel 82430FX(Triton)"},
    {0x8086, 0x1A30, "Intel i845"},  // the last Intel row
    {0x8086, 0x250B, "Intel i820"},
    {0x8086, 0x2560, "Intel Unknown(Dev=2560)"},
    {0x1045, 0xC557, "Opti Opti Viper-M 82C557M"},
    {0x1106, 0x0691, "VIA Unknown(Dev=0691)"},
    {0x1039, 0x5511, "SiS SiS5511"},
    {0x1039, 0x0530, "SiS Unknown(Dev=0530)"},
    {0x1022, 0x7006, "AMD AMD-751"},
    {0x10DE, 0x01A4, "Unknown(Ven=10de, Dev=01a4)"},
    {0x0000, 0x0000, "Unknown(Ven=0000, Dev=0000)"},
    {0xFFFF, 0xABCD, "Unknown(Ven=ffff, Dev=abcd)"},
    {HALVERN_PCI_VENDOR_ID, 0x7190, "Halvern Unknown(Dev=7190)"},
};

TEST(FormatChipsetName, GivesTheTextOfEachExample)
{
    for (const ChipsetCase& c : chipsetCases) {
        char text[128];
        memset(text, '#', sizeof text);
        FormatChipsetName(c.vendorId, c.deviceId, text);
        EXPECT_STREQ(c.text, text) << std::hex << c.vendorId << ":" << c.deviceId;
    }
}

TEST(FormatChipsetName, WritesNoMoreThanSixtyFourCharacters)
{
    char text[128];
    memset(text, '#', sizeof text);
    FormatChipsetName(0x8086, 0x1250, text);
    EXPECT_STREQ("Intel 82430HX(Triton2)", text);
    for (size_t i = 64; i < sizeof text; i++) EXPECT_EQ('#', text[i]) << i;
}

TEST(ChipsetTable, HasTheVendorRowsInOrderWithTheirDeviceCounts)
{
    const struct {
        uint16_t vendorId;
        const char* name;
        int32_t count;
    } expected[CHIPSET_VENDOR_COUNT] = {
        {HALVERN_PCI_VENDOR_ID, "Halvern", 0}, {0x8086, "Intel", 21}, {0x1039, "SiS", 2},
        {0x1045, "Opti", 1},                   {0x1022, "AMD", 1},    {0x1106, "VIA", 0},
    };
    for (int i = 0; i < CHIPSET_VENDOR_COUNT; i++) {
        EXPECT_EQ(expected[i].vendorId, (uint16_t)ChipsetVendors[i].vendorId) << i;
        EXPECT_STREQ(expected[i].name, ChipsetVendors[i].vendorName) << i;
        EXPECT_EQ(expected[i].count, ChipsetVendors[i].deviceCount) << i;
        EXPECT_EQ(expected[i].count == 0, ChipsetVendors[i].devices == nullptr) << i;
    }
    // Names are NUL-padded to their full width, as a stored table would be.
    for (const ChipsetVendorRow& vendor : ChipsetVendors) {
        for (size_t i = strlen(vendor.vendorName); i < CHIPSET_NAME_CAPACITY; i++) EXPECT_EQ('\0', vendor.vendorName[i]);
    }
}

TEST(ChipsetTable, ListsTheIntelDevicesInOrder)
{
    const uint16_t ids[] = {0x122D, 0x1250, 0x7030, 0x7100, 0x1237, 0x7180, 0x7190, 0x7192, 0x71A0, 0x71A2, 0x1130,
                            0x2500, 0x2501, 0x250B, 0x2531, 0x7120, 0x7122, 0x7124, 0x1A21, 0x2530, 0x1A30};
    const ChipsetVendorRow& intel = ChipsetVendors[1];
    ASSERT_EQ((int32_t)(sizeof ids / sizeof ids[0]), intel.deviceCount);
    for (int i = 0; i < intel.deviceCount; i++) EXPECT_EQ(ids[i], intel.devices[i].deviceId) << i;
    EXPECT_STREQ("82440LX/EX", intel.devices[5].chipName);
    EXPECT_STREQ("i810-DC100", intel.devices[16].chipName);
}

}  // namespace
