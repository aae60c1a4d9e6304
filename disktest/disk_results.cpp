#include "disktest/disk_results.h"

#include "app/text_format.h"

namespace {
const double kStepKBps = 10240.0;
const double kBandKBps = 5120.0;
}  // namespace

double RateKBps(uint32_t milliseconds)
{
    return 20971520.0 / milliseconds * 0.9765625;
}

double BarScale(double a, double b)
{
    const double m = a > b ? a : b;
    return ((double)(long long)(m / kStepKBps) + 1.0) * kStepKBps;
}

void FormatRateText(char* out, int capacity, double rate)
{
    if (rate == 0.0) {
        CopyText(out, (size_t)capacity, "Not tested");
    } else if (rate < kStepKBps) {
        FormatText(out, (size_t)capacity, "%4dKB/S", (int)rate);
    } else {
        FormatText(out, (size_t)capacity, "%4dMB/S", (int)(rate / 1024.0));
    }
}

RateBands RateBarBands(int width, double scale, double rate)
{
    RateBands bands = {0, 0, 0};
    if (rate == 0.0) return bands;
    const double seg = rate < kBandKBps ? rate : kBandKBps;
    const double rest = rate < kBandKBps ? 0.0 : rate - kBandKBps;
    bands.red = (int)(width * seg / scale);
    if (rest == 0.0) return bands;
    const double seg2 = rest < kBandKBps ? rest : kBandKBps;
    const double rest2 = rest < kBandKBps ? 0.0 : rest - kBandKBps;
    bands.yellow = (int)(width * seg2 / scale);
    if (rest2 == 0.0) return bands;
    bands.green = (int)(width * rest2 / scale);
    return bands;
}
