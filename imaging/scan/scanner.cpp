#include "scan/scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "core/error.h"

namespace imaging::scan {

namespace {

constexpr const char* kWhere = "scanner";

SANE_Handle handleOf(void* h) { return static_cast<SANE_Handle>(h); }

[[noreturn]] void failStatus(SANE_Status status, const std::string& what) {
    const std::string reason = what + ": " + sane_strstatus(status);
    switch (status) {
    case SANE_STATUS_CANCELLED: fail(ErrorCode::Cancelled, kWhere, reason);
    case SANE_STATUS_NO_MEM: fail(ErrorCode::OutOfMemory, kWhere, reason);
    case SANE_STATUS_INVAL: fail(ErrorCode::InvalidArgument, kWhere, reason);
    default: fail(ErrorCode::ReadFailed, kWhere, reason);
    }
}

Option::Unit unitOf(SANE_Unit unit) {
    switch (unit) {
    case SANE_UNIT_PIXEL: return Option::Unit::Pixel;
    case SANE_UNIT_BIT: return Option::Unit::Bit;
    case SANE_UNIT_MM: return Option::Unit::Millimetre;
    case SANE_UNIT_DPI: return Option::Unit::Dpi;
    case SANE_UNIT_PERCENT: return Option::Unit::Percent;
    case SANE_UNIT_MICROSECOND: return Option::Unit::Microsecond;
    default: return Option::Unit::None;
    }
}

double toNumber(SANE_Value_Type type, SANE_Word word) {
    return type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : static_cast<double>(word);
}

}  // namespace

int initialise() {
    static const int status = [] {
        SANE_Int version = 0;
        return static_cast<int>(sane_init(&version, nullptr));
    }();
    return status;
}

std::vector<Device> devices() {
    std::vector<Device> found;
    if (initialise() != 0) return found;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return found;
    for (const SANE_Device** d = list; *d; ++d)
        found.push_back(Device{(*d)->name ? (*d)->name : "", (*d)->vendor ? (*d)->vendor : "",
                               (*d)->model ? (*d)->model : "", (*d)->type ? (*d)->type : ""});
    return found;
}

Scanner::Scanner(const std::string& deviceName) : name_(deviceName) {
    if (initialise() != 0) fail(ErrorCode::Unsupported, kWhere, "SANE did not start");
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(deviceName.c_str(), &handle);
    if (status != SANE_STATUS_GOOD) fail(ErrorCode::FileNotFound, kWhere, deviceName + ": " + sane_strstatus(status));
    handle_ = handle;
}

Scanner::~Scanner() {
    if (handle_) sane_close(handleOf(handle_));
}

std::vector<Option> Scanner::options() const {
    std::vector<Option> list;
    SANE_Int count = 0;
    if (sane_control_option(handleOf(handle_), 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return list;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handleOf(handle_), i);
        if (!d) continue;
        Option o;
        o.index = i;
        o.name = d->name ? d->name : "";
        o.title = d->title ? d->title : "";
        o.description = d->desc ? d->desc : "";
        o.unit = unitOf(d->unit);
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        switch (d->type) {
        case SANE_TYPE_BOOL: o.type = Option::Type::Bool; break;
        case SANE_TYPE_INT: o.type = Option::Type::Int; break;
        case SANE_TYPE_FIXED: o.type = Option::Type::Fixed; break;
        case SANE_TYPE_STRING: o.type = Option::Type::String; break;
        case SANE_TYPE_BUTTON: o.type = Option::Type::Button; break;
        default: o.type = Option::Type::Group; break;
        }
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            o.hasRange = true;
            o.minimum = toNumber(d->type, d->constraint.range->min);
            o.maximum = toNumber(d->type, d->constraint.range->max);
            o.step = toNumber(d->type, d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                o.numbers.push_back(toNumber(d->type, d->constraint.word_list[k]));
        } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) o.texts.emplace_back(*s);
        }
        if (o.active && (o.type == Option::Type::Bool || o.type == Option::Type::Int || o.type == Option::Type::Fixed)) {
            o.count = std::max<SANE_Int>(1, d->size / static_cast<SANE_Int>(sizeof(SANE_Word)));
            std::vector<SANE_Word> words(static_cast<std::size_t>(o.count));
            if (sane_control_option(handleOf(handle_), i, SANE_ACTION_GET_VALUE, words.data(), nullptr) == SANE_STATUS_GOOD)
                o.number = toNumber(d->type, words[0]);
        } else if (o.active && o.type == Option::Type::String && d->size > 0) {
            std::string value(static_cast<std::size_t>(d->size), '\0');
            if (sane_control_option(handleOf(handle_), i, SANE_ACTION_GET_VALUE, value.data(), nullptr) == SANE_STATUS_GOOD)
                o.text = value.c_str();
        }
        list.push_back(std::move(o));
    }
    return list;
}

