#include <gtest/gtest.h>

#include <set>

#include "core/error.h"
#include "core/image.h"
#include "ops/operation_table.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

TEST(OperationTable, ListsTheTwentySevenOperationsOnce) {
    std::set<std::string_view> names;
    for (const OperationInfo& op : operations()) names.insert(op.name);
    EXPECT_EQ(operations().size(), 27u);
    EXPECT_EQ(names.size(), 27u);
    for (const char* n : {"Size", "Trim", "Intensity", "GammaCorrect", "Contrast", "HistoContrast", "StretchIntensity",
                          "Invert", "Hue", "Saturation", "HistoEqualize", "Fill", "Halftone", "Sharpen", "Posterize",
                          "Mosaic", "Emboss", "Average", "Oilify", "Median", "AddNoise", "IntensityDetect",
                          "SpatialFilter", "Rotate", "Shear", "Reverse", "Flip"})
        EXPECT_NE(findOperation(n), nullptr) << n;
    EXPECT_EQ(findOperation("invert"), nullptr);
}

TEST(OperationTable, EveryOperationRunsOnEveryDepth) {
    // Smoke over the whole table: each operation with typical arguments on each depth must
    // leave a valid bitmap (the sanitizer build turns any stray access into a failure).
    const std::vector<std::pair<std::string, std::vector<long>>> calls = {
        {"Size", {7, 3, 2}}, {"Size", {2, 9, 0}}, {"Trim", {1, 1, 3, 2}}, {"Intensity", {-300}},
        {"GammaCorrect", {50}}, {"Contrast", {300}}, {"HistoContrast", {500}}, {"StretchIntensity", {}},
        {"Invert", {}}, {"Hue", {-45}}, {"Saturation", {700}}, {"HistoEqualize", {}}, {"Fill", {0x123456}},
        {"Halftone", {1, 4500}}, {"Sharpen", {-400}}, {"Posterize", {5}}, {"Mosaic", {3}}, {"Emboss", {7, 300}},
        {"Average", {4}}, {"Oilify", {5}}, {"Median", {6}}, {"AddNoise", {500, 0}}, {"IntensityDetect", {20, 90}},
        {"SpatialFilter", {24}}, {"SpatialFilter", {32}}, {"Rotate", {3333, 1, 0xFF}}, {"Rotate", {-12000, 0, 0}},
        {"Shear", {-3000, 0, 0x00FF00}}, {"Reverse", {}}, {"Flip", {}}};
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (const auto& [name, args] : calls) {
            Bitmap b = noiseImage(5, 4).toRgb24();
            if (bits != 24) {
                Bitmap d(5, 4, bits);
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 5; ++x)
                        d.setPixel(x, y, bits <= 8 ? static_cast<std::uint32_t>((x * 7 + y) % (1 << bits)) : b.pixel(x, y));
                b = d;
            }
            ASSERT_NO_THROW(applyNamedOperation(b, name, args)) << name << " at " << bits;
            EXPECT_FALSE(b.empty());
            EXPECT_TRUE(b.bits() == bits || b.bits() == 24) << name << " at " << bits << " gave " << b.bits();
            EXPECT_EQ(b.data().size(), static_cast<std::size_t>(b.width()) * b.height() * b.bytesPerPixel());
        }
}

TEST(OperationTable, ArgumentsAreCheckedAndDefaultsFilled) {
    Bitmap b = greyImage({{1, 2}, {3, 4}});
    EXPECT_THROW(applyNamedOperation(b, "Nope", {}), Error);
    EXPECT_THROW(applyNamedOperation(b, "Invert", {1}), Error);
    EXPECT_THROW(applyNamedOperation(b, "Size", {4}), Error);
    EXPECT_THROW(applyNamedOperation(b, "Size", {4, 4, 2, 9}), Error);
    applyNamedOperation(b, "Rotate", {9000});  // enlarge and black fill by default
    EXPECT_EQ(greys(b), (std::vector<int>{3, 1, 4, 2}));
    Bitmap empty;
    try {
        applyNamedOperation(empty, "Invert", {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::NoImage);
    }
}

TEST(OperationTable, ImagesRunColourOnEveryFrameAndRefuseAnimatedGeometry) {
    Image image = Image::fromBitmap(greyImage({{10}}));
    image.frames.push_back(Frame{greyImage({{20}})});
    applyNamedOperation(image, "Invert", {});
    EXPECT_EQ(greys(image.frames[0].bitmap), std::vector<int>{245});
    EXPECT_EQ(greys(image.frames[1].bitmap), std::vector<int>{235});
    try {
        applyNamedOperation(image, "Flip", {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Unsupported);
    }
}

}  // namespace
