// The driver's life as a demand-start kernel service, for one bridge query.
#pragma once

#include <stdint.h>

enum {
    SERVICE_PATH_CAPACITY = 264,
    SERVICE_DIRECTORY_SIZE = 261,  // MAX_PATH + 1, as GetCurrentDirectoryA is told
    SC_MANAGER_ALL_ACCESS_RIGHTS = 0xF003F,
    SERVICE_ALL_ACCESS_RIGHTS = 0xF01FF,
    SERVICE_KERNEL_DRIVER_TYPE = 1,
    SERVICE_DEMAND_START_TYPE = 3,
    SERVICE_ERROR_NORMAL_CONTROL = 1,
    SERVICE_CONTROL_STOP_CODE = 1,
    ERROR_BUFFER_OVERFLOW_CODE = 111,
};

// What the service operations need from the Service Control Manager and
// kernel32. Handles are opaque; the logic never looks inside them.
struct ServiceOps {
    void* (*OpenSCManagerA)(const char* machine, const char* database, uint32_t access);
    uint32_t (*GetCurrentDirectoryA)(uint32_t size, char* buffer);
    void* (*CreateServiceA)(void* manager, const char* name, const char* displayName, uint32_t access,
                            uint32_t serviceType, uint32_t startType, uint32_t errorControl, const char* binaryPath,
                            const char* loadOrderGroup, uint32_t* tagId, const char* dependencies,
                            const char* account, const char* password);
    int (*StartServiceA)(void* service, uint32_t argumentCount, const char** arguments);
    void* (*OpenServiceA)(void* manager, const char* name, uint32_t access);
    // The SERVICE_STATUS record stays with the adapter: nothing here reads it.
    int (*ControlService)(void* service, uint32_t control);
    int (*DeleteService)(void* service);
    int (*CloseServiceHandle)(void* handle);
    uint32_t (*GetLastError)();
};

// Returns a Win32 error code, 0 on success.
uint32_t InstallDriverServiceWith(const ServiceOps& ops, const char* driverFileName, const char* serviceName);
uint32_t CreateAndStartServiceWith(const ServiceOps& ops, void* manager, const char* serviceName,
                                   const char* binaryPath);
// Nonzero when the service was stopped and deleted.
int RemoveDriverServiceWith(const ServiceOps& ops, const char* serviceName);

// Platform side.
extern const ServiceOps platformServiceOps;
uint32_t InstallDriverService(const char* driverFileName, const char* serviceName);
uint32_t CreateAndStartService(void* manager, const char* serviceName, const char* binaryPath);
int RemoveDriverService(const char* serviceName);
