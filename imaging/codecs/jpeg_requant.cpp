#include "codecs/jpeg_requant.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_support.h"

// The transform is caught through libjpeg's forward-DCT hook, whose declaration lives in the
// library's internal header (Debian installs it). Everything before the transform (colour
// conversion, subsampling, edge replication) therefore stays libjpeg's own, so the samples are
// the ones a plain write transforms. If a library version ever calls the hook differently the
// capture notices and refuses, and callers fall back to plain writes.
#include <jpegint.h>

namespace imaging {

namespace {

constexpr int kBlock = 64;

// ---- the accurate integer forward DCT -----------------------------------------------------
// libjpeg's default method (JDCT_ISLOW), whose SIMD versions give the same integers as this
// plain one: a separable fast transform in 13-bit fixed point (twelve multiplications), rows
// first with two extra bits kept, output scaled by 8.
constexpr int kConstBits = 13, kPass1Bits = 2;
constexpr std::int32_t k0_298631336 = 2446, k0_390180644 = 3196, k0_541196100 = 4433, k0_765366865 = 6270,
                       k0_899976223 = 7373, k1_175875602 = 9633, k1_501321110 = 12299, k1_847759065 = 15137,
                       k1_961570560 = 16069, k2_053119869 = 16819, k2_562915447 = 20995, k3_072711026 = 25172;

constexpr std::int32_t descale(std::int32_t x, int n) { return (x + (1 << (n - 1))) >> n; }

// One 1-D pass over eight lanes at once: in[k][lane] is input k of the lane's transform,
// out[k][lane] its output k. Rows keep two extra bits, columns remove them. Lanes make the
// loops vectorise; the arithmetic per lane is the library's.
#if defined(__GNUC__)
#define KALMIRA_INLINE [[gnu::always_inline]] inline
#else
#define KALMIRA_INLINE inline
#endif

template <bool Rows, int Lanes>
KALMIRA_INLINE void transformLanes(const std::int32_t (&in)[8][Lanes], std::int32_t (&out)[8][Lanes]) {
    constexpr int mulShift = Rows ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
    for (int l = 0; l < Lanes; ++l) {
        const std::int32_t tmp0 = in[0][l] + in[7][l], tmp7 = in[0][l] - in[7][l];
        const std::int32_t tmp1 = in[1][l] + in[6][l], tmp6 = in[1][l] - in[6][l];
        const std::int32_t tmp2 = in[2][l] + in[5][l], tmp5 = in[2][l] - in[5][l];
        const std::int32_t tmp3 = in[3][l] + in[4][l], tmp4 = in[3][l] - in[4][l];
        const std::int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
        if constexpr (Rows) {
            out[0][l] = (tmp10 + tmp11) * (1 << kPass1Bits);
            out[4][l] = (tmp10 - tmp11) * (1 << kPass1Bits);
        } else {
            out[0][l] = descale(tmp10 + tmp11, kPass1Bits);
            out[4][l] = descale(tmp10 - tmp11, kPass1Bits);
        }
        const std::int32_t e = (tmp12 + tmp13) * k0_541196100;
        out[2][l] = descale(e + tmp13 * k0_765366865, mulShift);
        out[6][l] = descale(e - tmp12 * k1_847759065, mulShift);
        const std::int32_t z5 = (tmp4 + tmp6 + tmp5 + tmp7) * k1_175875602;
        const std::int32_t z1 = (tmp4 + tmp7) * -k0_899976223, z2 = (tmp5 + tmp6) * -k2_562915447;
        const std::int32_t z3 = (tmp4 + tmp6) * -k1_961570560 + z5, z4 = (tmp5 + tmp7) * -k0_390180644 + z5;
        out[7][l] = descale(tmp4 * k0_298631336 + z1 + z3, mulShift);
        out[5][l] = descale(tmp5 * k2_053119869 + z2 + z4, mulShift);
        out[3][l] = descale(tmp6 * k3_072711026 + z2 + z3, mulShift);
        out[1][l] = descale(tmp7 * k1_501321110 + z1 + z4, mulShift);
    }
}

// Wide vector units run the lanes two or four times as fast; the loader picks the version the
// processor has, and every version computes the same integers.
#if defined(__GNUC__) && defined(__x86_64__)
#define KALMIRA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KALMIRA_VECTOR_CLONES
#endif

KALMIRA_INLINE void forwardDct(JSAMPROW const* rows, JDIMENSION column, std::int16_t* out) {
    // Rows one at a time (a row's values sit side by side, no lanes to spread them over), then
    // the columns eight lanes wide straight from the rows' output: mid[y][u] is horizontal
    // frequency u of row y, res[v][u] the coefficient in natural order v * 8 + u.
    std::int32_t mid[8][8], res[8][8];
    for (int y = 0; y < 8; ++y) {
        const JSAMPLE* s = rows[y] + column;
        std::int32_t in[8][1], o[8][1];
        for (int x = 0; x < 8; ++x) in[x][0] = static_cast<std::int32_t>(s[x]) - CENTERJSAMPLE;
        transformLanes<true, 1>(in, o);
        for (int u = 0; u < 8; ++u) mid[y][u] = o[u][0];
    }
    transformLanes<false, 8>(mid, res);
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) out[v * 8 + u] = static_cast<std::int16_t>(res[v][u]);
}

KALMIRA_VECTOR_CLONES void forwardDctRow(JSAMPROW const* rows, JDIMENSION column, JDIMENSION count, std::int16_t* out) {
    for (JDIMENSION b = 0; b < count; ++b) forwardDct(rows, column + b * 8, out + b * kBlock);
}

// ---- libjpeg's quantiser --------------------------------------------------------------------
// libjpeg divides by a reciprocal rather than by the step: (|x| + correction) * reciprocal
// >> shift, with the correction nudged so the result is the rounded quotient wherever the
// reciprocal alone would miss it. Reproducing its arithmetic, not plain rounding, is what makes
// the coefficients, and so the files, identical. The shift is done as a second high-half
// multiply, as libjpeg's SIMD code does, so the loop stays in 16-bit lanes and vectorises.
struct Divisors {
    std::uint16_t reciprocal[kBlock], correction[kBlock], scale[kBlock];
};

Divisors divisorsFor(const JQUANT_TBL& table) {
    Divisors d;
    for (int i = 0; i < kBlock; ++i) {
        const std::uint32_t divisor = static_cast<std::uint32_t>(table.quantval[i]) << 3;  // the DCT's scale of 8
        int r = 16 + std::bit_width(divisor) - 1;
        std::uint32_t fq = (1u << r) / divisor;
        const std::uint32_t fr = (1u << r) % divisor;
        std::uint32_t c = divisor / 2;
        if (fr == 0) {
            fq >>= 1;
            --r;
        } else if (fr <= divisor / 2) {
            ++c;
        } else {
            ++fq;
        }
        // divisor >= 8 keeps r in 18..26: every value fits 16 bits.
        d.reciprocal[i] = static_cast<std::uint16_t>(fq);
        d.correction[i] = static_cast<std::uint16_t>(c);
        d.scale[i] = static_cast<std::uint16_t>(1u << (32 - r));
    }
    return d;
}

// |x| + correction stays below 2^16: 8-bit samples keep the transform's output within 8 x 1024.
KALMIRA_INLINE void quantizeBlock(const std::int16_t* raw, JCOEF* out, const Divisors& d) {
    for (int i = 0; i < kBlock; ++i) {
        const std::int16_t x = raw[i];
        const auto a = static_cast<std::uint16_t>(x < 0 ? -x : x);
        const auto t = static_cast<std::uint16_t>(a + d.correction[i]);
        const auto high = static_cast<std::uint16_t>((static_cast<std::uint32_t>(t) * d.reciprocal[i]) >> 16);
        const auto q = static_cast<std::int16_t>((static_cast<std::uint32_t>(high) * d.scale[i]) >> 16);
        out[i] = static_cast<JCOEF>(x < 0 ? -q : q);
    }
}

KALMIRA_VECTOR_CLONES void quantizeRow(const std::int16_t* raw, JBLOCKROW out, int count, const Divisors& d) {
    for (int b = 0; b < count; ++b) quantizeBlock(raw + static_cast<std::ptrdiff_t>(b) * kBlock, out[b], d);
}

inline int quantize(std::int16_t x, const Divisors& d, int i) {
    const auto a = static_cast<std::uint32_t>(x < 0 ? -x : x);
    const auto high = ((a + d.correction[i]) * d.reciprocal[i]) >> 16;
    const auto q = static_cast<int>((high * d.scale[i]) >> 16);
    return x < 0 ? -q : q;
}

int roundUp(int v, int m) { return (v + m - 1) / m * m; }

// ---- catching the transform ---------------------------------------------------------------
struct Capture {
    struct Plane {
        int widthInBlocks = 0, heightInBlocks = 0, rowsPerMcuRow = 1;
        std::size_t captured = 0;
        std::int16_t* raw = nullptr;
    };
    Plane planes[MAX_COMPONENTS];
    int mcuRow = -1;
    bool unexpected = false;
};

// Stands in for libjpeg's transform. Run without optimised tables and with one scan, libjpeg
// codes each MCU as soon as it is transformed and keeps no whole-picture buffer; it hands over
// the blocks of one MCU row at a time, component 0's first call at the row's top left, and
// positions within the row. Anything outside the picture marks the capture unusable, as does a
// count that misses a block. libjpeg gets zeroed blocks (it copies DC values between them), never coded.
void captureBlocks(j_compress_ptr info, jpeg_component_info* comp, JSAMPARRAY samples, JBLOCKROW blocks,
                   JDIMENSION startRow, JDIMENSION startCol, JDIMENSION count) {
    auto* capture = static_cast<Capture*>(info->client_data);
    std::memset(static_cast<void*>(blocks), 0, sizeof(JBLOCK) * count);
    const int index = comp->component_index;
    if (index < 0 || index >= info->num_components || startRow % 8 != 0 || startCol % 8 != 0) {
        capture->unexpected = true;
        return;
    }
    if (index == 0 && startRow == 0 && startCol == 0) ++capture->mcuRow;
    Capture::Plane& p = capture->planes[index];
    const long long row = static_cast<long long>(capture->mcuRow) * p.rowsPerMcuRow + startRow / 8;
    const long long column = startCol / 8;
    if (capture->mcuRow < 0 || row >= p.heightInBlocks || column + count > static_cast<unsigned>(p.widthInBlocks)) {
        capture->unexpected = true;
        return;
    }
    JSAMPROW rows[8];
    for (int y = 0; y < 8; ++y) rows[y] = samples[startRow + static_cast<JDIMENSION>(y)];
    std::int16_t* out = p.raw + (static_cast<std::size_t>(row) * static_cast<std::size_t>(p.widthInBlocks) +
                                 static_cast<std::size_t>(column)) * kBlock;
    forwardDctRow(rows, startCol, count, out);
    p.captured += count;
}

// The MCU row a sample takes as its m-th: one in every `step`, at a phase that cycles through
// the step, so no structure repeating every few rows (the blocks of an earlier JPEG encode,
// say) lines up with the sample.
int sampledMcuRow(int m, int step) { return m * step + m % step; }

int sampledMcuRows(int whole, int step) {
    int count = 0;
    while (sampledMcuRow(count, step) < whole) ++count;
    return count;
}

// The capture keeps everything it needs; libjpeg's coding of the zeroed blocks is skipped.
boolean skipCoding(j_compress_ptr, JBLOCKROW*) { return TRUE; }

// Sets up a compressor as a write with `options` at `qualityFactor` does: libjpeg's own set-up,
// and for the size-optimising encoder the tuned tables at libjpeg's scaling for that quality.
void configureFor(jpeg_compress_struct& info, SaveOptions options, const jpeg::EncoderTuning& tuning, int qualityFactor,
                  int width, int height, int space, int components) {
    options.qualityFactor = qualityFactor;
    jpeg::configure(info, width, height, static_cast<J_COLOR_SPACE>(space), components, options);
    if (options.fastJpeg) return;
    const int scale = jpeg_quality_scaling(JpegCodec::libjpegQuality(qualityFactor));
    jpeg_add_quant_table(&info, 0, jpeg::baseTable(tuning.tableSet, 0), scale, TRUE);
    jpeg_add_quant_table(&info, 1, jpeg::baseTable(tuning.tableSet, 1), scale, TRUE);
}

// The quantisation tables a write with the options at `qualityFactor` uses.
void tablesFor(const SaveOptions& options, const jpeg::EncoderTuning& tuning, int width, int height, J_COLOR_SPACE space,
               int components, JQUANT_TBL (&tables)[NUM_QUANT_TBLS], int (&tableOf)[MAX_COMPONENTS]) {
    jpeg::Compressor c;
    c.run([&] {
        jpeg_create_compress(&c.info);
        configureFor(c.info, options, tuning, options.qualityFactor, width, height, space, components);
        for (int t = 0; t < NUM_QUANT_TBLS; ++t)
            if (c.info.quant_tbl_ptrs[t]) tables[t] = *c.info.quant_tbl_ptrs[t];
        for (int i = 0; i < c.info.num_components && i < MAX_COMPONENTS; ++i) tableOf[i] = c.info.comp_info[i].quant_tbl_no;
    });
}

}  // namespace

