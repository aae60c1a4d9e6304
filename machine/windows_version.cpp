#include "machine/windows_version.h"

#include "app/machine_record.h"
#include "app/text_format.h"

namespace {

void DescribeNt(const VersionFacts& facts, const char* csd, char* text, char* line)
{
    const int major = (int)facts.majorVersion;
    const int minor = (int)facts.minorVersion;
    const int build = (int)facts.buildNumber;
    const size_t cap = sizeof MachineInfo.windowsText;
    const bool hasCsd = csd[0] != '\0';
    if (facts.majorVersion < 5) {
        if (hasCsd) {
            FormatText(text, cap, "Windows NT Version %d.%d\n(Build %d: %s)", major, minor, build, csd);
            FormatText(line, cap, "Windows NT Version %d.%d (Build %d: %s)", major, minor, build, csd);
        } else {
            FormatText(text, cap, "Windows NT Version %d.%d\n(Build %d)", major, minor, build);
            FormatText(line, cap, "Windows NT Version %d.%d (Build %d)", major, minor, build);
        }
        return;
    }
    const char* name = facts.minorVersion != 0 ? "Windows XP" : "Windows 2000";
    if (hasCsd) {
        FormatText(text, cap, "%s\n(Build %d: %s)", name, build, csd);
        FormatText(line, cap, "%s (Build %d: %s)", name, build, csd);
    } else {
        FormatText(text, cap, "%s (Build %d)", name, build);
        CopyText(line, cap, text);
    }
}

void DescribeNine(const VersionFacts& facts, const char* csd, char* text, char* line)
{
    const int major = (int)facts.majorVersion;
    const int minor = (int)facts.minorVersion;
    const int build16 = (int)(facts.buildNumber & 0xFFFF);
    const size_t cap = sizeof MachineInfo.windowsText;
    if (facts.majorVersion == 4 && facts.minorVersion == 0) {
        FormatText(text, cap, "Windows 95\nVersion 4.%02d.%d%s", minor, build16, csd);
        FormatText(line, cap, "Windows 95 Version 4.%02d.%d%s", minor, build16, csd);
    } else if (facts.majorVersion == 4 && facts.minorVersion == 10) {
        const char* edition = build16 == 2222 ? "Second Edition " : "";
        FormatText(text, cap, "Windows 98 %s\nVersion 4.%02d.%d%s", edition, minor, build16, csd);
        FormatText(line, cap, "Windows 98 %sVersion 4.%02d.%d%s", edition, minor, build16, csd);
    } else if (facts.majorVersion == 4 && facts.minorVersion == 90) {
        if (csd[0] != '\0') {
            FormatText(text, cap, "Windows Millennium Edition\n%s", csd);
            FormatText(line, cap, "Windows Millennium Edition %s", csd);
        } else {
            CopyText(text, cap, "Windows Millennium Edition");
            CopyText(line, cap, text);
        }
    } else {
        FormatText(text, cap, "Windows 9x Unknown Version %d.%d Build %d", major, minor, build16);
        CopyText(line, cap, text);
    }
}

}  // namespace

uint32_t DescribeWindowsFrom(const VersionFacts& facts)
{
    const char* csd = facts.csdVersion != nullptr ? facts.csdVersion : "";
    MachineInfo.isNt = facts.platformId == PLATFORM_ID_NT ? 1 : 0;
    if (MachineInfo.isNt) {
        DescribeNt(facts, csd, MachineInfo.windowsText, MachineInfo.windowsLine);
    } else {
        DescribeNine(facts, csd, MachineInfo.windowsText, MachineInfo.windowsLine);
    }
    return facts.majorVersion;
}