void Scanner::setNumber(const std::string& name, double value) {
    for (const Option& o : options()) {
        if (o.name != name) continue;
        SANE_Word word = o.type == Option::Type::Fixed ? SANE_FIX(value) : static_cast<SANE_Word>(std::lround(value));
        const SANE_Status status = sane_control_option(handleOf(handle_), o.index, SANE_ACTION_SET_VALUE, &word, nullptr);
        if (status != SANE_STATUS_GOOD) failStatus(status, name);
        return;
    }
    fail(ErrorCode::InvalidArgument, kWhere, "the device has no option " + name);
}

void Scanner::setText(const std::string& name, const std::string& value) {
    for (const Option& o : options()) {
        if (o.name != name) continue;
        std::string buffer = value;
        buffer.resize(std::max<std::size_t>(value.size() + 1, 64), '\0');
        const SANE_Status status = sane_control_option(handleOf(handle_), o.index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
        if (status != SANE_STATUS_GOOD) failStatus(status, name);
        return;
    }
    fail(ErrorCode::InvalidArgument, kWhere, "the device has no option " + name);
}

namespace {

// One frame's layout as the device announces it, checked.
struct FrameLayout {
    SANE_Parameters p{};
    int samples = 1;      // samples a pixel in this frame
    int channel = -1;     // 0..2 for one colour of a three-pass scan, -1 for a whole frame
    std::size_t lineBytes = 0;
};

FrameLayout layoutOf(const SANE_Parameters& p) {
    FrameLayout f;
    f.p = p;
    switch (p.format) {
    case SANE_FRAME_GRAY: break;
    case SANE_FRAME_RGB: f.samples = 3; break;
    case SANE_FRAME_RED: f.channel = 0; break;
    case SANE_FRAME_GREEN: f.channel = 1; break;
    case SANE_FRAME_BLUE: f.channel = 2; break;
    default: fail(ErrorCode::Unsupported, kWhere, "the device sends frames of an unknown kind");
    }
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) fail(ErrorCode::Unsupported, kWhere, "unsupported sample depth");
    if (p.depth == 1 && f.samples != 1) fail(ErrorCode::Unsupported, kWhere, "unsupported sample depth");
    const std::size_t needed = p.depth == 1 ? (std::size_t(p.pixels_per_line) + 7) / 8
                                            : std::size_t(p.pixels_per_line) * f.samples * (p.depth / 8);
    if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || std::size_t(p.bytes_per_line) < needed)
        fail(ErrorCode::Corrupt, kWhere, "the device announced an impossible line");
    f.lineBytes = static_cast<std::size_t>(p.bytes_per_line);
    return f;
}

