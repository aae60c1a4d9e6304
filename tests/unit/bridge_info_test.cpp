#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/machine_record.h"
#include "bridge/bridge_info.h"

namespace {

void* const thunkModule = (void*)0x3200;
void* const thunkExport = (void*)0x3210;
void* const deviceHandle = (void*)0xDE0;

// Both sources at once: the thunk DLL of Windows 9x and the driver's device
// and service of the NT family.
struct FakeBridge {
    // Script.
    bool dllMissing = false;
    bool exportMissing = false;
    uint32_t exportResult = 1;
    BridgeData thunkData = {0x0210, 0x8086, 0x7190, 64};
    bool driverRunning = false;  // the first open succeeds
    bool installStartsDriver = true;
    bool ioctlFails = false;
    uint8_t response[8] = {0xF0, 0xF1, 0x86, 0x80, 0x90, 0x71, 0x20, 0xF7};
    // Record.
    std::vector<std::string> calls;
    std::vector<std::string> paths;
    int modulesLoaded = 0, devicesOpen = 0;
    bool installed = false;
    uint32_t code = 0, length = 0;
    std::string installFile, installService, removeService;
    const void* exportArgs[4] = {};
};
FakeBridge fake;

BridgeOps FakeBridgeOps()
{
    BridgeOps ops;
    ops.LoadLibraryA = [](const char* name) -> void* {
        fake.calls.push_back(std::string("LoadLibraryA ") + name);
        if (fake.dllMissing) return nullptr;
        fake.modulesLoaded++;
        return thunkModule;
    };
    ops.GetProcAddress = [](void* module, const char* name) -> void* {
        fake.calls.push_back(std::string("GetProcAddress ") + name);
        EXPECT_EQ(thunkModule, module);
        return fake.exportMissing ? nullptr : thunkExport;
    };
    ops.CallQVRGetBridgeData = [](void* function, uint16_t* version, uint16_t* vendorId, uint16_t* deviceId,
                                  uint8_t* latency) -> uint32_t {
        fake.calls.push_back("QVRGetBridgeData");
        EXPECT_EQ(thunkExport, function);
        fake.exportArgs[0] = version;
        fake.exportArgs[1] = vendorId;
        fake.exportArgs[2] = deviceId;
        fake.exportArgs[3] = latency;
        if (fake.exportResult != 0) {
            *version = fake.thunkData.pciBiosVersion;
            *vendorId = fake.thunkData.vendorId;
            *deviceId = fake.thunkData.deviceId;
            *latency = fake.thunkData.latencyTimer;
        }
        return fake.exportResult;
    };
    ops.FreeLibrary = [](void* module) -> int {
        fake.calls.push_back("FreeLibrary");
        EXPECT_EQ(thunkModule, module);
        fake.modulesLoaded--;
        return 1;
    };
    ops.CreateFileA = [](const char* path) -> void* {
        fake.calls.push_back("CreateFileA");
        fake.paths.push_back(path);
        if (!fake.driverRunning) return nullptr;
        fake.devicesOpen++;
        return deviceHandle;
    };
    ops.DeviceIoControl = [](void* device, uint32_t code, void* output, uint32_t length, uint32_t* count) -> int {
        fake.calls.push_back("DeviceIoControl");
        EXPECT_EQ(deviceHandle, device);
        fake.code = code;
        fake.length = length;
        if (fake.ioctlFails) {
            memset(output, 0x77, length);  // whatever a failing call leaves
            *count = 0;
            return 0;
        }
        memcpy(output, fake.response, 8);
        *count = 8;
        return 1;
    };
    ops.CloseHandle = [](void* handle) -> int {
        fake.calls.push_back("CloseHandle");
        EXPECT_EQ(deviceHandle, handle);
        fake.devicesOpen--;
        return 1;
    };
    ops.InstallDriverService = [](const char* file, const char* service) -> uint32_t {
        fake.calls.push_back("InstallDriverService");
        fake.installFile = file;
        fake.installService = service;
        fake.installed = true;
        if (fake.installStartsDriver) fake.driverRunning = true;
        return fake.installStartsDriver ? 0 : 1073;
    };
    ops.RemoveDriverService = [](const char* service) -> int {
        fake.calls.push_back("RemoveDriverService");
        fake.removeService = service;
        fake.installed = false;
        fake.driverRunning = false;
        return 1;
    };
    return ops;
}

class BridgeStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeBridge();
        memset(&MachineInfo, 0, sizeof MachineInfo);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, fake.modulesLoaded) << "thunk DLL not freed";
        EXPECT_EQ(0, fake.devicesOpen) << "device left open";
        for (const std::string& path : fake.paths) EXPECT_EQ("\\\\.\\ZPHTSTNT", path);
    }
    void Collect(int32_t isNt, uint32_t major) { CollectBridgeInfoWith(ops, isNt, major); }
    void ExpectTexts(const char* pciBios, const char* chipset, const char* latency)
    {
        EXPECT_STREQ(pciBios, MachineInfo.pciBiosText);
        EXPECT_STREQ(chipset, MachineInfo.chipsetText);
        EXPECT_STREQ(latency, MachineInfo.latencyText);
    }
    const BridgeOps ops = FakeBridgeOps();
};

