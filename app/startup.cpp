#include "app/startup.h"

#include "app/machine_record.h"
#include "app/text_format.h"

const char* const settingsFile = "halvern.ini";
const char* const settingsSection = "ZphTest";
const char* const settingsKey = "ShowInfoFile";

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

const char* CommandTail(const char* commandLine)
{
    const char* p = commandLine;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"') p++;
        if (*p == '"') p++;
    } else {
        while (*p != '\0' && !IsBlank(*p)) p++;
    }
    while (IsBlank(*p)) p++;
    return p;
}

int IsAllOverlayOption(const char* commandTail)
{
    return TextEqual(commandTail, "/ALLOVL") ? 1 : 0;
}

int BuildReadmePath(uint32_t directoryLength, const char* directory, char* out)
{
    CopyText(out, PATH_CAPACITY, directory);
    return AppendToCurrentDirectory(out, PATH_CAPACITY, directoryLength, PATH_CAPACITY, "readme.txt");
}

static void ShowReadme(const StartupOps& ops)
{
    char directory[PATH_CAPACITY];
    directory[0] = '\0';
    const uint32_t length = ops.GetCurrentDirectoryA(PATH_CAPACITY, directory);
    char path[PATH_CAPACITY];
    if (BuildReadmePath(length, directory, path) && ops.ShellExecuteA(path) > 32) return;
    ops.MessageBoxA(ops.LoadText(TEXT_COPY_FILES), programTitle);
}

int RunProgram(const StartupOps& ops, void* instance, const char* commandTail)
{
    moduleInstance = instance;
    allOverlayFormats = IsAllOverlayOption(commandTail);
    ops.SelectLanguage();
    showInfoFile = ops.GetPrivateProfileIntA(settingsSection, settingsKey, 1, settingsFile);
    if (showInfoFile != 0) ShowReadme(ops);
    if (!ops.CollectMachineInfo(instance)) return 0;
    const int32_t remembered = showInfoFile;
    ops.ShowMainDialog(instance);
    if (showInfoFile != remembered) {
        char value[16];
        FormatText(value, sizeof value, "%d", (int)showInfoFile);
        ops.WritePrivateProfileStringA(settingsSection, settingsKey, value, settingsFile);
    }
    return 0;
}
