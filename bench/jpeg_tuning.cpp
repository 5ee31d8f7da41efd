// How the size-optimising JPEG encoder's choices were made: bytes at equal quality against
// libjpeg's plain encoder (what `cjpeg -optimize` writes), on real photographs.
//
//   kalmira_jpeg_tuning [PICTURE...]          (default: the photographs of bench/pictures)
//
// For each picture and libjpeg quality 75 and 90 the plain encoder's file sets the target: its
// SSIM on luma. Each candidate (a table set, a lambda, trellis rounds) is then searched for the
// quality whose SSIM meets the target, and its size there is interpolated between the two
// qualities around it (on log size against SSIM). Printed per picture and candidate: the bytes
// ratio against the plain file at equal SSIM, and the PSNR over RGB at that point, as a guard:
// luma SSIM cannot see colour, so a candidate must not win by losing it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "budget/bytebudget.h"
#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_requant.h"
#include "codecs/registry.h"
#include "quality/quality.h"

using namespace imaging;

namespace {

struct Point {
    double bytes = 0, ssim = 0, psnr = 0;
};

// The picture at half size, each pixel the mean of four: the blocks of the JPEG it came from no
// longer line up with ours, so a re-encode measures the encoder, not the earlier one's grid.
Bitmap half(const Bitmap& b) {
    Bitmap h(b.width() / 2, b.height() / 2, 24);
    for (int y = 0; y < h.height(); ++y) {
        const std::uint8_t* r0 = b.row(2 * y);
        const std::uint8_t* r1 = b.row(2 * y + 1);
        std::uint8_t* out = h.row(y);
        for (int x = 0; x < 3 * h.width(); ++x) {
            const int c = x % 3, px = x / 3;
            out[x] = static_cast<std::uint8_t>((r0[6 * px + c] + r0[6 * px + 3 + c] + r1[6 * px + c] + r1[6 * px + 3 + c] + 2) / 4);
        }
    }
    return h;
}

Bitmap load(const std::string& path) {
    Bitmap b = loadFile(path).first();
    return std::getenv("KALMIRA_TUNING_HALF") ? half(b) : b;
}

Point measure(const Bitmap& original, const JpegRequantizer& encoder, int quality) {
    const Bytes file = encoder.encode(jpegFactorForQuality(quality));
    const Image decoded = loadMemory(ByteView(file.data(), file.size()));
    const QualityScore score = measureQuality(original, decoded.first());
    return {static_cast<double>(file.size()), score.ssim, score.psnr};
}

// The size and PSNR at which the candidate reaches `ssim`, interpolated between the qualities
// on either side of it.
Point atSsim(const Bitmap& original, const JpegRequantizer& encoder, double ssim) {
    int low = 1, high = 100;
    Point lowPoint = measure(original, encoder, low), highPoint = measure(original, encoder, high);
    if (highPoint.ssim < ssim) return highPoint;
    while (high - low > 1) {
        const int mid = (low + high) / 2;
        const Point p = measure(original, encoder, mid);
        if (p.ssim >= ssim) high = mid, highPoint = p;
        else low = mid, lowPoint = p;
    }
    const double t = highPoint.ssim > lowPoint.ssim ? (ssim - lowPoint.ssim) / (highPoint.ssim - lowPoint.ssim) : 1.0;
    return {std::exp(std::log(lowPoint.bytes) + t * (std::log(highPoint.bytes) - std::log(lowPoint.bytes))), ssim,
            lowPoint.psnr + t * (highPoint.psnr - lowPoint.psnr)};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> pictures;
    for (int i = 1; i < argc; ++i) pictures.emplace_back(argv[i]);
    if (pictures.empty())
        for (const char* name : {"dune.jpg", "storm.jpg", "meadow.jpg"})
            pictures.push_back(std::string(KALMIRA_BENCH_PICTURES) + "/" + name);

    struct Candidate {
        jpeg::EncoderTuning tuning;
        std::string name;
    };
    std::vector<Candidate> candidates;
    const char* only = std::getenv("KALMIRA_TUNING_SET");  // restrict to one table set
    for (int set = 0; set < jpeg::tableSetCount(); ++set) {
        if (only && std::atoi(only) != set) continue;
        for (float lambda : {0.0f, 0.04f, 0.07f, 0.1f, 0.15f}) {
            jpeg::EncoderTuning t;
            t.tableSet = set;
            t.lambda = lambda;
            t.trellisRounds = lambda > 0 ? 1 : 0;
            t.chooseScanSplit = false;
            candidates.push_back({t, "tables " + std::to_string(set) + " lambda " + std::to_string(lambda).substr(0, 4)});
        }
    }
    if (const char* curve = std::getenv("KALMIRA_TUNING_CURVE")) {
        // Size and SSIM over quality for one candidate set and lambda: "set,lambda".
        jpeg::EncoderTuning t;
        t.tableSet = std::atoi(curve);
        t.lambda = static_cast<float>(std::atof(std::strchr(curve, ',') ? std::strchr(curve, ',') + 1 : "0"));
        t.trellisRounds = t.lambda > 0 ? 1 : 0;
        for (const std::string& path : pictures) {
            const Bitmap original = load(path);
            SaveOptions options;
            options.format = format::Jpeg411;
            options.bits = 24;
            SaveOptions plainOptions = options;
            plainOptions.fastJpeg = true;
            const JpegRequantizer plain(original, plainOptions);
            JpegRequantizer encoder(original, options);
            encoder.setTuning(t);
            for (int q = 60; q <= 96; q += 3) {
                const Point a = measure(original, plain, q), b = measure(original, encoder, q);
                std::printf("%-40s %3d plain %8.0f %.5f %6.2f  ours %8.0f %.5f %6.2f\n", path.c_str(), q, a.bytes, a.ssim,
                            a.psnr, b.bytes, b.ssim, b.psnr);
            }
        }
        return 0;
    }
    std::printf("%-12s %3s %-24s %8s %8s %7s %7s\n", "picture", "q", "candidate", "bytes", "ratio", "psnr", "dpsnr");
    for (const std::string& path : pictures) {
        const Bitmap original = load(path);
        SaveOptions options;
        options.format = format::Jpeg411;
        options.bits = 24;
        std::string name = path.substr(path.find_last_of('/') + 1);
        JpegRequantizer encoder(original, options);
        for (int quality : {75, 90}) {
            SaveOptions plainOptions = options;
            plainOptions.fastJpeg = true;
            const JpegRequantizer plain(original, plainOptions);
            const Point reference = measure(original, plain, quality);
            std::printf("%-12s %3d %-24s %8.0f %8.4f %7.2f ssim %.5f\n", name.c_str(), quality, "plain", reference.bytes, 1.0,
                        reference.psnr, reference.ssim);
            for (const Candidate& c : candidates) {
                encoder.setTuning(c.tuning);
                const Point p = atSsim(original, encoder, reference.ssim);
                std::printf("%-12s %3d %-24s %8.0f %8.4f %7.2f %+7.2f\n", name.c_str(), quality, c.name.c_str(), p.bytes,
                            p.bytes / reference.bytes, p.psnr, p.psnr - reference.psnr);
                std::fflush(stdout);
            }
        }
    }
}
