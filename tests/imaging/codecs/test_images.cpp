#include "test_images.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace imaging::test {
namespace {
std::uint32_t next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}
}  // namespace

Bitmap makeIndexed(int width, int height, int bits, std::uint32_t seed) {
    Bitmap b(width, height, bits);
    std::uint32_t s = seed;
    for (Rgb& c : b.palette()) c = next(s) & 0xFFFFFF;
    const int n = 1 << bits;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // runs of equal pixels, ramps and noise, so run-length coders meet every case
            int v;
            if (y % 3 == 0) v = (x / 7) % n;
            else if (y % 3 == 1) v = static_cast<int>(next(s) % n);
            else v = (x + y) % n;
            b.row(y)[x] = static_cast<std::uint8_t>(v);
        }
    return b;
}

Bitmap makeTrueColour(int width, int height, int bits, std::uint32_t seed) {
    Bitmap b(width, height, bits);
    std::uint32_t s = seed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = (x * 255 / std::max(width - 1, 1) + static_cast<int>(next(s) % 16)) & 0xFF;
            const int g = (y * 255 / std::max(height - 1, 1)) & 0xFF;
            const int bl = static_cast<int>(next(s) & 0xFF);
            b.setPixel(x, y, makeRgb(r, g, bl));
            if (bits == 32) b.row(y)[4 * x + 3] = static_cast<std::uint8_t>((x * 37 + y * 11) & 0xFF);
        }
    return b;
}

Bitmap makePhoto(int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const double fx = x / 23.0, fy = y / 31.0;
            p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(fx) * std::cos(fy * 0.7));
            p[1] = static_cast<std::uint8_t>(128 + 90 * std::sin(fx * 0.5 + fy));
            p[2] = static_cast<std::uint8_t>(std::min(255, x * 200 / std::max(width, 1) + y * 55 / std::max(height, 1)));
        }
    }
    return b;
}

double meanAbsoluteError(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Rgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(redOf(p) - redOf(q)) + std::abs(greenOf(p) - greenOf(q)) + std::abs(blueOf(p) - blueOf(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

bool haveImageMagick() {
    return std::filesystem::exists("/usr/bin/identify") && std::filesystem::exists("/usr/bin/convert");
}

std::string runCommand(const std::string& command, bool* ok) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) {
        if (ok) *ok = false;
        return out;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    if (ok) *ok = status == 0;
    return out;
}

}  // namespace imaging::test
