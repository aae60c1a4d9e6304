// The plain-text information report of the Save Info button.
#pragma once

#include <stdint.h>

#include "app/startup.h"

// The Save As request, in the terms of OPENFILENAMEA.
struct SaveAsRequest {
    const char* filter;  // pairs of zero-terminated texts, ended by an extra zero
    uint32_t filterIndex;
    char file[PATH_CAPACITY];
    uint32_t maxFile;
    char initialDir[PATH_CAPACITY];
    const char* title;
    uint32_t flags;
    const char* defaultExtension;
};

// The record size is that of the 32-bit record without the Windows 2000 fields.
enum : uint32_t { SAVE_AS_FLAGS = 0x000A0806, SAVE_AS_STRUCT_SIZE = 76 };
extern const char saveAsFilter[];
extern const int saveAsFilterLength;  // bytes, the final extra zero included

void FillSaveAsRequest(SaveAsRequest* request, uint32_t directoryLength, const char* directory);

// What the report needs from the platform.
struct ReportOps {
    uint32_t (*GetCurrentDirectoryA)(uint32_t size, char* buffer);
    // GetSaveFileNameA; on success request->file holds the chosen path.
    int (*GetSaveFileNameA)(void* owner, SaveAsRequest* request);
    // CreateFileA for writing, replacing an existing file; null on failure.
    void* (*CreateFileA)(const char* path);
    int (*WriteFile)(void* file, const char* bytes, uint32_t count);
    int (*CloseHandle)(void* file);
    // A message box owned by the dialog, type MB_ICONHAND.
    void (*MessageBoxA)(void* owner, const char* text, const char* caption);
    const char* (*LoadText)(int baseId);
};

// Formats a line into a 256-byte buffer and writes its length in bytes;
// returns what WriteFile returned.
int WriteReportLineWith(const ReportOps& ops, void* file, const char* format, ...);

// Writes every line of the report; returns 0 at the first line whose write failed.
int WriteReport(const ReportOps& ops, void* file);

void SaveInfoReportWith(const ReportOps& ops, void* dialog);

// Platform side.
void SaveInfoReport(void* dialog);