// libjpeg's writer takes coefficient arrays from any object's memory manager (held in memory,
// as they are here). Allocating them once for all trials spares every trial the page faults of
// a fresh picture-sized block.
struct JpegRequantizer::Store {
    jpeg::Compressor owner;
    jvirt_barray_ptr arrays[MAX_COMPONENTS] = {};
};

JpegRequantizer::~JpegRequantizer() = default;

JpegRequantizer::JpegRequantizer(const Bitmap& bitmap, const SaveOptions& options) : options_(options) {
    // The transform's input depends on the colour space and sampling alone, not on quality,
    // scans or Huffman tables.
    SaveOptions prepare = options;
    prepare.qualityFactor = 2;
    prepare.passes = 0;
    jpeg::RowSource source = jpeg::checkedSource(bitmap, prepare);
    width_ = source.bitmap->width();
    height_ = source.bitmap->height();
    inSpace_ = source.space;
    inComponents_ = source.components;

    Bytes header;
    jpeg::VectorDestination dest(header, 4096);
    jpeg::Compressor c;
    Capture capture;
    c.run([&] {
        jpeg_create_compress(&c.info);
        c.info.dest = &dest.pub;
        jpeg::configure(c.info, width_, height_, source.space, source.components, prepare);
        c.info.optimize_coding = FALSE;
        jpeg_start_compress(&c.info, TRUE);
        planes_.resize(static_cast<std::size_t>(c.info.num_components));
        for (int i = 0; i < c.info.num_components; ++i) {
            const jpeg_component_info& comp = c.info.comp_info[i];
            Plane& p = planes_[static_cast<std::size_t>(i)];
            p.component = i;
            p.widthInBlocks = static_cast<int>(comp.width_in_blocks);
            p.heightInBlocks = static_cast<int>(comp.height_in_blocks);
            p.sampling[0] = comp.h_samp_factor;
            p.sampling[1] = comp.v_samp_factor;
            p.table = comp.quant_tbl_no;
            // Every block is written by the capture (which checks that), so nothing is cleared.
            p.blocks = static_cast<std::size_t>(p.widthInBlocks) * static_cast<std::size_t>(p.heightInBlocks);
            p.raw = std::make_unique_for_overwrite<std::int16_t[]>(p.blocks * kBlock);
            capture.planes[i] = {p.widthInBlocks, p.heightInBlocks, comp.v_samp_factor, 0, p.raw.get()};
        }
        c.info.client_data = &capture;
        c.info.fdct->forward_DCT = captureBlocks;
        c.info.entropy->encode_mcu = skipCoding;
        jpeg::writeRows(c.info, source);
        jpeg_abort_compress(&c.info);
    });
    for (const Plane& p : planes_)
        if (capture.planes[p.component].captured != p.blocks) capture.unexpected = true;
    if (capture.unexpected) fail(ErrorCode::Unsupported, jpeg::kWhere, "this libjpeg transforms in an unexpected order");

    store_ = std::make_unique<Store>();
    Store& store = *store_;
    store.owner.run([&] {
        jpeg_create_compress(&store.owner.info);
        auto common = reinterpret_cast<j_common_ptr>(&store.owner.info);
        for (const Plane& p : planes_)
            store.arrays[p.component] = store.owner.info.mem->request_virt_barray(
                common, JPOOL_IMAGE, FALSE, static_cast<JDIMENSION>(roundUp(p.widthInBlocks, p.sampling[0])),
                static_cast<JDIMENSION>(roundUp(p.heightInBlocks, p.sampling[1])), static_cast<JDIMENSION>(p.sampling[1]));
        store.owner.info.mem->realize_virt_arrays(common);
    });
}

