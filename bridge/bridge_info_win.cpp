#include <windows.h>

#include "bridge/bridge_info.h"
#include "bridge/service_control.h"

namespace {

typedef UINT(WINAPI* QVRGetBridgeDataFunction)(WORD*, WORD*, WORD*, BYTE*);

uint32_t CallQVRGetBridgeData(void* function, uint16_t* pciBiosVersion, uint16_t* vendorId, uint16_t* deviceId,
                              uint8_t* latencyTimer)
{
    return ((QVRGetBridgeDataFunction)function)(pciBiosVersion, vendorId, deviceId, latencyTimer);
}

void* OpenDevice(const char* path)
{
    HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    return device == INVALID_HANDLE_VALUE ? nullptr : (void*)device;
}

int SendDeviceControl(void* device, uint32_t controlCode, void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    DWORD count = 0;
    const BOOL ok = DeviceIoControl((HANDLE)device, controlCode, nullptr, 0, output, outputLength, &count, nullptr);
    *bytesReturned = count;
    return ok ? 1 : 0;
}

}  // namespace

const BridgeOps platformBridgeOps = {
    [](const char* name) -> void* { return (void*)LoadLibraryA(name); },
    [](void* module, const char* name) -> void* { return (void*)GetProcAddress((HMODULE)module, name); },
    CallQVRGetBridgeData,
    [](void* module) -> int { return FreeLibrary((HMODULE)module) ? 1 : 0; },
    OpenDevice,
    SendDeviceControl,
    [](void* handle) -> int { return CloseHandle((HANDLE)handle) ? 1 : 0; },
    InstallDriverService,
    RemoveDriverService,
};

int QueryBridgeViaDriver(uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer)
{
    return QueryBridgeViaDriverWith(platformBridgeOps, vendorId, deviceId, latencyTimer);
}

void CollectBridgeInfo(int32_t isNt, uint32_t majorVersion)
{
    CollectBridgeInfoWith(platformBridgeOps, isNt, majorVersion);
}
