#include "commands.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <optional>
#include <ostream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "arguments.h"
#include "op_args.h"
#include "format_names.h"
#include "budget/bytebudget.h"
#include "codecs/load_notes.h"
#include "budget/ssimtarget.h"
#include "codecs/codec_support.h"
#include "codecs/embedded.h"
#include "color/icc_transform.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "core/error.h"
#include "quality/quality.h"

namespace kalmira::cli {

const char* const kUsage =
    "usage: kalmira-cli info FILE\n"
    "       kalmira-cli convert IN OUT --format N [--bits B] [--palette K] [--dither D]\n"
    "                   [--colors C] [--qfactor Q] [--passes P] [--interlaced] [--transparent RRGGBB]\n"
    "                   [--quality Q] [--lossless] [--effort E] [--target-size BYTES]\n"
    "                   [--keep-profile] [--keep-author]\n"
    "       kalmira-cli compare A B      PSNR of B against A over RGB, SSIM on luma\n"
    "  convert prints file_size, bits, unique_colors, psnr (dB, or lossless) and ssim (luma, 1 = same)\n"
    "  --format N       engine format number (2 GIF, 10/23/21 JPEG, 75 PNG, 6/84/74 BMP, 3/17 TIFF,\n"
    "                   160 WebP, 161 AVIF, ...) or a name: gif, jpeg, png, bmp, tiff, webp, avif, ...\n"
    "  --bits B         1-8, 16, 24 or 32 (default 8 for GIF, else 24)\n"
    "  --palette K      1 fixed, 2 optimised (default), 8 Windows, 16 custom, 64 web\n"
    "  --dither D       0 none (default), 1 Floyd-Steinberg, 2 Stucki, 3 Burkes, 4 Sierra,\n"
    "                   5 Stevenson-Arce, 6 Jarvis-Judice-Ninke, 7 ordered\n"
    "  --colors C       at most C colours with the optimised palette (0 = as many as the depth holds)\n"
    "  --qfactor Q      JPEG quality factor 2-255, lower is better (default 56): --quality 256-Q\n"
    "  --passes P       JPEG progressive scans, 0 = baseline (default)\n"
    "  --fast-jpeg      JPEG: libjpeg's plain encoder, faster and larger than the default\n"
    "  --interlaced     GIF/PNG interlacing\n"
    "  --quality Q      the quality as the program's slider shows it, higher is better: JPEG 1-254\n"
    "                   (default 200, the quality factor 256-Q), WebP/AVIF 0-100 (default 75)\n"
    "  --lossless       WebP/AVIF: exact pixels\n"
    "  --effort E       WebP 0-6, AVIF 0-10: more is slower and smaller (default 4)\n"
    "  --target-size N  the best picture whose file has at most N bytes: JPEG/WebP/AVIF search the\n"
    "                   quality, GIF/PNG at 8 bits or less the colours (dithered when --dither\n"
    "                   allows); prints target_size, fits and setting\n"
    "  --target-ssim S  the smallest file whose SSIM (as printed) is at least S, 0 < S <= 1: the same\n"
    "                   formats and searches as --target-size; prints target_ssim, reached and setting\n"
    "  --transparent C  make colour C (hex, red first) transparent; palettes use their nearest entry\n"
    "  --keep-profile   JPEG/PNG/TIFF/WebP/AVIF: write the input's colour profile, pixels converted\n"
    "                   into it (default: sRGB pixels, no profile)\n"
    "  --keep-author    write the input's author and copyright (default: no metadata at all)\n"
    "  info and convert read pictures upright (EXIF orientation) and in sRGB (embedded profiles)\n"
    "  --op NAME=A,B    an operation on the picture before the colour reduction, repeatable, run in\n"
    "                   order (e.g. --op Size=800,600,2 --op Sharpen=200 --op Rotate=9000,1,0)\n";

namespace {

void print(std::ostream& out, const char* key, const std::string& value) { out << key << ": " << value << '\n'; }
template <typename T>
void print(std::ostream& out, const char* key, T value) {
    out << key << ": " << value << '\n';
}

std::string fixed(double v, int decimals) {
    if (std::isinf(v)) return "inf";
    std::ostringstream s;
    s << std::fixed << std::setprecision(decimals) << v;
    return s.str();
}

// The options of convert, in one place; a new option is a row here and a read in
// readConvertSettings.
constexpr OptionDef kConvertOptions[] = {
    {"format", true},  {"bits", true},    {"palette", true},    {"dither", true},      {"colors", true},
    {"qfactor", true}, {"passes", true},  {"interlaced", false}, {"transparent", true},
    {"op", true, true},
    {"quality", true}, {"lossless", false}, {"effort", true}, {"target-size", true},
    {"fast-jpeg", false}, {"target-ssim", true},
    {"keep-profile", false}, {"keep-author", false},
};

struct ConvertSettings {
    std::string in, out;
    int format = 0;
    int bits = 24;
    int palette = imaging::palette_kind::Optimized;
    int dither = imaging::dither_code::None;
    int colors = 0;
    int qfactor = 56;
    int passes = 0;
    bool fastJpeg = false;
    bool interlaced = false;
    bool transparent = false;
    int quality = 75;
    bool lossless = false;
    int effort = 4;
    long long targetSize = 0;  // 0 = no byte budget
    double targetSsim = 0;     // 0 = no quality target
    bool keepProfile = false;
    bool keepAuthor = false;
    std::vector<OpCall> ops;  // --op, in command-line order
    imaging::Rgb transparentColor = 0;
};

imaging::Rgb parseHexColor(const std::string& text) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError("--transparent needs a colour as six hex digits RRGGBB, not \"" + text + "\"");
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 16);
    return imaging::makeRgb(static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
}

ConvertSettings readConvertSettings(const std::vector<std::string>& args) {
    const ParsedArgs a = parseArguments(args, kConvertOptions);
    if (a.positional.size() != 2) throw UsageError("convert needs an input and an output file");
    if (!a.has("format")) throw UsageError("convert needs --format");
    ConvertSettings s;
    s.in = a.positional[0];
    s.out = a.positional[1];
    s.format = formatFromArgument(a.text("format"));
    s.bits = a.integer("bits", s.format == imaging::format::Gif ? 8 : 24, 1, 32);
    if (!imaging::Bitmap::isValidDepth(s.bits)) throw UsageError("--bits must be 1-8, 16, 24 or 32");
    s.palette = a.integer("palette", s.palette, 1, 64);
    if (s.palette != 1 && s.palette != 2 && s.palette != 8 && s.palette != 16 && s.palette != 64)
        throw UsageError("--palette must be 1, 2, 8, 16 or 64");
    s.dither = a.integer("dither", s.dither, 0, 7);
    s.colors = a.integer("colors", 0, 0, 256);
    s.qfactor = a.integer("qfactor", s.qfactor, 2, 255);
    s.passes = a.integer("passes", 0, 0, 64);
    s.interlaced = a.has("interlaced");
    // --quality means what the program's quality slider means for the format; for JPEG that is
    // 256 minus the quality factor.
    const bool jpeg = s.format == imaging::format::Jpeg444 || s.format == imaging::format::Jpeg422 ||
                      s.format == imaging::format::Jpeg411;
    s.fastJpeg = a.has("fast-jpeg");
    s.keepProfile = a.has("keep-profile");
    s.keepAuthor = a.has("keep-author");
    if (jpeg && a.has("quality")) {
        if (a.has("qfactor")) throw UsageError("give --quality or --qfactor, not both");
        s.qfactor = 256 - a.integer("quality", 256 - s.qfactor, 1, 254);
    } else {
        s.quality = a.integer("quality", s.quality, 0, 100);
    }
    s.lossless = a.has("lossless");
    s.effort = a.integer("effort", s.effort, 0, s.format == imaging::format::Webp ? 6 : 10);
    if (a.has("target-size")) {
        const std::string text = a.text("target-size");
        char* end = nullptr;
        const long long bytes = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || bytes < 1)
            throw UsageError("--target-size needs a number of bytes of 1 or more, not \"" + text + "\"");
        s.targetSize = bytes;
        const bool byColours = imaging::budgetByColours(s.format) && s.bits <= 8;
        if (!imaging::budgetByQuality(s.format) && !byColours)
            throw UsageError("--target-size works with JPEG, WebP, AVIF, and GIF or PNG at 8 bits or less");
        if (s.lossless) throw UsageError("--target-size searches the quality; it cannot be combined with --lossless");
        if (byColours && s.palette != imaging::palette_kind::Optimized)
            throw UsageError("--target-size searches the colours of an optimised palette (--palette 2)");
    }
    if (a.has("target-ssim")) {
        const std::string text = a.text("target-ssim");
        char* end = nullptr;
        const double target = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !imaging::validSsimTarget(target))
            throw UsageError("--target-ssim needs an SSIM above 0 and at most 1, not \"" + text + "\"");
        s.targetSsim = target;
        const bool byColours = imaging::budgetByColours(s.format) && s.bits <= 8;
        if (!imaging::budgetByQuality(s.format) && !byColours)
            throw UsageError("--target-ssim works with JPEG, WebP, AVIF, and GIF or PNG at 8 bits or less");
        if (s.targetSize > 0) throw UsageError("--target-ssim and --target-size cannot be combined");
        if (s.lossless) throw UsageError("--target-ssim searches the quality; it cannot be combined with --lossless");
        if (byColours && s.palette != imaging::palette_kind::Optimized)
            throw UsageError("--target-ssim searches the colours of an optimised palette (--palette 2)");
    }
    if (a.has("transparent")) {
        s.transparent = true;
        s.transparentColor = parseHexColor(a.text("transparent"));
    }
    if (a.has("op"))
        for (const std::string& op : a.all("op")) {
            try {
                s.ops.push_back(parseOpArgument(op));
            } catch (const imaging::Error& e) {
                throw UsageError(e.what());
            }
        }
    return s;
}