Bytes JpegRequantizer::encode(int qualityFactor, std::size_t expectedSize) const {
    return encodeRows(qualityFactor, 1, expectedSize);
}

double JpegRequantizer::sampledEntropyBytes(int qualityFactor, std::size_t& header) const {
    const int mcuHeight = 8 * std::max_element(planes_.begin(), planes_.end(), [](const Plane& a, const Plane& b) {
                                   return a.sampling[1] < b.sampling[1];
                               })->sampling[1];
    const int whole = height_ / mcuHeight;  // MCU rows not cut by the bottom edge
    // One row in eight, but at least 16 rows so a short picture's sample still sees its content;
    // a sample of half the picture or more would cost as much as the real thing.
    const int step = std::min(8, whole / 16);
    if (step < 2) return 0;
    const Bytes sample = encodeRows(qualityFactor, step, 0);
    header = headerBytes(sample);
    const double rows = sampledMcuRows(whole, step);
    return static_cast<double>(sample.size() - header) * height_ / (rows * mcuHeight);
}

std::size_t JpegRequantizer::headerBytes(ByteView jpeg) {
    // Entropy-coded data follows each scan header and runs to the next marker; 0xFF 0x00 and
    // restart markers belong to it.
    std::size_t coded = 0, pos = 2;
    const std::size_t size = jpeg.size();
    while (pos + 4 <= size) {
        if (jpeg[pos] != 0xFF) break;
        const int marker = jpeg[pos + 1];
        if (marker == 0xD9) break;
        pos += 2 + (static_cast<std::size_t>(jpeg[pos + 2]) << 8 | jpeg[pos + 3]);
        if (marker != 0xDA) continue;
        const std::size_t start = pos;
        while (pos + 1 < size && !(jpeg[pos] == 0xFF && jpeg[pos + 1] != 0 && (jpeg[pos + 1] < 0xD0 || jpeg[pos + 1] > 0xD7)))
            ++pos;
        coded += pos - start;
    }
    return size - std::min(coded, size);
}

