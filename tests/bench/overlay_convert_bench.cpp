// The colour-bar conversion pass at the test's 720 x 576, per format, beside
// a plain copy of the same 24-bit picture buffer in the same run. Prints the
// best time of several rounds for each and the ratio; it passes or fails
// nothing.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <vector>

#include "overlay/color_bars.h"

namespace {

const uint16_t kWidth = 720, kHeight = 576;
const int kRounds = 15, kPassesPerRound = 20;
volatile uint8_t sink;

template <typename Pass>
double BestMicroseconds(Pass pass)
{
    double best = 1e30;
    for (int round = 0; round < kRounds; round++) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kPassesPerRound; i++) pass();
        const auto end = std::chrono::steady_clock::now();
        const double us = std::chrono::duration<double, std::micro>(end - start).count() / kPassesPerRound;
        if (us < best) best = us;
    }
    return best;
}

}  // namespace

int main()
{
    const uint32_t stride = PictureStride(kWidth);
    std::vector<uint8_t> picture(stride * kHeight);
    for (uint32_t y = 0; y < kHeight; y++) {
        for (uint32_t x = 0; x < kWidth; x++) {
            const uint32_t c = ColorBarColors[x * COLOR_BAR_COUNT / kWidth];
            uint8_t* p = &picture[y * stride + x * 3];
            p[0] = (uint8_t)(c >> 16);
            p[1] = (uint8_t)(c >> 8);
            p[2] = (uint8_t)c;
        }
    }
    const int32_t pitch = kWidth * 2 + 64;
    std::vector<uint8_t> surface(pitch * kHeight);
    std::vector<uint8_t> copy(picture.size());

    const double copyUs = BestMicroseconds([&] {
        memcpy(copy.data(), picture.data(), picture.size());
        sink = copy[copy.size() / 2];
    });
    printf("picture %ux%u, %zu bytes read, %u bytes written per pass\n", kWidth, kHeight, picture.size(),
           (unsigned)kWidth * 2 * kHeight);
    printf("%-8s %10.1f us\n", "memcpy", copyUs);
    const struct {
        const char* name;
        SurfaceLayout layout;
    } formats[] = {{"YUY2", LAYOUT_YUY2}, {"UYVY", LAYOUT_UYVY}, {"RGB565", LAYOUT_RGB565}};
    for (const auto& f : formats) {
        const double us = BestMicroseconds([&] {
            ConvertPicture(f.layout, picture.data(), stride, surface.data(), pitch, kWidth, kHeight);
            sink = surface[surface.size() / 2];
        });
        printf("%-8s %10.1f us  %5.1f x memcpy\n", f.name, us, us / copyUs);
    }
    return 0;
}
