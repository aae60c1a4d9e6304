// The host-bridge facts of the machine record.
#pragma once

#include <stdint.h>

// The four facts in the order of QVRGetBridgeData's parameters.
struct BridgeData {
    uint16_t pciBiosVersion;  // high byte major, low byte minor
    uint16_t vendorId;
    uint16_t deviceId;
    uint8_t latencyTimer;
};

// What the bridge step needs from the platform: the thunk DLL on Windows 9x,
// the driver's device and service on the NT family.
struct BridgeOps {
    void* (*LoadLibraryA)(const char* name);
    void* (*GetProcAddress)(void* module, const char* name);
    // Calls the QVRGetBridgeData that GetProcAddress found.
    uint32_t (*CallQVRGetBridgeData)(void* function, uint16_t* pciBiosVersion, uint16_t* vendorId,
                                     uint16_t* deviceId, uint8_t* latencyTimer);
    int (*FreeLibrary)(void* module);
    // CreateFileA with read and write access, share mode 0, OPEN_EXISTING;
    // nullptr stands for INVALID_HANDLE_VALUE.
    void* (*CreateFileA)(const char* path);
    int (*DeviceIoControl)(void* device, uint32_t controlCode, void* output, uint32_t outputLength,
                           uint32_t* bytesReturned);
    int (*CloseHandle)(void* handle);
    uint32_t (*InstallDriverService)(const char* driverFileName, const char* serviceName);
    int (*RemoveDriverService)(const char* serviceName);
};

// Writes the out-parameters only on success; returns 0 on failure.
int QueryBridgeViaDriverWith(const BridgeOps& ops, uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer);
void CollectBridgeInfoWith(const BridgeOps& ops, int32_t isNt, uint32_t majorVersion);

// Platform side.
extern const BridgeOps platformBridgeOps;
int QueryBridgeViaDriver(uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer);
// Fills pciBiosText, chipsetText and latencyText; never fails as a whole.
void CollectBridgeInfo(int32_t isNt, uint32_t majorVersion);
