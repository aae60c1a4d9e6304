// What the disk test's per-block work costs under the platform: the passes
// of the program's own logic (WritePass, ReadPass) over the real Win32 file
// calls, once with the program's own hooks (the stop flag and ShowProgress,
// which posts PBM_SETPOS to control 472 of a window that another thread
// pumps, as the progress dialog is) and once with hooks that do nothing.
// Timed with the performance counter around each pass, alternately, several
// rounds.
//
// usage: disk_overhead_bench DIRECTORY [ROUNDS]      (a Windows program)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <stdio.h>
#include <vector>

#include "disktest/disk_run.h"
#include "disktest/progress_dialog_res.h"
#include "disktest/progress_dialog_win.h"

namespace {

HWND progressOwner;
DWORD uiThread;
char fileName[MAX_PATH];
int rounds = 7;

double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)frequency.QuadPart;
}

void* OpenFile(const char* name, uint32_t access, uint32_t disposition, uint32_t flags)
{
    HANDLE file = CreateFileA(name, access, 0, nullptr, disposition, flags, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : (void*)file;
}

DiskOps BaseOps()
{
    DiskOps ops = {};
    ops.CreateFileA = OpenFile;
    ops.WriteFile = [](void* file, const void* bytes, uint32_t count, uint32_t* done) {
        DWORD n = 0;
        const BOOL ok = WriteFile((HANDLE)file, bytes, count, &n, nullptr);
        *done = n;
        return ok ? 1 : 0;
    };
    ops.ReadFile = [](void* file, void* bytes, uint32_t count, uint32_t* done) {
        DWORD n = 0;
        const BOOL ok = ReadFile((HANDLE)file, bytes, count, &n, nullptr);
        *done = n;
        return ok ? 1 : 0;
    };
    ops.CloseHandle = [](void* file) { return CloseHandle((HANDLE)file) ? 1 : 0; };
    ops.DeleteFileA = [](const char* name) { return DeleteFileA(name) ? 1 : 0; };
    ops.GetTickCount = []() -> uint32_t { return GetTickCount(); };
    return ops;
}

DiskOps ProgramHooks()
{
    DiskOps ops = BaseOps();
    ops.ShowProgress = ShowProgress;
    ops.StopRequested = []() { return stopRequested.load(); };
    return ops;
}

DiskOps NoHooks()
{
    DiskOps ops = BaseOps();
    ops.ShowProgress = [](DiskJob*, int) {};
    ops.StopRequested = []() { return 0; };
    return ops;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

DWORD WINAPI Measure(LPVOID)
{
    void* buffer = VirtualAlloc(nullptr, 98304, MEM_COMMIT, PAGE_READWRITE);
    const DiskOps program = ProgramHooks();
    const DiskOps bare = NoHooks();
    std::vector<double> writeProgram, writeBare, readProgram, readBare;
    for (int round = 0; round < rounds; round++) {
        for (int variant = 0; variant < 2; variant++) {
            // Alternate which goes first, so that a drift of the disk's
            // speed does not land on one side only.
            const bool withHooks = (variant == 0) == (round % 2 == 0);
            const DiskOps& ops = withHooks ? program : bare;
            DiskJob job = {progressOwner, fileName, 0, 0, LARGE_TEST_BYTES, 98304, buffer};
            ResetProgress();
            double t = Now();
            if (WritePassWith(ops, &job) != 0) {
                fprintf(stderr, "write pass failed\n");
                return 1;
            }
            const double w = Now() - t;
            t = Now();
            if (ReadPassWith(ops, &job) != 0) {
                fprintf(stderr, "read pass failed\n");
                return 1;
            }
            const double r = Now() - t;
            (withHooks ? writeProgram : writeBare).push_back(w);
            (withHooks ? readProgram : readBare).push_back(r);
        }
    }
    // The hooks alone, as often as a 100 MiB pass calls them.
    std::vector<double> hookOnly;
    for (int round = 0; round < rounds; round++) {
        DiskJob job = {progressOwner, fileName, 0, 0, LARGE_TEST_BYTES, 98304, buffer};
        ResetProgress();
        const double t = Now();
        for (int k = 0; k < 1066; k++) {
            if (program.StopRequested()) break;
            program.ShowProgress(&job, 100 * k / 1066);
        }
        hookOnly.push_back((Now() - t) / 1066);
        Sleep(50);  // let the bar's thread drain its queue
    }
    // One posted position on its own: a fresh pass each time, so every call posts.
    std::vector<double> postOnly;
    for (int round = 0; round < rounds; round++) {
        DiskJob job = {progressOwner, fileName, 0, 0, LARGE_TEST_BYTES, 98304, buffer};
        const double t = Now();
        for (int k = 0; k < 100; k++) {
            ResetProgress();
            ShowProgress(&job, k);
        }
        postOnly.push_back((Now() - t) / 100);
        Sleep(50);
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    const double blocks = (double)(LARGE_TEST_BYTES / 98304);
    printf("blocks_per_pass %.0f\n", blocks);
    printf("write_us_per_block_bare %.2f\n", Median(writeBare) / blocks * 1e6);
    printf("write_us_per_block_program %.2f\n", Median(writeProgram) / blocks * 1e6);
    printf("read_us_per_block_bare %.2f\n", Median(readBare) / blocks * 1e6);
    printf("read_us_per_block_program %.2f\n", Median(readProgram) / blocks * 1e6);
    printf("hook_us_per_block %.3f\n", Median(hookOnly) * 1e6);
    printf("post_us %.2f\n", Median(postOnly) * 1e6);
    printf("write_mbps_bare %.1f\n", 104792064.0 / Median(writeBare) / 1048576);
    printf("read_mbps_bare %.1f\n", 104792064.0 / Median(readBare) / 1048576);
    fflush(stdout);
    PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: disk_overhead_bench DIRECTORY [ROUNDS]\n");
        return 2;
    }
    snprintf(fileName, sizeof fileName, "%s\\QVRbench.dat", argv[1]);
    if (argc > 2) rounds = atoi(argv[2]);
    InitCommonControls();
    progressOwner = CreateWindowExA(0, "STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 300, 40, nullptr, nullptr,
                                    nullptr, nullptr);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, progressOwner,
                               (HMENU)(INT_PTR)IDC_PROGRESS_BAR, nullptr, nullptr);
    if (bar == nullptr) {
        fprintf(stderr, "no progress bar\n");
        return 1;
    }
    uiThread = GetCurrentThreadId();
    DWORD id = 0;
    HANDLE worker = CreateThread(nullptr, 0, Measure, nullptr, 0, &id);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    WaitForSingleObject(worker, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(worker, &code);
    CloseHandle(worker);
    DestroyWindow(progressOwner);
    return (int)code;
}
