#pragma once

#include <windows.h>

void ShowMainDialog(void* instance, HWND parent);
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void RefreshMainDialog(HWND dialog, int drive);
void FillDriveCombo(HWND dialog);
void CentreWindow(HWND window, HWND parent);
