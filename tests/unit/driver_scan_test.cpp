#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "driver/pci_scan.h"
#include "driver/zphtstnt_interface.h"

namespace {

// A synthetic PCI configuration space as HalGetBusData sees it.
struct FakePciFunction {
    uint16_t vendorId, deviceId;
    uint32_t classCode;
    uint8_t latencyTimer;
};

struct FakePci {
    std::set<uint32_t> buses;
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, FakePciFunction> functions;  // bus, device, function
    std::vector<std::string> reads;  // "bus:device.function"
    int badRequests = 0;
};
FakePci fakePci;

void Reset(std::initializer_list<uint32_t> buses)
{
    fakePci = FakePci();
    fakePci.buses = buses;
}

void Put(uint32_t bus, uint32_t device, uint32_t function, FakePciFunction header)
{
    fakePci.functions[{bus, device, function}] = header;
}

std::string Where(uint32_t bus, uint32_t device, uint32_t function)
{
    return std::to_string(bus) + ":" + std::to_string(device) + "." + std::to_string(function);
}

uint32_t FakeHalGetBusData(int busDataType, uint32_t bus, uint32_t slot, void* buffer, uint32_t length)
{
    const uint32_t device = slot & 31, function = slot >> 5 & 7;
    if (busDataType != PCI_CONFIGURATION_BUS_DATA || length != 64 || slot > 0xFF) fakePci.badRequests++;
    fakePci.reads.push_back(Where(bus, device, function));
    if (fakePci.buses.count(bus) == 0) return 0;
    const auto found = fakePci.functions.find({bus, device, function});
    if (found == fakePci.functions.end()) return 2;
    uint8_t* header = (uint8_t*)buffer;
    memset(header, 0x5A, length);
    const FakePciFunction& f = found->second;
    header[0] = (uint8_t)f.vendorId;
    header[1] = (uint8_t)(f.vendorId >> 8);
    header[2] = (uint8_t)f.deviceId;
    header[3] = (uint8_t)(f.deviceId >> 8);
    header[9] = (uint8_t)f.classCode;
    header[10] = (uint8_t)(f.classCode >> 8);
    header[11] = (uint8_t)(f.classCode >> 16);
    header[13] = f.latencyTimer;
    return length;
}

const PciOps fakePciOps = {FakeHalGetBusData};

const FakePciFunction hostBridge443BX = {0x8086, 0x7190, 0x060000, 64};
const FakePciFunction saa7146 = {0x1131, 0x7146, 0x048000, 32};
const FakePciFunction vgaCard = {0x10DE, 0x0020, 0x030000, 248};
const FakePciFunction isaBridge = {0x8086, 0x7110, 0x060100, 0};

struct BridgeResult {
    int found;
    uint16_t vendorId, deviceId;
    uint8_t latencyTimer;
};

BridgeResult Query()
{
    BridgeResult r = {0, 0xEEEE, 0xEEEE, 0xEE};
    r.found = QueryHostBridge(&fakePciOps, &r.vendorId, &r.deviceId, &r.latencyTimer);
    return r;
}

TEST(QueryHostBridge, PrefersTheSaa7146OnALaterBusToAVgaCardBeforeIt)
{
    Reset({0, 1});
    Put(0, 0, 0, hostBridge443BX);
    Put(0, 2, 0, vgaCard);
    Put(1, 5, 0, saa7146);
    const BridgeResult r = Query();
    ASSERT_EQ(1, r.found);
    EXPECT_EQ(0x8086, r.vendorId);
    EXPECT_EQ(0x7190, r.deviceId);
    EXPECT_EQ(32, r.latencyTimer);
    EXPECT_EQ(0, fakePci.badRequests);
}

TEST(QueryHostBridge, TakesTheLatencyOfTheVgaCardWithoutASaa7146)
{
    Reset({0, 1});
    Put(0, 0, 0, hostBridge443BX);
    Put(1, 0, 0, vgaCard);
    EXPECT_EQ(248, Query().latencyTimer);
}

TEST(QueryHostBridge, ReturnsTheFirstOfTwoHostBridgesInScanOrder)
{
    Reset({0, 1});
    Put(1, 0, 0, {0x1022, 0x7006, 0x060000, 0});
    Put(0, 3, 0, hostBridge443BX);
    Put(0, 4, 0, {0x1106, 0x0691, 0x060000, 0});
    const BridgeResult r = Query();
    EXPECT_EQ(0x8086, r.vendorId);
    EXPECT_EQ(0x7190, r.deviceId);
}

TEST(QueryHostBridge, IgnoresADisplayControllerThatIsNotVgaCompatible)
{
    const uint32_t otherDisplays[] = {0x030001, 0x030100, 0x038000};
    for (uint32_t classCode : otherDisplays) {
        Reset({0});
        Put(0, 0, 0, hostBridge443BX);
        Put(0, 1, 0, {0x1002, 0x4742, classCode, 99});
        const BridgeResult r = Query();
        EXPECT_EQ(1, r.found) << std::hex << classCode;
        EXPECT_EQ(0, r.latencyTimer) << std::hex << classCode;
    }
}

TEST(QueryHostBridge, NeverLooksPastAnAbsentFunction)
{
    Reset({0});
    Put(0, 0, 0, hostBridge443BX);
    Put(0, 7, 0, isaBridge);
    Put(0, 7, 2, vgaCard);  // function 1 absent
    EXPECT_EQ(0, Query().latencyTimer);
    for (const std::string& read : fakePci.reads) EXPECT_NE("0:7.2", read);
}

TEST(QueryHostBridge, EndsTheScanAtTheFirstMissingBus)
{
    Reset({0, 2});
    Put(0, 0, 0, hostBridge443BX);
    Put(2, 0, 0, saa7146);
    EXPECT_EQ(0, Query().latencyTimer);
    for (const std::string& read : fakePci.reads) EXPECT_NE('2', read[0]) << read;
}

TEST(QueryHostBridge, FailsWithoutAHostBridgeAndWritesNothing)
{
    Reset({0, 1});
    Put(0, 1, 0, isaBridge);
    Put(1, 0, 0, saa7146);
    const BridgeResult r = Query();
    EXPECT_EQ(0, r.found);
    EXPECT_EQ(0xEEEE, r.vendorId);
    EXPECT_EQ(0xEEEE, r.deviceId);
    EXPECT_EQ(0xEE, r.latencyTimer);
}

TEST(FindPciDevice, ReadsInBusDeviceFunctionOrderWithTheHalsSlotNumbers)
{
    Reset({0});
    Put(0, 0, 0, isaBridge);
    Put(0, 0, 1, isaBridge);
    Put(0, 1, 0, isaBridge);
    uint8_t configuration[PCI_CONFIG_BUFFER_SIZE];
    EXPECT_EQ(0, FindPciDeviceById(&fakePciOps, 0x1131, 0x7146, configuration));
    ASSERT_GE(fakePci.reads.size(), 5u);
    const char* expected[] = {"0:0.0", "0:0.1", "0:0.2", "0:1.0", "0:1.1", "0:2.0"};
    for (size_t i = 0; i < 6; i++) EXPECT_EQ(expected[i], fakePci.reads[i]) << i;
    EXPECT_EQ("0:31.0", fakePci.reads[fakePci.reads.size() - 2]);
    EXPECT_EQ("1:0.0", fakePci.reads.back());
    EXPECT_EQ(0, fakePci.badRequests);
}

TEST(FindPciDevice, MatchesBothIdsAndLeavesTheHeaderInTheBuffer)
{
    Reset({0});
    Put(0, 1, 0, {0x1131, 0x7130, 0x048000, 1});  // Philips, another chip
    Put(0, 2, 0, {0x1132, 0x7146, 0x048000, 2});  // another maker, same device id
    Put(0, 3, 0, saa7146);
    uint8_t configuration[PCI_CONFIG_BUFFER_SIZE];
    ASSERT_EQ(1, FindPciDeviceById(&fakePciOps, 0x1131, 0x7146, configuration));
    EXPECT_EQ(32, configuration[0x0D]);
    EXPECT_EQ("0:3.0", fakePci.reads.back());
}

// ---- Dispatch ----------------------------------------------------------------

TEST(AnswerDeviceControl, RejectsRequestsWithTheStatusOfTheirFirstFault)
{
    const struct {
        uint32_t code, length, status;
    } cases[] = {
        {0x9C412004, 8, ZPH_STATUS_INVALID_PARAMETER},
        {0x9C412000 | 3, 8, ZPH_STATUS_INVALID_PARAMETER},
        {0x00222000, 0, ZPH_STATUS_INVALID_PARAMETER},  // code before length
        {IOCTL_GET_BRIDGE_DATA, 7, ZPH_STATUS_INVALID_BUFFER_SIZE},
        {IOCTL_GET_BRIDGE_DATA, 0, ZPH_STATUS_INVALID_BUFFER_SIZE},
    };
    for (const auto& c : cases) {
        Reset({0});
        Put(0, 0, 0, hostBridge443BX);
        uint8_t buffer[16];
        memset(buffer, 0xAB, sizeof buffer);
        const DeviceControlAnswer answer = AnswerDeviceControl(&fakePciOps, c.code, c.length, buffer);
        EXPECT_EQ(c.status, answer.status) << std::hex << c.code << " " << c.length;
        EXPECT_EQ(0u, answer.information);
        for (uint8_t b : buffer) EXPECT_EQ(0xAB, b);
        EXPECT_TRUE(fakePci.reads.empty()) << "scanned for a rejected request";
    }
}

TEST(AnswerDeviceControl, WritesOnlyBytesTwoToSixOfALargerBuffer)
{
    Reset({0, 1});
    Put(0, 0, 0, hostBridge443BX);
    Put(1, 1, 0, saa7146);
    uint8_t buffer[16];
    memset(buffer, 0xAB, sizeof buffer);
    const DeviceControlAnswer answer = AnswerDeviceControl(&fakePciOps, IOCTL_GET_BRIDGE_DATA, 16, buffer);
    EXPECT_EQ(ZPH_STATUS_SUCCESS, answer.status);
    EXPECT_EQ(8u, answer.information);
    const uint8_t expected[16] = {0xAB, 0xAB, 0x86, 0x80, 0x90, 0x71, 32,   0xAB,
                                  0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};
    EXPECT_EQ(0, memcmp(expected, buffer, 16));
}

TEST(AnswerDeviceControl, ReportsAMissingHostBridgeAndLeavesTheBuffer)
{
    Reset({0});
    Put(0, 1, 0, saa7146);
    uint8_t buffer[8];
    memset(buffer, 0xAB, sizeof buffer);
    const DeviceControlAnswer answer = AnswerDeviceControl(&fakePciOps, IOCTL_GET_BRIDGE_DATA, 8, buffer);
    EXPECT_EQ(ZPH_STATUS_DEVICE_DOES_NOT_EXIST, answer.status);
    EXPECT_EQ(0u, answer.information);
    for (uint8_t b : buffer) EXPECT_EQ(0xAB, b);
}

}  // namespace
