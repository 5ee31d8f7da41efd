// The filter previews' shrunk picture: known averages on tiny pictures, both sides of the size
// at which a picture is shrunk, and the scale the previews' window and tile sizes follow.
#include <gtest/gtest.h>

#include "core/bitmap.h"
#include "ops/preview.h"

using namespace imaging;
using imaging::ops::PreviewImage;

namespace {

// A 24-bit picture of grey values, row by row.
Bitmap grey(int width, int height, std::initializer_list<int> values) {
    Bitmap b(width, height, 24);
    auto v = values.begin();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, ++v) b.setPixel(x, y, makeRgb(*v, *v, *v));
    return b;
}

std::vector<int> reds(const Bitmap& b) {
    std::vector<int> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out.push_back(redOf(b.pixel(x, y)));
    return out;
}

}  // namespace

TEST(PreviewImage, ShrinksToKnownAverages) {
    struct Case {
        const char* name;
        Bitmap source;
        int maxWidth, maxHeight;
        int width, height;
        std::vector<int> expected;
    } cases[] = {
        // Halves round up: (0 + 1) / 2 is 1.
        {"2x1 of 0 and 1", grey(2, 1, {0, 1}), 1, 1, 1, 1, {1}},
        {"2x1 of 0 and 2", grey(2, 1, {0, 2}), 1, 1, 1, 1, {1}},
        {"2x1 of 254 and 255", grey(2, 1, {254, 255}), 1, 5, 1, 1, {255}},
        // Every source pixel counts once: a 4 x 2 into 2 x 1 averages blocks of four.
        {"4x2 into 2x1", grey(4, 2, {0, 10, 100, 200, 20, 30, 50, 50}), 2, 1, 2, 1, {15, 100}},
        // Uneven: of three columns into two, the first preview pixel takes two, the second one.
        {"3x1 into 2x1", grey(3, 1, {10, 20, 250}), 2, 1, 2, 1, {15, 250}},
        // The height limits: 2 x 4 into at most 1 high is 1 x 1 (never wider than it fits).
        {"2x4 into height 2", grey(2, 4, {0, 0, 8, 8, 100, 100, 200, 200}), 10, 2, 1, 2, {4, 150}},
        // A size of 1.71 rows rounds to 2: three rows into two, the second taking two.
        {"7x3 into 4x4", grey(7, 3, {0, 0, 0, 0, 0, 0, 0, 100, 100, 100, 100, 100, 100, 100, 200, 200, 200, 200, 200, 200, 200}),
         4, 4, 4, 2, {0, 0, 0, 0, 150, 150, 150, 150}},
        // Exactly the size allowed, and smaller: kept as they are.
        {"2x2 into 2x2", grey(2, 2, {1, 2, 3, 4}), 2, 2, 2, 2, {1, 2, 3, 4}},
        {"2x2 into 100x100", grey(2, 2, {1, 2, 3, 4}), 100, 100, 2, 2, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        const PreviewImage preview(c.source, c.maxWidth, c.maxHeight);
        ASSERT_EQ(preview.before().width(), c.width) << c.name;
        ASSERT_EQ(preview.before().height(), c.height) << c.name;
        EXPECT_EQ(preview.before().bits(), 24) << c.name;
        EXPECT_EQ(reds(preview.before()), c.expected) << c.name;
        EXPECT_DOUBLE_EQ(preview.scale(), double(c.width) / c.source.width()) << c.name;
    }
}

TEST(PreviewImage, OneChannelDoesNotLeakIntoAnother) {
    Bitmap b(2, 1, 24);
    b.setPixel(0, 0, makeRgb(10, 0, 255));
    b.setPixel(1, 0, makeRgb(20, 101, 0));
    const PreviewImage preview(b, 1, 1);
    EXPECT_EQ(preview.before().pixel(0, 0), makeRgb(15, 51, 128));
}

TEST(PreviewImage, PaletteAndAlphaPicturesShrinkTheirColours) {
    Bitmap indexed(2, 1, 8);
    indexed.palette()[3] = makeRgb(100, 0, 0);
    indexed.palette()[4] = makeRgb(200, 50, 10);
    indexed.setPixel(0, 0, 3);
    indexed.setPixel(1, 0, 4);
    EXPECT_EQ(PreviewImage(indexed, 1, 1).before().pixel(0, 0), makeRgb(150, 25, 5));
    // Kept at its size, a palette picture still becomes 24 bits with the same colours.
    const PreviewImage same(indexed, 2, 1);
    EXPECT_EQ(same.before().bits(), 24);
    EXPECT_EQ(same.before().pixel(1, 0), makeRgb(200, 50, 10));
}

TEST(PreviewImage, SizesOnThePreviewFollowItsScale) {
    const PreviewImage half(grey(8, 4, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 4, 4);
    EXPECT_DOUBLE_EQ(half.scale(), 0.5);
    EXPECT_EQ(half.scaledSize(10), 5);
    EXPECT_EQ(half.scaledSize(3), 2);  // 1.5 rounds away from zero
    EXPECT_EQ(half.scaledSize(1), 1);  // never below the minimum
    EXPECT_EQ(half.scaledSize(1, 3), 3);
    const PreviewImage whole(grey(2, 1, {5, 6}), 10, 10);
    EXPECT_EQ(whole.scaledSize(7), 7);
    EXPECT_TRUE(PreviewImage(Bitmap(), 10, 10).empty());
}

TEST(PreviewImage, RenderRunsTheOperationOnTheShrunkPicture) {
    const PreviewImage preview(grey(4, 2, {0, 10, 100, 200, 20, 30, 50, 50}), 2, 1);
    const Bitmap inverted = preview.render("Invert", {});
    EXPECT_EQ(reds(inverted), (std::vector<int>{240, 155}));
    // The preview itself is left as it was for the next change of a slider.
    EXPECT_EQ(reds(preview.before()), (std::vector<int>{15, 100}));
}
