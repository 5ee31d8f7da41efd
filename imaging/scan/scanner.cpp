#include "scan/scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
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

Bitmap Scanner::scan(const std::atomic<bool>& cancel, const Progress& progress) {
    SANE_Handle h = handleOf(handle_);
    // However the scan ends, the device is told so it is ready for the next one.
    struct Ending {
        SANE_Handle handle;
        ~Ending() { sane_cancel(handle); }
    } ending{h};
    SANE_Status status = sane_start(h);
    if (status != SANE_STATUS_GOOD) failStatus(status, "start");
    SANE_Parameters p{};
    status = sane_get_parameters(h, &p);
    if (status != SANE_STATUS_GOOD) failStatus(status, "parameters");
    const bool colour = p.format == SANE_FRAME_RGB;
    if (!colour && p.format != SANE_FRAME_GRAY)
        fail(ErrorCode::Unsupported, kWhere, "three-pass scanning is not supported; choose a single-pass mode");
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) fail(ErrorCode::Unsupported, kWhere, "unsupported sample depth");
    if (p.lines <= 0) fail(ErrorCode::Unsupported, kWhere, "the device does not announce the picture's height");
    const int width = p.pixels_per_line;
    const int height = p.lines;
    const int samples = colour ? 3 : 1;
    const std::size_t needed = p.depth == 1 ? (std::size_t(width) + 7) / 8 : std::size_t(width) * samples * (p.depth / 8);
    if (width <= 0 || p.bytes_per_line <= 0 || std::size_t(p.bytes_per_line) < needed)
        fail(ErrorCode::Corrupt, kWhere, "the device announced an impossible line");
    if (static_cast<long long>(width) * height > kMaxPixels) fail(ErrorCode::TooLarge, kWhere, "the scan is too large");

    Bitmap picture(width, height, colour ? 24 : 8);
    if (!colour) {
        for (int i = 0; i < 256; ++i) picture.palette()[static_cast<std::size_t>(i)] = makeRgb(i, i, i);
    }
    const std::size_t lineBytes = static_cast<std::size_t>(p.bytes_per_line);
    std::vector<SANE_Byte> line(lineBytes);
    std::size_t filled = 0;
    int row = 0;
    std::vector<SANE_Byte> buffer(64 * 1024);
    int lastPercent = -1;
    while (row < height) {
        if (cancel.load()) fail(ErrorCode::Cancelled, kWhere, "scan cancelled");
        SANE_Int got = 0;
        status = sane_read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &got);
        if (status == SANE_STATUS_EOF) break;
        if (status != SANE_STATUS_GOOD) failStatus(status, "read");
        for (SANE_Int k = 0; k < got && row < height;) {
            const std::size_t take = std::min(lineBytes - filled, std::size_t(got - k));
            std::copy_n(buffer.data() + k, take, line.data() + filled);
            filled += take;
            k += static_cast<SANE_Int>(take);
            if (filled < lineBytes) continue;
            std::uint8_t* out = picture.row(row);
            if (p.depth == 1) {
                // Line art: a set bit is black.
                for (int x = 0; x < width; ++x) out[x] = (line[std::size_t(x) / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
            } else if (p.depth == 8) {
                std::copy_n(line.data(), std::size_t(width) * samples, out);
            } else {
                // 16-bit samples in the machine's byte order: keep the high byte.
                const auto* wide = reinterpret_cast<const std::uint16_t*>(line.data());
                for (std::size_t s = 0; s < std::size_t(width) * samples; ++s) out[s] = static_cast<std::uint8_t>(wide[s] >> 8);
            }
            filled = 0;
            ++row;
            const int percent = row * 100 / height;
            if (progress && percent != lastPercent) progress(lastPercent = percent);
        }
    }
    if (row < height)
        fail(ErrorCode::Truncated, kWhere,
             "the device delivered " + std::to_string(row) + " of the " + std::to_string(height) + " lines it announced");
    return picture;
}

}  // namespace imaging::scan