struct JpegRequantizer::Tables {
    int qualityFactor = 0;
    JQUANT_TBL quant[MAX_COMPONENTS] = {};  // each component's table
};

JpegRequantizer::Tables JpegRequantizer::tablesAt(int qualityFactor) const {
    if (qualityFactor < 2 || qualityFactor > 255)
        fail(ErrorCode::InvalidArgument, jpeg::kWhere, "quality factor " + std::to_string(qualityFactor) + " is outside 2..255");
    Tables t;
    t.qualityFactor = qualityFactor;
    jpeg::Compressor c;
    c.run([&] {
        jpeg_create_compress(&c.info);
        configureFor(c.info, options_, tuning_, qualityFactor, width_, height_, inSpace_, inComponents_);
        for (const Plane& p : planes_) t.quant[p.component] = *c.info.quant_tbl_ptrs[c.info.comp_info[p.component].quant_tbl_no];
    });
    return t;
}

void JpegRequantizer::quantizeIntoStore(const Tables& tables, int step, int mcuRows) const {
    auto common = reinterpret_cast<j_common_ptr>(&store_->owner.info);
    jpeg_memory_mgr* mem = store_->owner.info.mem;
    // The store's row `row` of plane `p` takes the raw row this returns.
    auto sourceRow = [&](const Plane& p, int row) {
        const int from = step > 1 ? sampledMcuRow(row / p.sampling[1], step) * p.sampling[1] + row % p.sampling[1] : row;
        return p.raw.get() + static_cast<std::size_t>(from) * static_cast<std::size_t>(p.widthInBlocks) * kBlock;
    };
    auto rowsOf = [&](const Plane& p) { return step > 1 ? mcuRows * p.sampling[1] : p.heightInBlocks; };
    const bool trellis = !options_.fastJpeg && tuning_.trellisRounds > 0;

    // The code lengths the trellis weighs bits by come from the picture's own statistics: first
    // of plain rounding, then (further rounds) of the trellis's own choice, on every fourth row
    // of blocks. Luminance and chrominance have Huffman tables of their own.
    jpeg::RateModel rates[2] = {};
    float inverseSteps[MAX_COMPONENTS][kBlock];
    for (const Plane& p : planes_)
        for (int i = 0; i < kBlock; ++i)
            inverseSteps[p.component][i] = 1.0f / (8.0f * static_cast<float>(tables.quant[p.component].quantval[i]));
    std::vector<JCOEF> scratch;
    for (int round = 0; trellis && round < tuning_.trellisRounds; ++round) {
        std::uint32_t counts[2][256] = {};
        for (const Plane& p : planes_) {
            const Divisors d = divisorsFor(tables.quant[p.component]);
            const int cls = p.component == 0 ? 0 : 1;
            scratch.resize(static_cast<std::size_t>(p.widthInBlocks) * kBlock);
            auto* blocks = reinterpret_cast<JBLOCKROW>(scratch.data());
            for (int row = 0; row < rowsOf(p); row += 4) {
                const std::int16_t* raw = sourceRow(p, row);
                quantizeRow(raw, blocks, p.widthInBlocks, d);
                for (int b = 0; b < p.widthInBlocks; ++b) {
                    if (round > 0)
                        jpeg::trellisBlock(raw + static_cast<std::ptrdiff_t>(b) * kBlock, blocks[b], inverseSteps[p.component],
                                           rates[cls], tuning_.lambda);
                    jpeg::countSymbols(blocks[b], counts[cls]);
                }
            }
        }
        for (int cls = 0; cls < 2; ++cls) rates[cls] = jpeg::rateFromCounts(counts[cls]);
    }

    for (const Plane& p : planes_) {
        const Divisors d = divisorsFor(tables.quant[p.component]);
        const int rows = rowsOf(p);
        const int cls = p.component == 0 ? 0 : 1;
        for (int row = 0; row < rows; ++row) {
            const std::int16_t* raw = sourceRow(p, row);
            JBLOCKARRAY blocks = mem->access_virt_barray(common, store_->arrays[p.component], static_cast<JDIMENSION>(row), 1, TRUE);
            quantizeRow(raw, blocks[0], p.widthInBlocks, d);
            if (trellis)
                for (int b = 0; b < p.widthInBlocks; ++b)
                    jpeg::trellisBlock(raw + static_cast<std::ptrdiff_t>(b) * kBlock, blocks[0][b], inverseSteps[p.component],
                                       rates[cls], tuning_.lambda);
        }
        // The array is left uncleared (clearing it costs a pass over the picture); the rows
        // that pad a component to whole MCUs are read, so they get zeros. Padding columns
        // are never read: libjpeg makes its own blocks at the right edge.
        for (int row = rows; row < roundUp(rows, p.sampling[1]); ++row) {
            JBLOCKARRAY blocks = mem->access_virt_barray(common, store_->arrays[p.component], static_cast<JDIMENSION>(row), 1, TRUE);
            std::memset(static_cast<void*>(blocks[0]), 0, sizeof(JBLOCK) * static_cast<std::size_t>(p.widthInBlocks));
        }
    }
}