TEST_F(BridgeStep, ShowsThePciBiosVersionBytesInPlainDecimal)
{
    const struct {
        uint16_t version;
        const char* text;
    } cases[] = {{0x0210, "2.16"}, {0x0100, "1.0"}, {0x0000, "0.0"}, {0xFFFF, "255.255"}};
    for (const auto& c : cases) {
        fake.thunkData.pciBiosVersion = c.version;
        Collect(0, 4);
        EXPECT_STREQ(c.text, MachineInfo.pciBiosText);
    }
}

TEST_F(BridgeStep, Windows9xCallsTheExportOnceWithTheFieldsInOrderAndFreesTheDll)
{
    Collect(0, 4);
    ExpectTexts("2.16", "Intel 82443BX", "64");
    const std::vector<std::string> expected = {"LoadLibraryA zphtst32.dll", "GetProcAddress QVRGetBridgeData",
                                               "QVRGetBridgeData", "FreeLibrary"};
    EXPECT_EQ(expected, fake.calls);
    // Ascending places of one record: version, vendor, device, latency.
    EXPECT_LT(fake.exportArgs[0], fake.exportArgs[1]);
    EXPECT_LT(fake.exportArgs[1], fake.exportArgs[2]);
    EXPECT_LT(fake.exportArgs[2], fake.exportArgs[3]);
}

TEST_F(BridgeStep, LatencyZeroIsAFactNotAFailure)
{
    fake.thunkData.latencyTimer = 0;
    Collect(0, 4);
    EXPECT_STREQ("0", MachineInfo.latencyText);
    fake.response[6] = 0;
    fake.driverRunning = true;
    Collect(1, 5);
    EXPECT_STREQ("0", MachineInfo.latencyText);
}

TEST_F(BridgeStep, AnyNonzeroExportResultIsSuccess)
{
    fake.exportResult = 32768;
    Collect(0, 4);
    ExpectTexts("2.16", "Intel 82443BX", "64");
}

TEST_F(BridgeStep, EveryFailureGivesNotAvailable)
{
    const struct {
        const char* situation;
        int32_t isNt;
        uint32_t major;
        void (*script)();
    } cases[] = {
        {"9x, DLL missing", 0, 4, [] { fake.dllMissing = true; }},
        {"9x, export missing", 0, 4, [] { fake.exportMissing = true; }},
        {"9x, export returns 0", 0, 4, [] { fake.exportResult = 0; }},
        {"NT 3", 1, 3, [] { fake.driverRunning = true; }},
        {"NT, device never opens", 1, 4, [] { fake.installStartsDriver = false; }},
        {"NT, request fails", 1, 5, [] { fake.ioctlFails = true; }},
        {"NT, running driver's request fails", 1, 5, [] { fake.driverRunning = true, fake.ioctlFails = true; }},
    };
    for (const auto& c : cases) {
        fake = FakeBridge();
        c.script();
        strcpy(MachineInfo.pciBiosText, "old");
        strcpy(MachineInfo.chipsetText, "old");
        strcpy(MachineInfo.latencyText, "old");
        Collect(c.isNt, c.major);
        EXPECT_STREQ("N/A", MachineInfo.pciBiosText) << c.situation;
        EXPECT_STREQ("N/A", MachineInfo.chipsetText) << c.situation;
        EXPECT_STREQ("N/A", MachineInfo.latencyText) << c.situation;
        EXPECT_EQ(0, fake.modulesLoaded) << c.situation;
        EXPECT_EQ(0, fake.devicesOpen) << c.situation;
    }
}