// A transparent colour names the palette entry nearest to it, as the windows do it.
void applyTransparency(imaging::Bitmap& bmp, imaging::Rgb color) {
    bmp.setTransparent(true);
    if (!bmp.isIndexed()) {
        bmp.setTransparentColor(color);
        return;
    }
    const int best = imaging::codec::nearestPaletteIndex(bmp.palette(), 1 << bmp.bits(), color);
    bmp.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(best));
}

// The setting a search chose, as the user gives it: --qfactor for JPEG, --quality for WebP/AVIF,
// the colours (and depth, dithering) for palettes.
std::string settingText(int format, const imaging::SaveOptions& options, int colors, int dither) {
    if (imaging::budgetByQuality(format))
        return format == imaging::format::Webp || format == imaging::format::Avif
                   ? "quality " + std::to_string(options.quality)
                   : "qfactor " + std::to_string(options.qualityFactor);
    return "colors " + std::to_string(colors) + ", bits " + std::to_string(options.bits) +
           (dither != 0 ? ", dither " + std::to_string(dither) : std::string());
}

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int runInfo(const std::vector<std::string>& args, std::ostream& out) {
    const ParsedArgs a = parseArguments(args, {});
    if (a.positional.size() != 1) throw UsageError("info needs exactly one file");
    const imaging::Bytes data = imaging::readWholeFile(a.positional[0]);
    const imaging::ImageInfo info = imaging::readInfo(data);
    print(out, "format", info.format);
    print(out, "width", info.width);
    print(out, "height", info.height);
    print(out, "bits", info.bits);
    print(out, "pages", info.pages);
    print(out, "animated", info.animated ? 1 : 0);
    print(out, "file_size", info.fileSize);
    // What loading does beyond the pixels: the turn and the colour conversion (read only when
    // the file has them; the width and height above are already upright).
    const imaging::embedded::Found found = imaging::embedded::scan(data);
    if (found.orientation) print(out, "orientation", found.orientation);
    if (!found.iccProfile.empty()) {
        const std::string name = imaging::icc::profileDescription(found.iccProfile);
        print(out, "color_profile", name.empty() ? std::string("damaged") : name);
    }
    if (!found.author.empty()) print(out, "author", found.author);
    if (!found.copyright.empty()) print(out, "copyright", found.copyright);
    return 0;
}