Bytes JpegRequantizer::writeStore(const Tables& tables, int height, int split, std::size_t expectedSize) const {
    Bytes out;
    const std::size_t initial = expectedSize ? expectedSize + expectedSize / 8 : static_cast<std::size_t>(width_) * height / 4;
    jpeg::VectorDestination dest(out, std::max<std::size_t>(16384, initial));
    std::vector<jpeg_scan_info> script;
    jpeg::Compressor c;
    c.run([&] {
        jpeg_create_compress(&c.info);
        c.info.dest = &dest.pub;
        configureFor(c.info, options_, tuning_, tables.qualityFactor, width_, height, inSpace_, inComponents_);
        if (split > 0 && options_.passes > 0) {
            script = jpeg::scanScript(options_.passes, options_.bits == 8, split);
            jpeg::useScript(c.info, script);
        }
        // A sample uses the first rows of the arrays: libjpeg reads no further than its height.
        jpeg_write_coefficients(&c.info, store_->arrays);
        jpeg::writeEmbeddedMarkers(c.info, options_);
        jpeg_finish_compress(&c.info);
    });
    return out;
}

Bytes JpegRequantizer::encodeRows(int qualityFactor, int step, std::size_t expectedSize) const {
    const Tables tables = tablesAt(qualityFactor);
    // One MCU row in every `step`, stacked into a shorter picture of whole MCU rows; all of them
    // (and the picture's own height) when step is 1.
    int height = height_;
    int mcuRows = 0, mcuHeight = 8;
    for (const Plane& p : planes_) mcuHeight = std::max(mcuHeight, 8 * p.sampling[1]);
    if (step > 1) {
        mcuRows = sampledMcuRows(height_ / mcuHeight, step);
        height = mcuRows * mcuHeight;
    }
    bool hasSplit = false;
    if (options_.passes > 0) jpeg::scanScript(options_.passes, options_.bits == 8, 0, &hasSplit);
    if (options_.fastJpeg || !tuning_.chooseScanSplit || !hasSplit) {
        quantizeIntoStore(tables, step, mcuRows);
        return writeStore(tables, height, 0, expectedSize);
    }
    // The split between the luminance's low and high AC bands decides how well each band's
    // end-of-band runs code; where it pays depends on the picture, so each usual split is
    // tried and the smallest kept. On a picture of 64 MCU rows or more the trials code one MCU
    // row in four (the choice needs their order, not their sizes), and the whole picture is
    // coded once, with the split they chose.
    constexpr int kSplits[] = {6, 3, 9, 13};
    constexpr int kSampleStep = 4;
    const int wholeRows = height_ / mcuHeight;
    if (step == 1 && wholeRows >= 16 * kSampleStep) {
        const int sampleRows = sampledMcuRows(wholeRows, kSampleStep);
        quantizeIntoStore(tables, kSampleStep, sampleRows);
        int bestSplit = kSplits[0];
        std::size_t bestSize = 0;
        for (int split : kSplits) {
            const std::size_t size = writeStore(tables, sampleRows * mcuHeight, split, 0).size();
            if (bestSize == 0 || size < bestSize) bestSize = size, bestSplit = split;
        }
        quantizeIntoStore(tables, 1, 0);
        return writeStore(tables, height, bestSplit, expectedSize);
    }
    // A small picture, or a sample of rows (whose size must foretell the whole file's, split
    // chosen as the whole file's is): every split on all of it.
    quantizeIntoStore(tables, step, mcuRows);
    Bytes best;
    for (int split : kSplits) {
        Bytes file = writeStore(tables, height, split, expectedSize ? expectedSize : best.size());
        if (best.empty() || file.size() < best.size()) best = std::move(file);
    }
    return best;
}

