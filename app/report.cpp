#include "app/report.h"

#include <stdarg.h>

#include "app/machine_record.h"
#include "app/text_format.h"

const char saveAsFilter[] = "Text Files\0*.txt\0All Files\0*.*\0";
const int saveAsFilterLength = sizeof saveAsFilter;

void FillSaveAsRequest(SaveAsRequest* request, uint32_t directoryLength, const char* directory)
{
    request->filter = saveAsFilter;
    request->filterIndex = 1;
    CopyText(request->file, sizeof request->file, "zphtest.txt");
    request->maxFile = PATH_CAPACITY;
    // A directory that did not fit leaves the dialog to choose where it opens.
    if (directoryLength == 0 || directoryLength >= PATH_CAPACITY) {
        request->initialDir[0] = '\0';
    } else {
        CopyText(request->initialDir, sizeof request->initialDir, directory);
    }
    request->title = "Save Info";
    request->flags = SAVE_AS_FLAGS;
    request->defaultExtension = "txt";
}

static int WriteReportLineV(const ReportOps& ops, void* file, const char* format, va_list args)
{
    char line[256];
    FormatTextV(line, sizeof line, format, args);
    return ops.WriteFile(file, line, (uint32_t)TextLength(line));
}

int WriteReportLineWith(const ReportOps& ops, void* file, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int ok = WriteReportLineV(ops, file, format, args);
    va_end(args);
    return ok;
}

int WriteReport(const ReportOps& ops, void* file)
{
    const MachineInfoRecord& m = MachineInfo;
    const int memoryMiB = (int)(m.totalMemory >> 20);
    return WriteReportLineWith(ops, file, "Zephon Test version %s\r\n\r\n", programVersion) &&
           WriteReportLineWith(ops, file, "------------ Overlay Info\r\n") &&
           WriteReportLineWith(ops, file, "%s\r\n\r\n", ops.LoadText(OverlayStateTextId(m.overlayState))) &&
           WriteReportLineWith(ops, file, "------------ Machine Info\r\n") &&
           WriteReportLineWith(ops, file, "Windows:            %s\r\n", m.windowsLine) &&
           WriteReportLineWith(ops, file, "Computer:           %s %dMBytes\r\n", m.processorText, memoryMiB) &&
           (m.isNt == 1 || WriteReportLineWith(ops, file, "PCI BIOS Version:   %s\r\n", m.pciBiosText)) &&
           WriteReportLineWith(ops, file, "Chip Set:           %s\r\n", m.chipsetText) &&
           WriteReportLineWith(ops, file, "PCI Latency Timer:  %s\r\n", m.latencyText) &&
           WriteReportLineWith(ops, file, "\r\n");
}

void SaveInfoReportWith(const ReportOps& ops, void* dialog)
{
    char directory[PATH_CAPACITY];
    directory[0] = '\0';
    const uint32_t length = ops.GetCurrentDirectoryA(PATH_CAPACITY, directory);
    SaveAsRequest request;
    FillSaveAsRequest(&request, length, directory);
    if (!ops.GetSaveFileNameA(dialog, &request)) return;
    void* file = ops.CreateFileA(request.file);
    if (file == nullptr) {
        ops.MessageBoxA(dialog, "Error", programTitle);
        return;
    }
    const int written = WriteReport(ops, file);
    ops.CloseHandle(file);
    if (!written) ops.MessageBoxA(dialog, "I/O Error", programTitle);
}