namespace {
void reportConversion(std::ostream& out, const ConvertSettings& s, const imaging::Image& input,
                      const imaging::Image& decoded, const imaging::Bytes& encoded,
                      const std::optional<imaging::BudgetResult>& budget, const std::optional<imaging::SsimTargetResult>& quality,
                      bool damaged, double ms, double cpuMs, double opMs);
}

int runConvert(const std::vector<std::string>& args, std::ostream& out) {
    const ConvertSettings s = readConvertSettings(args);
    // Only an animation is read with all its frames; of any other file the first page.
    const imaging::Bytes data = imaging::readWholeFile(s.in);
    const imaging::ImageInfo info = imaging::readInfo(data);
    imaging::LoadOptions load;
    if (!(info.animated || (info.pages > 1 && info.format == imaging::format::Gif))) load.pageCount = 1;
    imaging::takeLoadNotes();
    imaging::Image input = imaging::loadMemory(data, load);
    const bool damaged = imaging::takeLoadNotes().damaged;
    // Operations first, as a user resizes and sharpens before saving; the reduction, the
    // encoding and the PSNR then work on their result.
    const double opMs = s.ops.empty() ? 0.0 : applyOpCalls(input, s.ops);
    const bool animation = input.animated() && s.format == imaging::format::Gif && s.bits <= 8;

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const double cpuStart = processCpuMs();
    imaging::Image reduced;
    const int colors = s.palette == imaging::palette_kind::Optimized ? s.colors : 0;
    if (animation) {
        reduced = imaging::colorRes(input, s.bits, s.palette, s.dither, colors);
    } else {
        reduced = imaging::Image::fromBitmap(
            s.bits > 8 ? imaging::colorRes(input.first(), s.bits, 0, 0, 0)
                       : imaging::colorRes(input.first(), s.bits, s.palette, s.dither, colors));
        reduced.frames.front().delay = input.frames.front().delay;
    }
    if (s.transparent)
        for (imaging::Frame& f : reduced.frames) applyTransparency(f.bitmap, s.transparentColor);

    imaging::SaveOptions save;
    save.format = s.format;
    save.bits = s.bits;
    save.qualityFactor = s.qfactor;
    save.passes = s.passes;
    save.fastJpeg = s.fastJpeg;
    save.interlaced = s.interlaced;
    save.multiPage = animation;
    save.quality = s.quality;
    save.lossless = s.lossless;
    save.effort = s.effort;
    if (s.keepProfile) save.iccProfile = input.notes.iccProfile;
    if (s.keepAuthor) {
        save.author = input.notes.author;
        save.copyright = input.notes.copyright;
    }
    std::optional<imaging::BudgetResult> budget;
    if (s.targetSize > 0 && imaging::budgetByQuality(s.format))
        budget = imaging::fitByQuality(reduced.first(), save, static_cast<std::size_t>(s.targetSize));
    else if (s.targetSize > 0)
        budget = imaging::fitByColours(input.first(), save, static_cast<std::size_t>(s.targetSize), s.dither);
    std::optional<imaging::SsimTargetResult> quality;
    if (s.targetSsim > 0 && imaging::budgetByQuality(s.format))
        quality = imaging::fitQualityToSsim(input.first(), reduced.first(), save, s.targetSsim);
    else if (s.targetSsim > 0)
        quality = imaging::fitColoursToSsim(input.first(), save, s.targetSsim, s.dither);
    const imaging::Bytes encoded =
        budget ? budget->encoded : quality ? quality->encoded : imaging::saveMemory(reduced, save);
    const imaging::Image decoded = imaging::loadMemory(encoded);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuMs = processCpuMs() - cpuStart;

    // Everything the command reports is worked out before the output is touched: a failure on
    // the way (out of memory while measuring) leaves the previous file as it was.
    std::ostringstream report;
    reportConversion(report, s, input, decoded, encoded, budget, quality, damaged, ms, cpuMs, opMs);
    // Never in place: a full disk or a second writer must not leave a broken or mixed file.
    imaging::writeFileAtomically(s.out, encoded);
    out << report.str();
    if (budget && !budget->fits)
        std::cerr << "kalmira-cli: nothing fits " << s.targetSize << " bytes; kept the smallest, " << encoded.size()
                  << " bytes\n";
    return 0;
}

