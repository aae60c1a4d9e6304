#include <windows.h>

#include "app/texts.h"
#include "disktest/disk_run.h"
#include "disktest/drives.h"
#include "disktest/progress_dialog_win.h"

namespace {

void* OpenFile(const char* name, uint32_t access, uint32_t disposition, uint32_t flags)
{
    HANDLE file = CreateFileA(name, access, 0, nullptr, disposition, flags, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : (void*)file;
}

int WriteBlock(void* file, const void* bytes, uint32_t count, uint32_t* done)
{
    DWORD written = 0;
    const BOOL ok = WriteFile((HANDLE)file, bytes, count, &written, nullptr);
    *done = written;
    return ok ? 1 : 0;
}

int ReadBlock(void* file, void* bytes, uint32_t count, uint32_t* done)
{
    DWORD read = 0;
    const BOOL ok = ReadFile((HANDLE)file, bytes, count, &read, nullptr);
    *done = read;
    return ok ? 1 : 0;
}

}  // namespace

const DiskOps platformDiskOps = {
    OpenFile,
    WriteBlock,
    ReadBlock,
    [](void* file) -> int { return CloseHandle((HANDLE)file) ? 1 : 0; },
    [](const char* name) -> int { return DeleteFileA(name) ? 1 : 0; },
    []() -> uint32_t { return GetTickCount(); },
    PlatformGetDiskFreeSpace,
    [](uint32_t bytes) -> void* { return VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE); },
    [](void* block) -> int { return VirtualFree(block, 0, MEM_RELEASE) ? 1 : 0; },
    QueryFreeSpace,
    []() -> void* { return (void*)GetCursor(); },
    []() -> void* { return (void*)LoadCursorA(nullptr, IDC_WAIT); },
    [](void* cursor) -> void* { return (void*)SetCursor((HCURSOR)cursor); },
    [](int show) -> int { return ShowCursor(show); },
    [](void* owner, const char* text, const char* caption) { MessageBoxA((HWND)owner, text, caption, MB_OK); },
    LoadText,
    RunProgressDialog,
    ShowStatus,
    ShowProgress,
    []() -> int { return stopRequested.load(); },
    PostFinished,
};
