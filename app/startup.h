// Start-up and shut-down of the checker program.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { PATH_CAPACITY = 261 };

extern const char* const settingsFile;     // "halvern.ini"
extern const char* const settingsSection;  // "ZphTest"
extern const char* const settingsKey;      // "ShowInfoFile"

// The text that follows the program name in a full command line, blanks after
// the name removed.
const char* CommandTail(const char* commandLine);

int IsAllOverlayOption(const char* commandTail);

// Builds "<directory>\readme.txt" into out (PATH_CAPACITY bytes); returns 0
// when the directory could not be had or the path does not fit.
int BuildReadmePath(uint32_t directoryLength, const char* directory, char* out);

// What start-up needs from the platform and from the rest of the program.
struct StartupOps {
    void (*SelectLanguage)();
    int (*GetPrivateProfileIntA)(const char* section, const char* key, int defaultValue, const char* file);
    // Returns what GetCurrentDirectoryA returns for a buffer of `size` bytes.
    uint32_t (*GetCurrentDirectoryA)(uint32_t size, char* buffer);
    // ShellExecuteA with no owner, the default verb and SW_SHOW; its result as a number.
    intptr_t (*ShellExecuteA)(const char* path);
    // A message box with no owner window and MB_OK.
    void (*MessageBoxA)(const char* text, const char* caption);
    const char* (*LoadText)(int baseId);
    int (*CollectMachineInfo)(void* instance);
    void (*ShowMainDialog)(void* instance);
    int (*WritePrivateProfileStringA)(const char* section, const char* key, const char* value, const char* file);
};

// Runs the program from its module instance and command-line tail; returns the exit code.
int RunProgram(const StartupOps& ops, void* instance, const char* commandTail);
