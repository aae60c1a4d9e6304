#include "disktest/progress_dialog_win.h"

#include "app/machine_record.h"
#include "app/main_dialog_win.h"
#include "disktest/progress_dialog_res.h"

namespace {

HANDLE workerThread;

INT_PTR OnInitDialog(HWND dialog, DiskJob* job)
{
    CentreWindow(dialog, GetParent(dialog));
    stopRequested = 0;
    ResetProgress();
    job->dialogWindow = dialog;
    DWORD threadId = 0;  // Windows 95 fails CreateThread without somewhere to put it
    workerThread = CreateThread(nullptr, 0, DiskWorkerThread, job, 0, &threadId);
    // Without a worker nothing would ever send the finished command, and a
    // thread that cannot be had is a resource like a window or a memory block.
    if (workerThread == nullptr) EndDialog(dialog, RESULT_NO_RESOURCE);
    return TRUE;
}

void OnFinished(HWND dialog)
{
    WaitForSingleObject(workerThread, INFINITE);
    DWORD code = RESULT_DISK_FAILED;
    GetExitCodeThread(workerThread, &code);
    CloseHandle(workerThread);
    workerThread = nullptr;
    EndDialog(dialog, (INT_PTR)code);
}

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, (DiskJob*)lParam);
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_STOP:
        stopRequested = 1;
        break;
    case FINISHED_COMMAND:
        OnFinished(dialog);
        break;
    default:
        // IDCANCEL included: Escape must not end a run whose worker still writes.
        break;
    }
    return FALSE;
}

DWORD WINAPI DiskWorkerThread(LPVOID job)
{
    return (DWORD)DiskWorkerRun(platformDiskOps, (DiskJob*)job);
}

int RunProgressDialog(void* owner, DiskJob* job)
{
    const INT_PTR result = DialogBoxParamA((HINSTANCE)moduleInstance, MAKEINTRESOURCEA(IDD_PROGRESS + LanguageOffset),
                                           (HWND)owner, ProgressDialogProc, (LPARAM)job);
    return result == -1 ? RESULT_NO_RESOURCE : (int)result;
}
