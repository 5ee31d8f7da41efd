#pragma once
// One picture written as JPEG at many qualities for the price of one colour conversion and one
// forward DCT. A quality changes only the quantisation, so the transform's raw output is kept,
// quantised again for each quality and handed to libjpeg's coefficient writer: each file is the
// one JpegCodec::write makes at that quality, byte for byte, at the cost of quantisation and
// entropy coding alone. The byte budget's search over JPEG quality runs on this, and so does
// every JPEG write that is not `fastJpeg`.
//
// Two ways to quantise, as SaveOptions::fastJpeg says:
//  - fast: exactly libjpeg's own quantiser on its standard tables, the file a plain libjpeg
//    write makes;
//  - size-optimising (the default): tables tuned for perceived quality, rate-distortion
//    (trellis) quantisation of the AC coefficients (jpeg_trellis.h), and for progressive files
//    the spectral split of the scan script that gives the smallest file. The user's subsampling,
//    greyscale and number of scans stay as chosen.

#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/jpeg_trellis.h"
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

    // The size-optimising encoder's choices (tables, lambda, rounds): for tuning runs only.
    void setTuning(const jpeg::EncoderTuning& tuning) { tuning_ = tuning; }

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
    struct Tables;
    Tables tablesAt(int qualityFactor) const;
    Bytes encodeRows(int qualityFactor, int step, std::size_t expectedSize) const;
    // Fills the coefficient store for `qualityFactor`; `step` > 1 takes one MCU row in `step`.
    void quantizeIntoStore(const Tables& tables, int step, int mcuRows) const;
    // Entropy-codes the store as a file of `height` rows with the options' scans, their first
    // AC band ending before coefficient `split` (0: as the script has it).
    Bytes writeStore(const Tables& tables, int height, int split, std::size_t expectedSize) const;

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
    jpeg::EncoderTuning tuning_;
    std::vector<Plane> planes_;
};

}  // namespace imaging
