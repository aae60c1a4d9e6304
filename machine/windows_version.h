// The Windows description shown in the main dialog and written in the report.
#pragma once

#include <stdint.h>

// The fields of the platform's version record that the description uses.
struct VersionFacts {
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;
    const char* csdVersion;  // szCSDVersion as the platform returned it
};

enum { PLATFORM_ID_NT = 2 };

// Writes windowsText, windowsLine and isNt of the machine record; returns the
// major version number for the host-bridge query.
uint32_t DescribeWindowsFrom(const VersionFacts& facts);

// Queries the platform and describes it (the thin platform side).
uint32_t DescribeWindows();
