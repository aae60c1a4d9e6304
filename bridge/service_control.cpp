#include "bridge/service_control.h"

#include "app/text_format.h"

namespace {

// The current directory, a backslash and the file name. The backslash goes
// on even at a drive's root, where it doubles (C:\\ZPHTSTNT.SYS). Returns 0
// when the whole path does not fit.
int BuildBinaryPath(const ServiceOps& ops, const char* driverFileName, char path[SERVICE_PATH_CAPACITY])
{
    path[0] = '\0';
    const uint32_t length = ops.GetCurrentDirectoryA(SERVICE_DIRECTORY_SIZE, path);
    return AppendToCurrentDirectory(path, SERVICE_PATH_CAPACITY, length, SERVICE_DIRECTORY_SIZE, driverFileName);
}

}  // namespace

uint32_t InstallDriverServiceWith(const ServiceOps& ops, const char* driverFileName, const char* serviceName)
{
    void* manager = ops.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS_RIGHTS);
    char path[SERVICE_PATH_CAPACITY];
    // A cut path could name some other file; such a directory gets no service.
    const uint32_t result = BuildBinaryPath(ops, driverFileName, path)
                                ? CreateAndStartServiceWith(ops, manager, serviceName, path)
                                : (uint32_t)ERROR_BUFFER_OVERFLOW_CODE;
    ops.CloseServiceHandle(manager);
    return result;
}

uint32_t CreateAndStartServiceWith(const ServiceOps& ops, void* manager, const char* serviceName,
                                   const char* binaryPath)
{
    void* service = ops.CreateServiceA(manager, serviceName, serviceName, SERVICE_ALL_ACCESS_RIGHTS,
                                       SERVICE_KERNEL_DRIVER_TYPE, SERVICE_DEMAND_START_TYPE,
                                       SERVICE_ERROR_NORMAL_CONTROL, binaryPath, nullptr, nullptr, nullptr, nullptr,
                                       nullptr);
    // An existing service of this name is not ours to start or delete.
    if (service == nullptr) return ops.GetLastError();
    if (!ops.StartServiceA(service, 0, nullptr)) {
        ops.DeleteService(service);
        ops.CloseServiceHandle(service);
        return ops.GetLastError();
    }
    ops.CloseServiceHandle(service);
    return 0;
}

int RemoveDriverServiceWith(const ServiceOps& ops, const char* serviceName)
{
    void* manager = ops.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS_RIGHTS);
    void* service = ops.OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS_RIGHTS);
    int result = ops.ControlService(service, SERVICE_CONTROL_STOP_CODE);
    // A service that did not stop keeps its registration.
    if (result == 1) result = ops.DeleteService(service);
    ops.CloseServiceHandle(service);
    ops.CloseServiceHandle(manager);
    return result;
}
