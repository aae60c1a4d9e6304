// The throughput texts and bars of the "Hard Disk Performance" group.
#pragma once

#include <stdint.h>

double RateKBps(uint32_t milliseconds);
double BarScale(double a, double b);
// "Not tested", "%4dKB/S" or "%4dMB/S" into out (16 bytes suffice).
void FormatRateText(char* out, int capacity, double rate);

// The three colour bands of a bar W pixels wide, in pixels from its left edge.
struct RateBands {
    int red, yellow, green;
};
RateBands RateBarBands(int width, double scale, double rate);

// Platform side: both rows of the dialog for a drive.
void ShowDriveResults(void* mainDialog, int driveIndex);