// One line of the device's samples as 8-bit samples, `stride` apart in `out` (3 places one
// colour of a three-pass scan into its RGB pixels).
void convertLine(const FrameLayout& f, const SANE_Byte* line, std::uint8_t* out, int stride) {
    const std::size_t count = std::size_t(f.p.pixels_per_line) * f.samples;
    if (f.p.depth == 1) {
        // Line art: a set bit is black.
        for (std::size_t x = 0; x < count; ++x) out[x * stride] = (line[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    } else if (f.p.depth == 8) {
        if (stride == 1) std::copy_n(line, count, out);
        else for (std::size_t s = 0; s < count; ++s) out[s * stride] = line[s];
    } else {
        // 16-bit samples in the machine's byte order: keep the high byte.
        for (std::size_t s = 0; s < count; ++s) {
            std::uint16_t wide = 0;
            std::memcpy(&wide, line + 2 * s, 2);
            out[s * stride] = static_cast<std::uint8_t>(wide >> 8);
        }
    }
}

}  // namespace

Bitmap Scanner::scan(const std::atomic<bool>& cancel, const Progress& progress) {
    try {
        return scanFrames(cancel, progress);
    } catch (const std::bad_alloc&) {
        fail(ErrorCode::OutOfMemory, kWhere, "there is not enough memory for the scan");
    }
}

Bitmap Scanner::scanFrames(const std::atomic<bool>& cancel, const Progress& progress) {
    SANE_Handle h = handleOf(handle_);
    // However the scan ends, the device is told so it is ready for the next one.
    struct Ending {
        SANE_Handle handle;
        ~Ending() { sane_cancel(handle); }
    } ending{h};

    // The picture's rows: straight in the bitmap when the device announces its height, else in
    // a buffer that grows line by line up to the limit and becomes the bitmap at the end.
    Bitmap picture;
    std::vector<std::uint8_t> grown;
    int width = 0, rows = 0, pixelSamples = 1;
    bool knownHeight = false, threePass = false;
    bool seen[3] = {false, false, false};
    int lastPercent = -2;
    const auto report = [&](int percent) {
        if (progress && percent != lastPercent) progress(lastPercent = percent);
    };

    for (int frame = 0;; ++frame) {
        SANE_Status status = sane_start(h);
        if (status != SANE_STATUS_GOOD) failStatus(status, "start");
        SANE_Parameters p{};
        status = sane_get_parameters(h, &p);
        if (status != SANE_STATUS_GOOD) failStatus(status, "parameters");
        const FrameLayout f = layoutOf(p);
        if (frame == 0) {
            threePass = f.channel >= 0;
            width = p.pixels_per_line;
            pixelSamples = threePass ? 3 : f.samples;
            knownHeight = p.lines > 0;
            if (knownHeight) {
                if (static_cast<long long>(width) * p.lines > kMaxPixels) fail(ErrorCode::TooLarge, kWhere, "the scan is too large");
                rows = p.lines;
                picture = Bitmap(width, rows, pixelSamples == 3 ? 24 : 8);
            }
        } else if (f.channel < 0 || seen[f.channel] || p.pixels_per_line != width ||
                   (p.lines > 0 && p.lines != rows)) {
            fail(ErrorCode::Corrupt, kWhere, "the colour passes of the scan do not fit together");
        }
        if (threePass) seen[f.channel] = true;
        const int passes = threePass ? 3 : 1;
        // The first pass of a scan without an announced height sets it for the later ones.
        const bool growing = !knownHeight && frame == 0;
        const std::size_t rowBytes = std::size_t(width) * pixelSamples;
        const int stride = threePass ? 3 : 1;
        const int offset = threePass ? f.channel : 0;
        const auto rowAt = [&](int row) -> std::uint8_t* {
            if (knownHeight) return picture.row(row);
            if (growing) {
                if ((std::size_t(row) + 1) * rowBytes > growthLimit_ || static_cast<long long>(width) * (row + 1) > kMaxPixels)
                    fail(ErrorCode::TooLarge, kWhere,
                         "the device sent more than " + std::to_string(growthLimit_ / (1024 * 1024)) +
                             " MB without saying how long the picture is; the scan was stopped");
                grown.resize((std::size_t(row) + 1) * rowBytes);
            }
            return grown.data() + std::size_t(row) * rowBytes;
        };

        std::vector<SANE_Byte> line(f.lineBytes);
        std::vector<SANE_Byte> buffer(64 * 1024);
        std::size_t filled = 0;
        int row = 0;
        bool ended = false;
        while (!ended && (growing || row < rows)) {
            if (cancel.load()) fail(ErrorCode::Cancelled, kWhere, "scan cancelled");
            SANE_Int got = 0;
            status = sane_read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &got);
            if (status == SANE_STATUS_EOF) break;
            if (status != SANE_STATUS_GOOD) failStatus(status, "read");
            for (SANE_Int k = 0; k < got;) {
                if (!growing && row >= rows) {
                    ended = true;  // a device that sends more than it announced: the rest is ignored
                    break;
                }
                const std::size_t take = std::min(f.lineBytes - filled, std::size_t(got - k));
                std::copy_n(buffer.data() + k, take, line.data() + filled);
                filled += take;
                k += static_cast<SANE_Int>(take);
                if (filled < f.lineBytes) continue;
                convertLine(f, line.data(), rowAt(row) + offset, stride);
                filled = 0;
                ++row;
                // Without an announced height there is no share to show until the first pass ends.
                if (!growing) report(static_cast<int>((frame * 100LL + row * 100LL / rows) / passes));
                else report(-1);
            }
        }
        if (growing) {
            if (row == 0) fail(ErrorCode::Truncated, kWhere, "the device delivered no lines");
            rows = row;
        }
        if (row < rows)
            fail(ErrorCode::Truncated, kWhere,
                 "the device delivered " + std::to_string(row) + " of the " + std::to_string(rows) + " lines it announced");
        if (!threePass || p.last_frame || (seen[0] && seen[1] && seen[2])) {
            if (threePass && !(seen[0] && seen[1] && seen[2]))
                fail(ErrorCode::Corrupt, kWhere, "the device ended the scan before all three colours");
            break;
        }
        if (frame >= 2) fail(ErrorCode::Corrupt, kWhere, "the colour passes of the scan do not fit together");
    }

    if (!knownHeight) {
        picture = Bitmap(width, rows, pixelSamples == 3 ? 24 : 8);
        const std::size_t rowBytes = std::size_t(width) * pixelSamples;
        for (int y = 0; y < rows; ++y) std::copy_n(grown.data() + std::size_t(y) * rowBytes, rowBytes, picture.row(y));
    }
    if (pixelSamples == 1)
        for (int i = 0; i < 256; ++i) picture.palette()[static_cast<std::size_t>(i)] = makeRgb(i, i, i);
    report(100);
    return picture;
}

}  // namespace imaging::scan
