#include "app/main_dialog_win.h"

#include "app/machine_record.h"
#include "app/main_dialog.h"
#include "app/main_dialog_res.h"
#include "app/report.h"
#include "app/texts.h"
#include "disktest/disk_results.h"
#include "disktest/disk_test.h"
#include "disktest/drives.h"
#include "overlay/overlay_test.h"

void CentreWindow(HWND window, HWND parent)
{
    if (parent == nullptr) parent = GetDesktopWindow();
    RECT w, p;
    GetWindowRect(window, &w);
    GetWindowRect(parent, &p);
    const WindowPoint at = CentrePosition(WindowRect{w.left, w.top, w.right, w.bottom},
                                          WindowRect{p.left, p.top, p.right, p.bottom});
    MoveWindow(window, at.x, at.y, w.right - w.left, w.bottom - w.top, FALSE);
}

void FillDriveCombo(HWND dialog)
{
    const int slot = DriveLabelSlot(LanguageOffset);
    SendDlgItemMessageA(dialog, DriveList.comboId, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < DriveList.rowCount; i++) {
        const DriveEntry& row = DriveList.rows[i];
        if (row.fixed != 1) continue;
        SendDlgItemMessageA(dialog, DriveList.comboId, CB_ADDSTRING, 0, (LPARAM)row.label[slot]);
    }
    SendDlgItemMessageA(dialog, DriveList.comboId, CB_SETCURSEL, (WPARAM)ComboPositionOfSelected(DriveList), 0);
}

void RefreshMainDialog(HWND dialog, int drive)
{
    MachineInfo.overlayState = OverlayStateAfterRefresh(MachineInfo.overlayState, GetSystemMetrics(SM_CXSCREEN),
                                                        GetSystemMetrics(SM_CYSCREEN));
    SetDlgItemTextA(dialog, IDC_OVERLAY_STATUS, LoadText(OverlayStateTextId(MachineInfo.overlayState)));
    EnableWindow(GetDlgItem(dialog, IDC_OVERLAY_TEST), MachineInfo.overlayState != OVERLAY_STATE_LOW_RESOLUTION);
    if (MachineInfo.isNt == 0) SetDlgItemTextA(dialog, IDC_PCI_BIOS, MachineInfo.pciBiosText);
    SetDlgItemTextA(dialog, IDC_CHIPSET, MachineInfo.chipsetText);
    SetDlgItemTextA(dialog, IDC_LATENCY, MachineInfo.latencyText);
    SetDlgItemTextA(dialog, IDC_WINDOWS, MachineInfo.windowsText);
    char computer[256];
    FormatComputerLine(computer, sizeof computer, MachineInfo.processorText, MachineInfo.totalMemory);
    SetDlgItemTextA(dialog, IDC_COMPUTER, computer);
    ShowDriveResults(dialog, drive);
}

static void PostRefresh(HWND dialog)
{
    PostMessageA(dialog, WM_REFRESHINFO_MESSAGE, 0, 0);
}

static void OnDriveSelectionChange(HWND dialog)
{
    const int position = (int)SendDlgItemMessageA(dialog, DriveList.comboId, CB_GETCURSEL, 0, 0);
    const int drive = DriveAtComboPosition(DriveList, position);
    if (drive < 0 || drive == DriveList.selected) return;
    // Posted first: it is handled after this handler returns, so it refreshes for the new drive.
    PostRefresh(dialog);
    DriveList.selected = drive;
}

static void ShowAboutBox(HWND dialog)
{
    char text[256];
    FormatAboutText(text, sizeof text, LoadText(TEXT_ABOUT_FORMAT));
    MessageBoxA(dialog, text, programTitle, MB_OK);
}

static INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        showInfoFile = IsDlgButtonChecked(dialog, IDC_SHOW_INFO_FILE) == BST_CHECKED ? 1 : 0;
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 2);
        return TRUE;
    case IDC_ABOUT:
        ShowAboutBox(dialog);
        return TRUE;
    case IDC_OVERLAY_TEST:
        OnOverlayTestButton(dialog);
        PostRefresh(dialog);
        return TRUE;
    case IDC_HDD_TEST:
        OnHddTestButton(dialog, DriveList.selected);
        PostRefresh(dialog);
        return TRUE;
    case IDC_SAVE_INFO:
        SaveInfoReport(dialog);
        return TRUE;
    case IDC_DRIVE_COMBO:
        if (HIWORD(wParam) == CBN_SELCHANGE) OnDriveSelectionChange(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreWindow(dialog, GetParent(dialog));
        FillDriveCombo(dialog);
        CheckDlgButton(dialog, IDC_SHOW_INFO_FILE, showInfoFile != 0 ? BST_CHECKED : BST_UNCHECKED);
        PostRefresh(dialog);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(dialog, &paint);
        RefreshMainDialog(dialog, DriveList.selected);
        EndPaint(dialog, &paint);
        return TRUE;
    }
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    case WM_REFRESHINFO_MESSAGE:
        RefreshMainDialog(dialog, DriveList.selected);
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowMainDialog(void* instance, HWND parent)
{
    const int templateId = MainDialogTemplate(MachineInfo.isNt) + LanguageOffset;
    DialogBoxParamA((HINSTANCE)instance, MAKEINTRESOURCEA(templateId), parent, MainDialogProc, 0);
}
