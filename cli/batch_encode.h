#pragma once
// One file of a batch: the picture set up by a profile as a new Variation is in a document
// (rules/keenfit.h), reduced, encoded and decoded again to measure it.

#include "core/codec.h"
#include "rules/optimizeprofile.h"

#include <string>

namespace kalmira::cli {

struct OptimisedFile {
    imaging::Bytes encoded;
    std::string extension;  // "gif", "jpg", or "png" for a transparent picture
    std::string formatName;  // "GIF", "JPEG" or "PNG"
    // The profile's format would have dropped the input's transparency; formatName keeps it.
    bool keptTransparency = false;
    double psnr = 0;        // of the decoded result against the input over RGB; NaN when the sizes differ
};

// What the command line adds to the profile's settings.
struct BatchEncodeOptions {
    bool fastJpeg = false;   // libjpeg's plain JPEG encoder
    double targetSsim = 0;   // > 0: the smallest file of the chosen format with at least this SSIM
};

// Throws imaging::Error for a file the engine cannot read or encode.
OptimisedFile optimiseFile(const imaging::Bytes& data, const OptimizeProfile& profile,
                           const BatchEncodeOptions& encoding = {});

}  // namespace kalmira::cli
