#include <windows.h>

#include "app/main_dialog_res.h"
#include "disktest/disk_results.h"
#include "disktest/disk_test.h"

namespace {

void FillBand(HDC dc, RECT band, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr) return;
    FillRect(dc, &band, brush);
    DeleteObject(brush);
}

void SetRateText(HWND dialog, double rate, int id)
{
    char text[16];
    FormatRateText(text, sizeof text, rate);
    SetDlgItemTextA(dialog, id, text);
}

// Painted through the dialog's own DC, not the one of BeginPaint, so every
// paint of the dialog paints the bars again.
void DrawRateBar(HWND dialog, double scale, double rate, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ScreenToClient(dialog, &corners[0]);
    ScreenToClient(dialog, &corners[1]);
    RECT inner = {corners[0].x + 2, corners[0].y + 2, corners[1].x - 2, corners[1].y - 2};
    HDC dc = GetDC(dialog);
    if (dc == nullptr) return;
    FillBand(dc, inner, GetSysColor(COLOR_BTNFACE));
    const RateBands bands = RateBarBands(inner.right - inner.left, scale, rate);
    RECT band = inner;
    band.right = band.left + bands.red;
    if (bands.red > 0) FillBand(dc, band, RGB(255, 0, 0));
    band.left = band.right;
    band.right = band.left + bands.yellow;
    if (bands.yellow > 0) FillBand(dc, band, RGB(255, 255, 0));
    band.left = band.right;
    band.right = band.left + bands.green;
    if (bands.green > 0) FillBand(dc, band, RGB(0, 255, 0));
    ReleaseDC(dialog, dc);
}

void ShowDiskResults(HWND dialog, double readRate, double writeRate)
{
    const double scale = BarScale(readRate, writeRate);
    SetRateText(dialog, writeRate, IDC_WRITE_TEXT);
    DrawRateBar(dialog, scale, writeRate, IDC_WRITE_BAR);
    SetRateText(dialog, readRate, IDC_READ_TEXT);
    DrawRateBar(dialog, scale, readRate, IDC_READ_BAR);
}

}  // namespace

void ShowDriveResults(void* mainDialog, int driveIndex)
{
    const uint32_t r = DiskTimes.readMs[driveIndex];
    const uint32_t w = DiskTimes.writeMs[driveIndex];
    double readRate = 0.0, writeRate = 0.0;
    if (r != 0 && w != 0) {
        readRate = RateKBps(r);
        writeRate = RateKBps(w);
    }
    ShowDiskResults((HWND)mainDialog, readRate, writeRate);
}
