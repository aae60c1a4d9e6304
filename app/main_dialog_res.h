// Resource ids of the main dialog (shared with the resource scripts).
#ifndef ZPH_MAIN_DIALOG_RES_H
#define ZPH_MAIN_DIALOG_RES_H

#define IDD_MAIN_9X 101
#define IDD_MAIN_NT 102

#define IDC_ABOUT 201
#define IDC_OVERLAY_TEST 202
#define IDC_HDD_TEST 203
#define IDC_SAVE_INFO 205
#define IDC_DRIVE_COMBO 301
#define IDC_SHOW_INFO_FILE 311
#define IDC_OVERLAY_STATUS 401
#define IDC_PCI_BIOS 411
#define IDC_CHIPSET 413
#define IDC_LATENCY 414
#define IDC_WINDOWS 415
#define IDC_COMPUTER 416
#define IDC_READ_BAR 461
#define IDC_WRITE_BAR 462
#define IDC_READ_TEXT 463
#define IDC_WRITE_TEXT 464

#define IDI_PROGRAM 100

#endif
