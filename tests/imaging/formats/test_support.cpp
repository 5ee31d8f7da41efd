#include "test_support.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace testing_formats {

using namespace imaging;

Bitmap makePicture(int width, int height, int bits, unsigned seed, bool blackWhite) {
    Bitmap b(width, height, bits);
    std::mt19937 rng(seed);
    if (b.isIndexed()) {
        const int n = 1 << bits;
        if (blackWhite) {
            // The grey ramp the bitmap starts with: black and white at 1 bit.
        } else {
            for (int i = 0; i < n; ++i)
                b.palette()[i] = makeRgb((i * 37 + 11) & 0xFF, (i * 91 + 200) & 0xFF, (i * 53 + 7 + seed) & 0xFF);
        }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Left third: long runs; middle: stripes; right: noise.
            std::uint32_t v;
            if (x < width / 3) v = static_cast<std::uint32_t>(y / 3) * 0x10305u;
            else if (x < 2 * width / 3)
                v = static_cast<std::uint32_t>((x / 2) % 5) * 0x30507u + static_cast<std::uint32_t>(y);
            else v = rng();
            if (b.isIndexed()) {
                b.setPixel(x, y, v % (1u << bits));
            } else {
                b.setPixel(x, y, v & 0xFFFFFF);
                if (bits == 32) b.row(y)[4 * x + 3] = static_cast<std::uint8_t>(v >> 24 | 1);
            }
        }
    return b;
}

namespace {
// One folder per test run, removed when the run ends.
struct TempFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kalmira-formats-" + std::to_string(::getpid()));
    ~TempFolder() {
        if (std::getenv("KALMIRA_KEEP_TEST_FILES")) return;  // for looking at a failure
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
}  // namespace

std::filesystem::path tempDir() {
    static TempFolder folder;
    std::filesystem::create_directories(folder.path);
    return folder.path;
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

bool haveTool(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

int run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()); }

Bytes magickRgba(const std::filesystem::path& file, int& width, int& height) {
    const auto dir = tempDir();
    const auto raw = dir / (file.filename().string() + ".rgba");
    const auto size = dir / (file.filename().string() + ".size");
    if (run("/usr/bin/convert '" + file.string() + "[0]' -auto-orient -depth 8 rgba:'" + raw.string() + "'") != 0)
        return {};
    if (run("/usr/bin/identify -format '%w %h' '" + file.string() + "[0]' > '" + size.string() + "'") != 0) return {};
    std::ifstream in(size);
    in >> width >> height;
    return readFile(raw);
}

Bytes rgbaOf(const Bitmap& bitmap) {
    Bytes out;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const Rgb c = bitmap.pixel(x, y);
            out.push_back(static_cast<std::uint8_t>(redOf(c)));
            out.push_back(static_cast<std::uint8_t>(greenOf(c)));
            out.push_back(static_cast<std::uint8_t>(blueOf(c)));
            out.push_back(bitmap.bits() == 32 ? bitmap.row(y)[4 * x + 3] : 255);
        }
    return out;
}

void writePpm(const std::filesystem::path& path, const Bitmap& bitmap) {
    std::ostringstream head;
    head << "P6\n" << bitmap.width() << " " << bitmap.height() << "\n255\n";
    const std::string h = head.str();
    Bytes data(h.begin(), h.end());
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const Rgb c = bitmap.pixel(x, y);
            data.push_back(static_cast<std::uint8_t>(redOf(c)));
            data.push_back(static_cast<std::uint8_t>(greenOf(c)));
            data.push_back(static_cast<std::uint8_t>(blueOf(c)));
        }
    writeFile(path, data);
}

}  // namespace testing_formats
