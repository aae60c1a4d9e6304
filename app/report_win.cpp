#include <windows.h>
#include <commdlg.h>

#include "app/machine_record.h"
#include "app/report.h"
#include "app/texts.h"

namespace {

#if defined(__i386__)
static_assert(__builtin_offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == SAVE_AS_STRUCT_SIZE,
              "Save As record size");
#endif

int ShowSaveAs(void* owner, SaveAsRequest* request)
{
    // The record without the fields Windows 2000 added (76 bytes in the
    // 32-bit program), the one Windows 95 and NT 4.0 know.
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = (HWND)owner;
    dialog.hInstance = (HINSTANCE)moduleInstance;
    dialog.lpstrFilter = request->filter;
    dialog.nFilterIndex = request->filterIndex;
    dialog.lpstrFile = request->file;
    dialog.nMaxFile = request->maxFile;
    dialog.lpstrInitialDir = request->initialDir[0] != '\0' ? request->initialDir : nullptr;
    dialog.lpstrTitle = request->title;
    dialog.Flags = request->flags;
    dialog.lpstrDefExt = request->defaultExtension;
    return GetSaveFileNameA(&dialog) ? 1 : 0;
}

const ReportOps platformReportOps = {
    [](uint32_t size, char* buffer) -> uint32_t { return GetCurrentDirectoryA(size, buffer); },
    ShowSaveAs,
    [](const char* path) -> void* {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE ? nullptr : (void*)file;
    },
    [](void* file, const char* bytes, uint32_t count) -> int {
        DWORD done = 0;
        return WriteFile((HANDLE)file, bytes, count, &done, nullptr) ? 1 : 0;
    },
    [](void* file) -> int { return CloseHandle((HANDLE)file) ? 1 : 0; },
    [](void* owner, const char* text, const char* caption) { MessageBoxA((HWND)owner, text, caption, MB_ICONHAND); },
    LoadText,
};

}  // namespace

void SaveInfoReport(void* dialog)
{
    SaveInfoReportWith(platformReportOps, dialog);
}
