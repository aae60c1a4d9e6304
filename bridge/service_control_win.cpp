#include <windows.h>

#include "bridge/service_control.h"

namespace {

// Windows 95's ADVAPI32 is not known to export the service calls, and the
// program must still load there: they are found at run time, only on the
// NT path that uses them.
struct ScmFunctions {
    SC_HANDLE(WINAPI* OpenSCManagerA)(LPCSTR, LPCSTR, DWORD);
    SC_HANDLE(WINAPI* CreateServiceA)(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD,
                                      LPCSTR, LPCSTR, LPCSTR);
    BOOL(WINAPI* StartServiceA)(SC_HANDLE, DWORD, LPCSTR*);
    SC_HANDLE(WINAPI* OpenServiceA)(SC_HANDLE, LPCSTR, DWORD);
    BOOL(WINAPI* ControlService)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
    BOOL(WINAPI* DeleteService)(SC_HANDLE);
    BOOL(WINAPI* CloseServiceHandle)(SC_HANDLE);
};
ScmFunctions scm;

template <typename Function>
int Resolve(HMODULE module, const char* name, Function* function)
{
    *function = (Function)(void*)GetProcAddress(module, name);
    return *function != nullptr;
}

// Loads ADVAPI32 for the length of one operation; nullptr when a service call
// is missing.
HMODULE BeginScm()
{
    HMODULE module = LoadLibraryA("advapi32.dll");
    if (module == nullptr) return nullptr;
    if (Resolve(module, "OpenSCManagerA", &scm.OpenSCManagerA) && Resolve(module, "CreateServiceA", &scm.CreateServiceA) &&
        Resolve(module, "StartServiceA", &scm.StartServiceA) && Resolve(module, "OpenServiceA", &scm.OpenServiceA) &&
        Resolve(module, "ControlService", &scm.ControlService) && Resolve(module, "DeleteService", &scm.DeleteService) &&
        Resolve(module, "CloseServiceHandle", &scm.CloseServiceHandle)) {
        return module;
    }
    FreeLibrary(module);
    return nullptr;
}

}  // namespace

const ServiceOps platformServiceOps = {
    [](const char* machine, const char* database, uint32_t access) -> void* {
        return (void*)scm.OpenSCManagerA(machine, database, access);
    },
    [](uint32_t size, char* buffer) -> uint32_t { return GetCurrentDirectoryA(size, buffer); },
    [](void* manager, const char* name, const char* displayName, uint32_t access, uint32_t serviceType,
       uint32_t startType, uint32_t errorControl, const char* binaryPath, const char* loadOrderGroup, uint32_t* tagId,
       const char* dependencies, const char* account, const char* password) -> void* {
        return (void*)scm.CreateServiceA((SC_HANDLE)manager, name, displayName, access, serviceType, startType,
                                         errorControl, binaryPath, loadOrderGroup, (LPDWORD)tagId, dependencies,
                                         account, password);
    },
    [](void* service, uint32_t argumentCount, const char** arguments) -> int {
        return scm.StartServiceA((SC_HANDLE)service, argumentCount, arguments) ? 1 : 0;
    },
    [](void* manager, const char* name, uint32_t access) -> void* {
        return (void*)scm.OpenServiceA((SC_HANDLE)manager, name, access);
    },
    [](void* service, uint32_t control) -> int {
        SERVICE_STATUS status;
        return scm.ControlService((SC_HANDLE)service, control, &status);
    },
    [](void* service) -> int { return scm.DeleteService((SC_HANDLE)service) ? 1 : 0; },
    [](void* handle) -> int { return scm.CloseServiceHandle((SC_HANDLE)handle) ? 1 : 0; },
    []() -> uint32_t { return GetLastError(); },
};

uint32_t InstallDriverService(const char* driverFileName, const char* serviceName)
{
    HMODULE advapi = BeginScm();
    if (advapi == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    const uint32_t result = InstallDriverServiceWith(platformServiceOps, driverFileName, serviceName);
    FreeLibrary(advapi);
    return result;
}

uint32_t CreateAndStartService(void* manager, const char* serviceName, const char* binaryPath)
{
    HMODULE advapi = BeginScm();
    if (advapi == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    const uint32_t result = CreateAndStartServiceWith(platformServiceOps, manager, serviceName, binaryPath);
    FreeLibrary(advapi);
    return result;
}

int RemoveDriverService(const char* serviceName)
{
    HMODULE advapi = BeginScm();
    if (advapi == nullptr) return 0;
    const int result = RemoveDriverServiceWith(platformServiceOps, serviceName);
    FreeLibrary(advapi);
    return result;
}
