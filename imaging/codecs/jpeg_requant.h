#pragma once
// One picture written as JPEG at many qualities for the price of one colour conversion and one
// forward DCT. A quality changes only the quantisation tables, so the transform's raw output is
// kept, quantised again for each quality exactly as libjpeg's own quantiser would, and handed to
// libjpeg's coefficient writer: each file is the one JpegCodec::write makes at that quality, byte
// for byte, at the cost of quantisation and entropy coding alone. The byte budget's search over
// JPEG quality runs on this.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/codec.h"

namespace imaging {

class JpegRequantizer {
public:
    // Converts and transforms the bitmap once, for `options`' format, bits and passes (their
    // quality factor is ignored). Throws what JpegCodec::write throws for them.
    JpegRequantizer(const Bitmap& bitmap, const SaveOptions& options);
    ~JpegRequantizer();
    JpegRequantizer(const JpegRequantizer&) = delete;
    JpegRequantizer& operator=(const JpegRequantizer&) = delete;

    // The file JpegCodec::write makes of the bitmap with the options at `qualityFactor`
    // (2..255). `expectedSize`, when known, saves growing the output. Trials share one
    // coefficient store: one at a time per object.
    Bytes encode(int qualityFactor, std::size_t expectedSize = 0) const;

    // A rough size of that file in bytes, from a sample of the blocks and a simple cost per
    // coefficient; a guide for where to try next, never a size to trust.
    double estimate(int qualityFactor) const;

    // The entropy-coded bytes of the whole file foretold from a real encode of one MCU row in
    // eight (fewer on short pictures), at an eighth of a trial's cost; 0 for pictures too short
    // to sample. `headerBytes` gets the sample's markers and tables, which do not grow with it.
    double sampledEntropyBytes(int qualityFactor, std::size_t& headerBytes) const;

    // The bytes of a file we wrote that are markers and tables, not entropy-coded data.
    static std::size_t headerBytes(ByteView jpeg);

private:
    Bytes encodeRows(int qualityFactor, int step, std::size_t expectedSize) const;

    struct Plane {
        int component = 0;
        int widthInBlocks = 0, heightInBlocks = 0;
        int sampling[2] = {1, 1};   // horizontal, vertical
        int table = 0;               // quantisation table number
        int rowsDone = 0;
        std::size_t blocks = 0;
        std::unique_ptr<std::int16_t[]> raw;  // the transform's output, 64 per block, rows of blocks
    };
    friend struct RequantizerAccess;

    struct Store;  // the quantised coefficients a trial hands to libjpeg, allocated once
    std::unique_ptr<Store> store_;
    int width_ = 0, height_ = 0;
    int inSpace_ = 0, inComponents_ = 0;  // what the rows were handed to libjpeg as
    SaveOptions options_;
    std::vector<Plane> planes_;
};

}  // namespace imaging