TEST_F(BridgeStep, NtThreeOpensNothing)
{
    fake.driverRunning = true;
    Collect(1, 3);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(BridgeStep, NtNeverLoadsTheThunkDll)
{
    Collect(1, 5);
    for (const std::string& call : fake.calls) EXPECT_NE(0u, call.find("LoadLibraryA")) << call;
}

TEST_F(BridgeStep, NtInstallsQueriesClosesAndRemovesInThatOrder)
{
    Collect(1, 4);
    ExpectTexts("N/A", "Intel 82443BX", "32");
    const std::vector<std::string> expected = {"CreateFileA", "InstallDriverService", "CreateFileA",
                                               "DeviceIoControl", "CloseHandle", "RemoveDriverService"};
    EXPECT_EQ(expected, fake.calls);
    EXPECT_EQ("ZPHTSTNT.SYS", fake.installFile);
    EXPECT_EQ("ZPHTSTNT", fake.installService);
    EXPECT_EQ("ZPHTSTNT", fake.removeService);
    EXPECT_EQ(0x9C412000u, fake.code);
    EXPECT_EQ(8u, fake.length);
}

TEST_F(BridgeStep, NtUsesARunningDriverAndLeavesItRunning)
{
    fake.driverRunning = true;
    Collect(1, 5);
    ExpectTexts("N/A", "Intel 82443BX", "32");
    const std::vector<std::string> expected = {"CreateFileA", "DeviceIoControl", "CloseHandle"};
    EXPECT_EQ(expected, fake.calls);
}

TEST_F(BridgeStep, NtStillRemovesTheServiceWhenTheRequestFails)
{
    fake.ioctlFails = true;
    Collect(1, 5);
    EXPECT_EQ("RemoveDriverService", fake.calls.back());
    EXPECT_FALSE(fake.installed);
}

TEST_F(BridgeStep, NtLeavesTheServiceWhenTheSecondOpenFails)
{
    fake.installStartsDriver = false;
    Collect(1, 5);
    const std::vector<std::string> expected = {"CreateFileA", "InstallDriverService", "CreateFileA"};
    EXPECT_EQ(expected, fake.calls);
}

TEST_F(BridgeStep, ShowsAnUnknownBridgeByItsIds)
{
    const uint8_t response[8] = {0, 0, 0xDE, 0x10, 0xA4, 0x01, 0xFF, 0};
    memcpy(fake.response, response, 8);
    fake.driverRunning = true;
    Collect(1, 5);
    ExpectTexts("N/A", "Unknown(Ven=10de, Dev=01a4)", "255");
}

TEST(QueryBridgeViaDriver, WritesTheOutputsOnlyOnSuccess)
{
    fake = FakeBridge();
    fake.driverRunning = true;
    fake.ioctlFails = true;
    const BridgeOps ops = FakeBridgeOps();
    uint16_t vendorId = 0x1111, deviceId = 0x2222;
    uint8_t latency = 0x33;
    EXPECT_EQ(0, QueryBridgeViaDriverWith(ops, &vendorId, &deviceId, &latency));
    EXPECT_EQ(0x1111, vendorId);
    EXPECT_EQ(0x2222, deviceId);
    EXPECT_EQ(0x33, latency);
    fake.ioctlFails = false;
    EXPECT_NE(0, QueryBridgeViaDriverWith(ops, &vendorId, &deviceId, &latency));
    EXPECT_EQ(0x8086, vendorId);
    EXPECT_EQ(0x7190, deviceId);
    EXPECT_EQ(0x20, latency);
}

}  // namespace
