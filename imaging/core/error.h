#pragma once
// The engine's one error type: a numeric code (what callers test) and a message that
// names the codec or operation and the reason (what a person reads).

#include <stdexcept>
#include <string>

#include "core/limits.h"

namespace imaging {

enum class ErrorCode : int {
    Ok = 0,
    FileNotFound = 1,        // the file does not exist or cannot be opened
    ReadFailed = 2,          // an I/O error while reading
    WriteFailed = 3,         // an I/O error while writing (disk full, no permission)
    UnknownFormat = 4,       // no codec recognises the data, or the format number is unknown
    Truncated = 5,           // the data ends before the image does
    Corrupt = 6,             // a header field or the compressed data is inconsistent
    Unsupported = 7,         // a valid file using a feature we do not read or write
    TooLarge = 8,            // dimensions or counts above the engine's caps
    InvalidArgument = 9,     // a caller passed a value outside the documented range
    OutOfMemory = 10,
    NoImage = 11,            // the operation needs a bitmap and there is none
    SizeLimit = 12,          // an encoding outgrew the size limit its caller set
    Stopped = 13,            // the caller asked a long read to stop (a batch after Ctrl+C)
    Cancelled = 20150,       // a dialog of the engine was cancelled
};

class Error : public std::runtime_error {
public:
    Error(ErrorCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ErrorCode code() const noexcept { return code_; }
    int number() const noexcept { return static_cast<int>(code_); }

private:
    ErrorCode code_;
};

// Throws Error with a message of the form "<where>: <reason>".
[[noreturn]] void fail(ErrorCode code, const std::string& where, const std::string& reason);

// Throws TooLarge / Corrupt when width x height is zero, negative or beyond kMaxPixels (core/limits.h).
void checkDimensions(long long width, long long height, const std::string& where);

}  // namespace imaging
