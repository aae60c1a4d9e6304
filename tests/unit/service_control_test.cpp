#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "bridge/service_control.h"

namespace {

// A scripted Service Control Manager: a registry of services by name, the
// handles handed out and closed, and every call in order.
void* const managerHandle = (void*)0x5C00;

struct FakeService {
    std::string binaryPath;
    bool running = false;
};

struct FakeScm {
    // Script.
    bool managerRefused = false;
    bool startFails = false;
    bool stopFails = false;
    std::string directory = "C:\\Tools";
    uint32_t lastError = 0;
    // State and record.
    std::map<std::string, FakeService> services;
    std::map<void*, std::string> openServices;
    std::vector<void*> open;
    int badCloses = 0;
    int nextHandle = 0x5C10;
    std::vector<std::string> calls;
    uint32_t directorySize = 0;
    uint32_t createAccess = 0, serviceType = 0, startType = 0, errorControl = 0;
    std::string displayName;
    bool extrasGiven = false;
};
FakeScm scm;

void* NewHandle()
{
    void* h = (void*)(intptr_t)scm.nextHandle;
    scm.nextHandle += 4;
    scm.open.push_back(h);
    return h;
}

ServiceOps FakeServiceOps()
{
    ServiceOps ops;
    ops.OpenSCManagerA = [](const char* machine, const char* database, uint32_t access) -> void* {
        scm.calls.push_back("OpenSCManagerA");
        if (machine != nullptr || database != nullptr || access != 0xF003F) ADD_FAILURE() << "manager arguments";
        if (scm.managerRefused) {
            scm.lastError = 5;
            return nullptr;
        }
        scm.open.push_back(managerHandle);
        return managerHandle;
    };
    ops.GetCurrentDirectoryA = [](uint32_t size, char* buffer) -> uint32_t {
        scm.calls.push_back("GetCurrentDirectoryA");
        scm.directorySize = size;
        const uint32_t length = (uint32_t)scm.directory.size();
        if (length + 1 > size) return length + 1;
        memcpy(buffer, scm.directory.c_str(), length + 1);
        return length;
    };
    ops.CreateServiceA = [](void* manager, const char* name, const char* displayName, uint32_t access,
                            uint32_t serviceType, uint32_t startType, uint32_t errorControl, const char* path,
                            const char* group, uint32_t* tag, const char* dependencies, const char* account,
                            const char* password) -> void* {
        scm.calls.push_back(std::string("CreateServiceA ") + name + " " + path);
        scm.displayName = displayName;
        scm.createAccess = access;
        scm.serviceType = serviceType;
        scm.startType = startType;
        scm.errorControl = errorControl;
        scm.extrasGiven = group || tag || dependencies || account || password;
        if (manager != managerHandle) {
            scm.lastError = 6;  // ERROR_INVALID_HANDLE
            return nullptr;
        }
        if (scm.services.count(name)) {
            scm.lastError = 1073;  // ERROR_SERVICE_EXISTS
            return nullptr;
        }
        scm.services[name].binaryPath = path;
        void* h = NewHandle();
        scm.openServices[h] = name;
        return h;
    };
    ops.StartServiceA = [](void* service, uint32_t count, const char** arguments) -> int {
        scm.calls.push_back("StartServiceA");
        if (count != 0 || arguments != nullptr) ADD_FAILURE() << "start arguments";
        if (scm.startFails) {
            scm.lastError = 2;  // ERROR_FILE_NOT_FOUND
            return 0;
        }
        scm.services[scm.openServices[service]].running = true;
        return 1;
    };
    ops.OpenServiceA = [](void* manager, const char* name, uint32_t access) -> void* {
        scm.calls.push_back(std::string("OpenServiceA ") + name);
        if (access != 0xF01FF) ADD_FAILURE() << "service access";
        if (manager != managerHandle || scm.services.count(name) == 0) return nullptr;
        void* h = NewHandle();
        scm.openServices[h] = name;
        return h;
    };
    ops.ControlService = [](void* service, uint32_t control) -> int {
        scm.calls.push_back("ControlService " + std::to_string(control));
        if (scm.openServices.count(service) == 0 || scm.stopFails) return 0;
        scm.services[scm.openServices[service]].running = false;
        return 1;
    };
    ops.DeleteService = [](void* service) -> int {
        scm.calls.push_back("DeleteService");
        if (scm.openServices.count(service) == 0) return 0;
        scm.services.erase(scm.openServices[service]);
        return 1;
    };
    ops.CloseServiceHandle = [](void* handle) -> int {
        scm.calls.push_back("CloseServiceHandle");
        for (size_t i = 0; i < scm.open.size(); i++) {
            if (scm.open[i] == handle) {
                scm.open.erase(scm.open.begin() + (long)i);
                scm.openServices.erase(handle);
                return 1;
            }
        }
        scm.badCloses++;
        return 0;
    };
    ops.GetLastError = []() -> uint32_t {
        scm.calls.push_back("GetLastError");
        return scm.lastError;
    };
    return ops;
}

class ServiceControl : public ::testing::Test {
protected:
    void SetUp() override { scm = FakeScm(); }
    void TearDown() override
    {
        EXPECT_TRUE(scm.open.empty()) << scm.open.size() << " handle(s) left open";
        EXPECT_EQ(0, scm.badCloses) << "closed a handle that was not open";
    }
    const ServiceOps ops = FakeServiceOps();
};

TEST_F(ServiceControl, InstallsAndStartsADemandStartKernelDriver)
{
    EXPECT_EQ(0u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    const std::vector<std::string> expected = {
        "OpenSCManagerA", "GetCurrentDirectoryA", "CreateServiceA ZPHTSTNT C:\\Tools\\ZPHTSTNT.SYS",
        "StartServiceA",  "CloseServiceHandle",   "CloseServiceHandle"};
    EXPECT_EQ(expected, scm.calls);
    EXPECT_EQ(261u, scm.directorySize);
    EXPECT_EQ("ZPHTSTNT", scm.displayName);
    EXPECT_EQ(0xF01FFu, scm.createAccess);
    EXPECT_EQ(1u, scm.serviceType);
    EXPECT_EQ(3u, scm.startType);
    EXPECT_EQ(1u, scm.errorControl);
    EXPECT_FALSE(scm.extrasGiven);
    EXPECT_TRUE(scm.services["ZPHTSTNT"].running);
}

TEST_F(ServiceControl, DoublesTheBackslashAtADriveRoot)
{
    const struct {
        const char* directory;
        const char* path;
    } cases[] = {
        {"C:\\", "C:\\\\ZPHTSTNT.SYS"},
        {"D:\\Program Files\\Zephon", "D:\\Program Files\\Zephon\\ZPHTSTNT.SYS"},
    };
    for (const auto& c : cases) {
        scm = FakeScm();
        scm.directory = c.directory;
        EXPECT_EQ(0u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
        EXPECT_EQ(c.path, scm.services["ZPHTSTNT"].binaryPath);
    }
}

TEST_F(ServiceControl, CreatesNothingWhenThePathWouldNotFit)
{
    const struct {
        size_t length;
        bool fits;
    } cases[] = {{250, true}, {251, false}, {260, false}, {300, false}};
    for (const auto& c : cases) {
        scm = FakeScm();
        scm.directory = "C:\\" + std::string(c.length - 3, 'd');
        const uint32_t result = InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT");
        EXPECT_EQ(c.fits, result == 0) << c.length;
        EXPECT_EQ(c.fits, scm.services.count("ZPHTSTNT") == 1) << c.length;
        if (c.fits) {
            EXPECT_EQ(c.length + 13, scm.services["ZPHTSTNT"].binaryPath.size());
        }
        EXPECT_TRUE(scm.open.empty()) << c.length;
    }
}

TEST_F(ServiceControl, LeavesAnExistingServiceUntouched)
{
    scm.services["ZPHTSTNT"].binaryPath = "C:\\Old\\ZPHTSTNT.SYS";
    EXPECT_EQ(1073u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    EXPECT_EQ("C:\\Old\\ZPHTSTNT.SYS", scm.services["ZPHTSTNT"].binaryPath);
    EXPECT_FALSE(scm.services["ZPHTSTNT"].running);
    for (const std::string& call : scm.calls) {
        EXPECT_EQ(std::string::npos, call.find("Start")) << call;
        EXPECT_EQ(std::string::npos, call.find("Delete")) << call;
        EXPECT_EQ(std::string::npos, call.find("OpenService")) << call;
    }
}

TEST_F(ServiceControl, DeletesTheNewServiceWhenItDoesNotStart)
{
    scm.startFails = true;
    EXPECT_EQ(2u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    EXPECT_EQ(0u, scm.services.count("ZPHTSTNT"));
    const std::vector<std::string> tail(scm.calls.end() - 5, scm.calls.end());
    const std::vector<std::string> expected = {"StartServiceA", "DeleteService", "CloseServiceHandle", "GetLastError",
                                               "CloseServiceHandle"};
    EXPECT_EQ(expected, tail);
}

TEST_F(ServiceControl, ReturnsTheManagersRefusal)
{
    scm.managerRefused = true;
    EXPECT_EQ(6u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    EXPECT_TRUE(scm.services.empty());
    scm.badCloses = 0;  // closing the NULL manager is what the real call gets too
}

TEST_F(ServiceControl, StopsAndDeletesTheService)
{
    ASSERT_EQ(0u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    scm.calls.clear();
    EXPECT_NE(0, RemoveDriverServiceWith(ops, "ZPHTSTNT"));
    EXPECT_EQ(0u, scm.services.count("ZPHTSTNT"));
    const std::vector<std::string> expected = {"OpenSCManagerA", "OpenServiceA ZPHTSTNT", "ControlService 1",
                                               "DeleteService", "CloseServiceHandle", "CloseServiceHandle"};
    EXPECT_EQ(expected, scm.calls);
}

TEST_F(ServiceControl, KeepsAServiceThatDidNotStop)
{
    ASSERT_EQ(0u, InstallDriverServiceWith(ops, "ZPHTSTNT.SYS", "ZPHTSTNT"));
    scm.stopFails = true;
    EXPECT_EQ(0, RemoveDriverServiceWith(ops, "ZPHTSTNT"));
    EXPECT_EQ(1u, scm.services.count("ZPHTSTNT"));
    for (const std::string& call : scm.calls) EXPECT_NE("DeleteService", call);
}

}  // namespace
