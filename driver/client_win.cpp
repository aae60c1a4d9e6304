// zphtstnt_client: a user-mode test program for the driver, run under Wine
// by the end-to-end tests. It manages the service the way an administrator
// would and sends requests the program itself never sends.
//
//   zphtstnt_client create PATH     register ZPHTSTNT as the program does
//   zphtstnt_client start | stop | delete | query
//   zphtstnt_client request CODE LENGTH [HOLD_SECONDS]
//
// Each prints one line; the exit code is 0 when the operation succeeded.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver/zphtstnt_interface.h"

namespace {

const char serviceName[] = "ZPHTSTNT";

int WithService(const char* command, int argc, char** argv)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        printf("manager error=%lu\n", GetLastError());
        return 1;
    }
    int ok = 0;
    if (strcmp(command, "create") == 0 && argc >= 3) {
        SC_HANDLE service = CreateServiceA(manager, serviceName, serviceName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, argv[2], nullptr, nullptr,
                                           nullptr, nullptr, nullptr);
        ok = service != nullptr;
        printf("create ok=%d error=%lu\n", ok, ok ? 0 : GetLastError());
        if (service) CloseServiceHandle(service);
    } else {
        SC_HANDLE service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
        if (service == nullptr) {
            const DWORD error = GetLastError();
            printf("%s\n", error == ERROR_SERVICE_DOES_NOT_EXIST ? "absent" : "open failed");
            CloseServiceHandle(manager);
            return strcmp(command, "query") == 0 && error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : 1;
        }
        SERVICE_STATUS status = {};
        if (strcmp(command, "start") == 0) {
            ok = StartServiceA(service, 0, nullptr) != 0;
        } else if (strcmp(command, "stop") == 0) {
            ok = ControlService(service, SERVICE_CONTROL_STOP, &status) != 0;
        } else if (strcmp(command, "delete") == 0) {
            ok = DeleteService(service) != 0;
        } else if (strcmp(command, "query") == 0) {
            ok = QueryServiceStatus(service, &status) != 0;
            char path[600] = "";
            DWORD needed = 0;
            union {
                QUERY_SERVICE_CONFIGA config;
                char bytes[4096];
            } config;
            if (QueryServiceConfigA(service, &config.config, sizeof config, &needed)) {
                snprintf(path, sizeof path, "%s", config.config.lpBinaryPathName);
            }
            printf("state=%lu type=%lu path=%s\n", status.dwCurrentState, status.dwServiceType, path);
        }
        if (strcmp(command, "query") != 0) printf("%s ok=%d error=%lu\n", command, ok, ok ? 0 : GetLastError());
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok ? 0 : 1;
}

int Request(int argc, char** argv)
{
    if (argc < 4) return 2;
    const DWORD code = strtoul(argv[2], nullptr, 0);
    const DWORD length = strtoul(argv[3], nullptr, 0);
    const DWORD hold = argc > 4 ? strtoul(argv[4], nullptr, 0) : 0;
    HANDLE device = CreateFileA(ZPHTSTNT_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        printf("open failed error=%lu\n", GetLastError());
        return 1;
    }
    unsigned char buffer[64];
    memset(buffer, 0xAB, sizeof buffer);
    DWORD count = 0xFFFFFFFF;
    const BOOL ok = DeviceIoControl(device, code, nullptr, 0, buffer, length, &count, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    printf("ok=%d error=%lu bytes=%lu data=", ok ? 1 : 0, error, count);
    for (DWORD i = 0; i < (length < sizeof buffer ? length : sizeof buffer); i++) printf("%02x", buffer[i]);
    printf("\n");
    fflush(stdout);
    if (hold) Sleep(hold * 1000);
    CloseHandle(device);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    if (strcmp(argv[1], "request") == 0) return Request(argc, argv);
    return WithService(argv[1], argc, argv);
}
