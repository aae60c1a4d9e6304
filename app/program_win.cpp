// The program's entry. The program carries no C runtime, so the entry takes
// the command line and the module instance from the system itself.
#include <windows.h>
#include <shellapi.h>

#include "app/collect.h"
#include "app/main_dialog_win.h"
#include "app/startup.h"
#include "app/texts.h"

namespace {

const StartupOps platformStartupOps = {
    SelectLanguage,
    [](const char* section, const char* key, int defaultValue, const char* file) -> int {
        return (int)GetPrivateProfileIntA(section, key, defaultValue, file);
    },
    [](uint32_t size, char* buffer) -> uint32_t { return GetCurrentDirectoryA(size, buffer); },
    [](const char* path) -> intptr_t {
        return (intptr_t)ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
    },
    [](const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); },
    LoadText,
    CollectMachineInfo,
    [](void* instance) { ShowMainDialog(instance, GetDesktopWindow()); },
    [](const char* section, const char* key, const char* value, const char* file) -> int {
        return WritePrivateProfileStringA(section, key, value, file) ? 1 : 0;
    },
};

}  // namespace

extern "C" void ZphEntry()
{
    const char* tail = CommandTail(GetCommandLineA());
    ExitProcess((UINT)RunProgram(platformStartupOps, (void*)GetModuleHandleA(nullptr), tail));
}
