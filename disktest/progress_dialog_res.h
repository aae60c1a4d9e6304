// Resource ids of the disk test's progress dialog (shared with the resource scripts).
#ifndef ZPH_PROGRESS_DIALOG_RES_H
#define ZPH_PROGRESS_DIALOG_RES_H

#define IDD_PROGRESS 103

#define IDC_STOP 471
#define IDC_PROGRESS_BAR 472
#define IDC_PROGRESS_STATUS 473

#endif