double JpegRequantizer::estimate(int qualityFactor) const {
    SaveOptions options = options_;
    options.qualityFactor = qualityFactor;
    JQUANT_TBL tables[NUM_QUANT_TBLS] = {};
    int tableOf[MAX_COMPONENTS] = {};
    tablesFor(options, tuning_, width_, height_, static_cast<J_COLOR_SPACE>(inSpace_), inComponents_, tables, tableOf);
    // About 2000 blocks; per non-zero coefficient its magnitude bits and about three bits of
    // Huffman code, per block an end-of-block code and the difference to its left neighbour's DC.
    std::size_t total = 0;
    for (const Plane& p : planes_) total += p.blocks;
    const std::size_t stride = std::max<std::size_t>(1, total / 2000);
    double bits = 0;
    JCOEF q[kBlock];
    // The trellis, where the writer uses it, with the same cost per coefficient as its rates.
    const bool trellis = !options_.fastJpeg && tuning_.trellisRounds > 0;
    jpeg::RateModel rate{};
    for (int symbol = 0; symbol < 256; ++symbol) rate.acBits[symbol] = 3.0f;
    for (const Plane& p : planes_) {
        const Divisors d = divisorsFor(tables[tableOf[p.component]]);
        float inverse[kBlock];
        for (int i = 0; i < kBlock; ++i)
            inverse[i] = 1.0f / (8.0f * static_cast<float>(tables[tableOf[p.component]].quantval[i]));
        const std::size_t blocks = p.blocks;
        for (std::size_t b = 1; b < blocks; b += stride) {
            const std::int16_t* raw = p.raw.get() + b * kBlock;
            const int dcStep = quantize(raw[0], d, 0) - quantize(raw[-kBlock], d, 0);
            int blockBits = 2 + (dcStep == 0 ? 1 : 2 + std::bit_width(static_cast<unsigned>(std::abs(dcStep))));
            quantizeBlock(raw, q, d);
            if (trellis) jpeg::trellisBlock(raw, q, inverse, rate, tuning_.lambda);
            for (int i = 1; i < kBlock; ++i)
                if (q[i] != 0) blockBits += 3 + std::bit_width(static_cast<unsigned>(q[i] < 0 ? -q[i] : q[i]));
            bits += blockBits;
        }
    }
    return bits * static_cast<double>(stride) / 8 + 600;
}

}  // namespace imaging
