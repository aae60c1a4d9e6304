#include <windows.h>

#include "machine/windows_version.h"

uint32_t DescribeWindows()
{
    OSVERSIONINFOA info;
    for (size_t i = 0; i < sizeof info; i++) ((char*)&info)[i] = 0;
    info.dwOSVersionInfoSize = sizeof info;  // 148: the record Windows 95 and NT 4.0 know
    GetVersionExA(&info);
    // szCSDVersion is 128 bytes and need not be terminated by a faulty system.
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    VersionFacts facts = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                          info.dwPlatformId, info.szCSDVersion};
    return DescribeWindowsFrom(facts);
}
