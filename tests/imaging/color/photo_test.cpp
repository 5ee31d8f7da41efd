// Quality on the committed small photograph (generated, with ramps, texture and noise).
// Floors sit a little under what the quantiser reaches, so a regression shows.

#include <gtest/gtest.h>

#include "codecs/registry.h"
#include "color/colorres.h"
#include "quality/quality.h"
#include "test_data.h"

using namespace imaging;

namespace {

const Bitmap& photo() {
    static const Bitmap bmp = loadFile(kalmira::testing::testDataDir() + "/color/photo_256x192.png").first();
    return bmp;
}

struct QualityCase {
    const char* name;
    int bits, kind, dither, colors;
    double floor;
};

class PhotoQuality : public ::testing::TestWithParam<QualityCase> {};

TEST_P(PhotoQuality, ReachesTheFloor) {
    const QualityCase& c = GetParam();
    ASSERT_EQ(photo().bits(), 24);
    const Bitmap out = colorRes(photo(), c.bits, c.kind, c.dither, c.colors);
    EXPECT_LE(out.uniqueColorCount(), c.colors > 0 ? c.colors : 1 << c.bits);
    EXPECT_GE(psnrRgb(photo(), out), c.floor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhotoQuality,
    ::testing::Values(QualityCase{"optimised256", 8, palette_kind::Optimized, dither_code::None, 0, 41.3},
                      QualityCase{"optimised16", 4, palette_kind::Optimized, dither_code::None, 16, 28.2},
                      QualityCase{"optimised100", 8, palette_kind::Optimized, dither_code::None, 100, 37.0},
                      QualityCase{"floyd256", 8, palette_kind::Optimized, dither_code::FloydSteinberg, 0, 39.0},
                      QualityCase{"ordered16", 4, palette_kind::Optimized, dither_code::Ordered, 0, 25.0},
                      QualityCase{"fixed256", 8, palette_kind::Fixed, dither_code::None, 0, 22.0},
                      QualityCase{"netscape", 8, palette_kind::Netscape, dither_code::None, 0, 24.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhotoQuality, OptimisedBeatsTheFixedPalettes) {
    const double optimized = psnrRgb(photo(), colorRes(photo(), 8, palette_kind::Optimized, dither_code::None, 0));
    for (int kind : {palette_kind::Fixed, palette_kind::Netscape, palette_kind::Windows})
        EXPECT_GT(optimized, psnrRgb(photo(), colorRes(photo(), 8, kind, dither_code::None, 0)) + 8.0) << kind;
}

}  // namespace
