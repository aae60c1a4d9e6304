#include <windows.h>

// From the thunk script's assembly.
extern "C" unsigned char zphtst_ThunkData32[100];
extern "C" DWORD WINAPI ThunkGetBridgeData(WORD* pciBiosVersion, WORD* vendorId, WORD* deviceId, BYTE* latencyTimer);

// Windows 9x KERNEL32's flat-thunk connection; no SDK header declares it.
extern "C" BOOL WINAPI ThunkConnect32(void* thunkData32, const char* thunkData16Name, const char* module16,
                                      const char* module32, HINSTANCE instance, DWORD reason);

extern "C" DWORD WINAPI QVRGetBridgeData(WORD* pciBiosVersion, WORD* vendorId, WORD* deviceId, BYTE* latencyTimer)
{
    return ThunkGetBridgeData(pciBiosVersion, vendorId, deviceId, latencyTimer);
}

// Every notification goes on to ThunkConnect32, detach and thread ones too:
// that is how the two halves are told to disconnect.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    return ThunkConnect32(zphtst_ThunkData32, "zphtst_ThunkData16", "zphtst16.dll", "zphtst32.dll", instance,
                          reason)
               ? TRUE
               : FALSE;
}

// What Microsoft's linker would store from the module definition's
// DESCRIPTION; GNU ld reads the statement and drops it.
extern "C" __attribute__((used, section(".rdata"))) const char zphtst32Description[] =
    "Tessaline Environment Checker Thunks(32bit)";