namespace {

void reportConversion(std::ostream& out, const ConvertSettings& s, const imaging::Image& input,
                      const imaging::Image& decoded, const imaging::Bytes& encoded,
                      const std::optional<imaging::BudgetResult>& budget, const std::optional<imaging::SsimTargetResult>& quality,
                      bool damaged, double ms, double cpuMs, double opMs) {
    const imaging::Bitmap& result = decoded.first();
    print(out, "file_size", encoded.size());
    // A file cut short is converted from the part that arrived, as browsers show it; say so.
    if (damaged) print(out, "damaged", 1);
    print(out, "bits", result.bits());
    print(out, "unique_colors", result.uniqueColorCount());
    const bool sameSize = result.width() == input.first().width() && result.height() == input.first().height();
    // Measured as the windows show it: alpha over the white matte the reduction blended onto.
    if (sameSize) {
        const imaging::QualityScore q = imaging::measureQuality(input.first(), result);
        print(out, "psnr", std::isinf(q.psnr) ? std::string("lossless") : fixed(q.psnr, 3));
        print(out, "ssim", fixed(q.ssim, 5));
    } else {
        print(out, "psnr", std::string("n/a"));
        print(out, "ssim", std::string("n/a"));
    }
    print(out, "ms", fixed(ms, 1));
    // The processor time of the same steps: on a busy machine wall time says little.
    print(out, "cpu_ms", fixed(cpuMs, 1));
    if (!s.ops.empty()) print(out, "op_ms", fixed(opMs, 1));
    if (quality) {
        print(out, "target_ssim", fixed(s.targetSsim, 5));
        print(out, "reached", quality->reached ? "yes" : "no");
        print(out, "setting", settingText(s.format, quality->options, quality->colors, s.dither));
        print(out, "encodes", quality->encodes);
        if (!quality->reached)
            std::cerr << "kalmira-cli: no setting reaches SSIM " << fixed(s.targetSsim, 5) << "; the best reaches "
                      << fixed(quality->ssim, 5) << "\n";
    }
    if (budget) {
        print(out, "target_size", s.targetSize);
        print(out, "fits", budget->fits ? "yes" : "no");
        std::string setting;
        if (imaging::budgetByQuality(s.format)) {
            // The quality as the user gives it: --qfactor for JPEG, --quality for WebP/AVIF.
            setting = s.format == imaging::format::Webp || s.format == imaging::format::Avif
                          ? "quality " + std::to_string(budget->options.quality)
                          : "qfactor " + std::to_string(budget->options.qualityFactor);
        } else {
            setting = "colors " + std::to_string(budget->colors) + ", bits " + std::to_string(budget->options.bits) +
                      (budget->ditherCode != 0 ? ", dither " + std::to_string(budget->ditherCode) : std::string());
        }
        print(out, "setting", setting);
        print(out, "encodes", budget->encodes);
    }
}

}  // namespace

int runCompare(const std::vector<std::string>& args, std::ostream& out) {
    const ParsedArgs a = parseArguments(args, {});
    if (a.positional.size() != 2) throw UsageError("compare needs two files");
    const imaging::Image first = imaging::loadFile(a.positional[0]);
    const imaging::Image second = imaging::loadFile(a.positional[1]);
    if (first.first().width() != second.first().width() || first.first().height() != second.first().height())
        imaging::fail(imaging::ErrorCode::InvalidArgument, "compare", "the images differ in size");
    print(out, "psnr", fixed(imaging::psnrRgb(first.first(), second.first()), 3));
    print(out, "ssim", fixed(imaging::measureQuality(first.first(), second.first()).ssim, 5));
    print(out, "unique_colors", second.first().uniqueColorCount());
    return 0;
}

}  // namespace kalmira::cli
