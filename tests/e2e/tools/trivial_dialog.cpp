// The baseline of the start-up benchmark: a program that shows one dialog
// from a resource template and nothing else, so that what the checker does
// before its dialog appears can be told apart from Wine's own start-up cost.
#include <windows.h>

#include "trivial_dialog_res.h"

static INT_PTR CALLBACK TrivialDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TRIVIAL), nullptr, TrivialDialogProc, 0);
    return 0;
}
