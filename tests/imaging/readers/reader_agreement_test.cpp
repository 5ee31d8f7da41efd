// The reader collection (tests/data/readers): every file read as its manifest says, its pixels
// equal to what the reference decoder named there shows (libpng, Pillow or ImageMagick), a file
// cut short shown as far as it arrived and marked damaged, a broken one refused with its code.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "codecs/load_notes.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "core/error.h"
#include "test_data.h"

using namespace imaging;

namespace {

const std::string kDir = kalmira::testing::testDataDir() + "/readers/";

struct Entry {
    std::string file, result;
    int code = 0, width = 0, height = 0, frames = 0, tolerance = 0;
    std::string reference;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) { return os << e.file; }

std::vector<Entry> readManifest() {
    std::vector<Entry> list;
    std::ifstream in(kDir + "manifest.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Entry e;
        fields >> e.file >> e.result;
        if (e.result == "error") fields >> e.code;
        else fields >> e.width >> e.height >> e.frames >> e.reference >> e.tolerance;
        list.push_back(e);
    }
    return list;
}

// The first frame as 8-bit RGBA, a transparent colour as alpha 0 and every fully transparent
// pixel as 0 0 0 0, as compare.py stores the references.
Bytes rgbaOf(const Bitmap& bitmap) {
    const Bitmap direct = colorRes(bitmap, 32, 0, 0, 0);
    Bytes out(direct.data().begin(), direct.data().end());
    for (std::size_t i = 0; i + 3 < out.size(); i += 4)
        if (out[i + 3] == 0) out[i] = out[i + 1] = out[i + 2] = 0;
    return out;
}

class ReaderAgreement : public ::testing::TestWithParam<Entry> {};

TEST_P(ReaderAgreement, ReadsAsTheReferenceShowsIt) {
    const Entry& e = GetParam();
    const Bytes data = readWholeFile(kDir + e.file);
    if (e.result == "error") {
        try {
            loadMemory(data);
            FAIL() << e.file << " was accepted";
        } catch (const Error& err) {
            EXPECT_EQ(err.number(), e.code) << err.what();
        }
        return;
    }
    Image image;
    takeLoadNotes();
    ASSERT_NO_THROW(image = loadMemory(data)) << e.file;
    EXPECT_EQ(takeLoadNotes().damaged, e.result == "damaged");
    ASSERT_EQ(static_cast<int>(image.frames.size()), e.frames);
    const Bitmap& b = image.first();
    ASSERT_EQ(b.width(), e.width);
    ASSERT_EQ(b.height(), e.height);
    const Bytes expected = readWholeFile(kDir + "expected/" + e.file + ".rgba");
    const Bytes got = rgbaOf(b);
    ASSERT_EQ(got.size(), expected.size());
    int worst = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - expected[i]) > worst) worst = std::abs(got[i] - expected[i]), at = i;
    const std::size_t pixel = at / 4;
    EXPECT_LE(worst, e.tolerance) << "against " << e.reference << ": channel " << at % 4 << " of pixel ("
                                  << pixel % static_cast<std::size_t>(e.width) << ", "
                                  << pixel / static_cast<std::size_t>(e.width) << ") is " << int(got[at])
                                  << ", not " << int(expected[at]);
}

INSTANTIATE_TEST_SUITE_P(Collection, ReaderAgreement, ::testing::ValuesIn(readManifest()),
                         [](const ::testing::TestParamInfo<Entry>& info) {
                             std::string name = info.param.file;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST(ReaderCollection, ManifestCoversEveryFile) {
    // A file added to the folder without a row would never be checked.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kDir))
        if (entry.is_regular_file() && entry.path().extension() != ".py" && entry.path().filename() != "manifest.txt")
            ++files;
    EXPECT_EQ(files, readManifest().size());
}

}  // namespace
