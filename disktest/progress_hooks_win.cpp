#include <windows.h>
#include <commctrl.h>

#include "disktest/progress_dialog_res.h"
#include "disktest/progress_dialog_win.h"

namespace {

// Touched by the worker only, and reset before the worker starts.
ProgressPosting posted = {-1, 0};

}  // namespace

void ResetProgress()
{
    posted.position = -1;
}

void ShowStatus(DiskJob* job, const char* text)
{
    // Sent, so the text is on screen before the pass it names begins.
    SetWindowTextA(GetDlgItem((HWND)job->dialogWindow, IDC_PROGRESS_STATUS), text);
}

// The position is posted when the bar would show something new: at the start
// of a pass, and at most 20 times a second while it climbs. A posted message
// costs 150 to 300 microseconds under Wine on a busy two-core machine (the
// bar's thread wakes and repaints), as much as a whole 96 KiB block of a
// fast disk, so one per block would weigh on the very figures the run
// measures; a pass slower than 5 s still shows every step.
void ShowProgress(DiskJob* job, int position)
{
    if (!ProgressPostDue(&posted, position, GetTickCount())) return;
    PostMessageA(GetDlgItem((HWND)job->dialogWindow, IDC_PROGRESS_BAR), PBM_SETPOS, (WPARAM)position, 0);
}

void PostFinished(DiskJob* job)
{
    PostMessageA((HWND)job->dialogWindow, WM_COMMAND, FINISHED_COMMAND, 0);
}
