// The progress dialog of a disk test run and its worker thread.
#pragma once

#include <windows.h>

#include "disktest/disk_run.h"

enum { FINISHED_COMMAND = 0x4000 };

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI DiskWorkerThread(LPVOID job);

// Runs the progress dialog modally; returns the worker's result code.
int RunProgressDialog(void* owner, DiskJob* job);

// Called on the worker thread; ResetProgress before it starts.
void ResetProgress();
void ShowStatus(DiskJob* job, const char* text);
void ShowProgress(DiskJob* job, int position);
void PostFinished(DiskJob* job);
