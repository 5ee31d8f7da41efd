// Colour profiles, metadata and HEIF: known colours through a known profile to their sRGB
// values (and back), the profile found in every container that carries one, profiles that
// must be ignored with a note, what a written file keeps, and HEIC read like its reference.
#include <gtest/gtest.h>

#include <lcms2.h>

#include <filesystem>
#include <fstream>

#include "codecs/embedded.h"
#include "codecs/exif.h"
#include "codecs/registry.h"
#include "color/icc_transform.h"
#include "core/error.h"
#include "core/parallel.h"
#include "test_data.h"
#include "test_images.h"

using namespace imaging;

namespace {

// Adobe RGB (1998): its primaries, D65 white and gamma 563/256.
// Made once: a profile's header carries the second it was made, and two made a second apart
// would differ.
const Bytes& adobeRgb() {
    static const Bytes profile =
        icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290}, 563.0 / 256.0, "Adobe RGB (1998)");
    return profile;
}

Bitmap solid(std::initializer_list<Rgb> colours) {
    Bitmap b(static_cast<int>(colours.size()), 1, 24);
    int x = 0;
    for (Rgb c : colours) b.setPixel(x++, 0, c);
    return b;
}

void expectNear(Rgb got, int r, int g, int b, int tolerance = 1) {
    EXPECT_NEAR(redOf(got), r, tolerance);
    EXPECT_NEAR(greenOf(got), g, tolerance);
    EXPECT_NEAR(blueOf(got), b, tolerance);
}

// The expected values are the profile's matrices computed by hand (Adobe RGB to XYZ to sRGB
// at D65, sRGB's own curve), not by lcms.
TEST(ColourProfile, KnownAdobeRgbColoursBecomeTheirSrgbValues) {
    Bitmap b = solid({makeRgb(200, 100, 50), makeRgb(128, 128, 128), makeRgb(255, 255, 255), makeRgb(0, 0, 0)});
    const icc::Conversion c = icc::convertToSrgb(b, adobeRgb());
    EXPECT_TRUE(c.converted);
    EXPECT_EQ(c.description, "Adobe RGB (1998) \u2192 sRGB");
    expectNear(b.pixel(0, 0), 227, 100, 42);
    expectNear(b.pixel(1, 0), 129, 129, 129);
    expectNear(b.pixel(2, 0), 255, 255, 255, 0);
    expectNear(b.pixel(3, 0), 0, 0, 0, 0);
}

TEST(ColourProfile, SrgbColoursGoBackIntoAdobeRgb) {
    Bitmap b = solid({makeRgb(227, 100, 42), makeRgb(129, 129, 129)});
    ASSERT_TRUE(icc::convertFromSrgb(b, adobeRgb()));
    expectNear(b.pixel(0, 0), 200, 100, 50);
    expectNear(b.pixel(1, 0), 128, 128, 128);
}

TEST(ColourProfile, PalettesAndAlphaPicturesAreConvertedKeepingIndexAndAlpha) {
    Bitmap indexed(2, 1, 8);
    indexed.palette()[7] = makeRgb(200, 100, 50);
    indexed.setPixel(1, 0, 7);
    ASSERT_TRUE(icc::convertToSrgb(indexed, adobeRgb()).converted);
    EXPECT_EQ(indexed.rawPixel(1, 0), 7u);
    expectNear(indexed.palette()[7], 227, 100, 42);

    Bitmap rgba(1, 1, 32);
    rgba.data() = {200, 100, 50, 77};
    ASSERT_TRUE(icc::convertToSrgb(rgba, adobeRgb()).converted);
    expectNear(makeRgb(rgba.data()[0], rgba.data()[1], rgba.data()[2]), 227, 100, 42);
    EXPECT_EQ(rgba.data()[3], 77);
}

// Opening converts a tagged JPEG behind its decoder, on a helper thread or a band at a time on
// the reader's; either way the pixels must be those of converting the decoded picture whole,
// for whole files, files cut short, and every worker count.
TEST(ColourProfile, ConversionBehindTheDecoderGivesTheWholePicturesPixels) {
    SaveOptions o;
    o.format = format::Jpeg422;
    o.qualityFactor = 40;
    o.iccProfile = adobeRgb();
    Image photo = Image::fromBitmap(test::makePhoto(203, 517), format::Jpeg444);
    const Bytes file = saveMemory(photo, o);
    for (const std::size_t size : {file.size(), file.size() * 3 / 5}) {
        const ByteView bytes(file.data(), size);
        Bitmap expected = codecForFormat(format::Jpeg444)->read(bytes, {}).first();
        ASSERT_TRUE(icc::convertToSrgb(expected, adobeRgb()).converted);
        for (const int workers : {1, 2, 4}) {
            setWorkerCount(workers);
            const Image loaded = loadMemory(bytes);
            setWorkerCount(0);
            EXPECT_TRUE(loaded.first().data() == expected.data()) << workers << " workers, " << size << " bytes";
            EXPECT_EQ(loaded.notes.colorConversion, "Adobe RGB (1998) \u2192 sRGB");
            EXPECT_EQ(loaded.notes.iccProfile, adobeRgb());
        }
    }
    // Read at another depth, the picture is converted before its depth changes.
    LoadOptions wide;
    wide.bits = 32;
    const Image rgba = loadMemory(file, wide);
    ASSERT_EQ(rgba.first().bits(), 32);
    const Bitmap whole = [&] {
        Bitmap b = codecForFormat(format::Jpeg444)->read(file, {}).first();
        icc::convertToSrgb(b, adobeRgb());
        return b;
    }();
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{202, 516}, std::pair{101, 300}})
        EXPECT_EQ(rgba.first().pixel(x, y) & 0xFFFFFF, whole.pixel(x, y) & 0xFFFFFF) << x << ", " << y;
}

TEST(ColourProfile, AnSrgbProfileChangesNothingAndClaimsNoConversion) {
    Bitmap b = solid({makeRgb(200, 100, 50)});
    const icc::Conversion c = icc::convertToSrgb(b, icc::srgbProfile());
    EXPECT_FALSE(c.converted);
    EXPECT_TRUE(c.note.empty());
    EXPECT_EQ(b.pixel(0, 0), makeRgb(200, 100, 50));
}

// A profile written by lcms into bytes, as a file would carry it.
Bytes savedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// sRGB's primaries with a different curve for each channel (1.0, 2.2 and 1.6): every channel
// goes through its own curve, as lcms itself converts them.
TEST(ColourProfile, EachChannelGoesThroughItsOwnCurve) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, 1.0), cmsBuildGamma(nullptr, 2.2), cmsBuildGamma(nullptr, 1.6)};
    cmsHPROFILE made = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", "Three curves");
    cmsWriteTag(made, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    for (cmsToneCurve* c : curves) cmsFreeToneCurve(c);
    const Bytes profile = savedProfile(made);

    const std::vector<Rgb> colours = {makeRgb(200, 100, 50), makeRgb(50, 100, 200), makeRgb(10, 240, 130),
                                      makeRgb(128, 64, 32), makeRgb(30, 30, 220), makeRgb(255, 0, 128)};
    Bitmap b(static_cast<int>(colours.size()), 1, 24);
    for (std::size_t i = 0; i < colours.size(); ++i) b.setPixel(static_cast<int>(i), 0, colours[i]);
    const icc::Conversion c = icc::convertToSrgb(b, profile);
    ASSERT_TRUE(c.converted);

    cmsHPROFILE in = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM reference = cmsCreateTransform(in, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    ASSERT_NE(reference, nullptr);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        std::uint8_t px[3] = {static_cast<std::uint8_t>(redOf(colours[i])), static_cast<std::uint8_t>(greenOf(colours[i])),
                              static_cast<std::uint8_t>(blueOf(colours[i]))};
        cmsDoTransform(reference, px, px, 1);
        SCOPED_TRACE(i);
        expectNear(b.pixel(static_cast<int>(i), 0), px[0], px[1], px[2], 2);
    }
    cmsDeleteTransform(reference);
    cmsCloseProfile(srgb);
    cmsCloseProfile(in);
}

// A grey profile converts grey pictures only: a colour picture, however close to grey (two
// channels equal, the third not), keeps its pixels and is told why.
TEST(ColourProfile, AGreyProfileConvertsOnlyGreyPictures) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    const Bytes grey = savedProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);

    Bitmap greys = solid({makeRgb(128, 128, 128), makeRgb(30, 30, 30)});
    ASSERT_TRUE(icc::convertToSrgb(greys, grey).converted);
    EXPECT_EQ(redOf(greys.pixel(0, 0)), greenOf(greys.pixel(0, 0)));
    EXPECT_EQ(greenOf(greys.pixel(0, 0)), blueOf(greys.pixel(0, 0)));
    EXPECT_NE(greys.pixel(0, 0), makeRgb(128, 128, 128));  // gamma 1.8 is not sRGB's curve

    for (const Rgb odd : {makeRgb(100, 100, 50), makeRgb(100, 50, 50), makeRgb(50, 100, 100), makeRgb(100, 50, 100)}) {
        Bitmap b = solid({makeRgb(128, 128, 128), odd});
        const icc::Conversion c = icc::convertToSrgb(b, grey);
        EXPECT_FALSE(c.converted) << std::hex << odd;
        EXPECT_NE(c.note.find("a grey profile on a colour picture"), std::string::npos) << c.note;
        EXPECT_EQ(b.pixel(1, 0), odd);
        EXPECT_EQ(b.pixel(0, 0), makeRgb(128, 128, 128));
    }
    // A palette is grey when every entry is.
    Bitmap indexed(2, 1, 8);
    for (int i = 0; i < 256; ++i) indexed.palette()[static_cast<std::size_t>(i)] = makeRgb(i, i, i);
    Bitmap greyPalette = indexed;
    EXPECT_TRUE(icc::convertToSrgb(greyPalette, grey).converted);
    indexed.palette()[200] = makeRgb(200, 200, 199);
    EXPECT_FALSE(icc::convertToSrgb(indexed, grey).converted);
}

// Profiles a picture must not be converted through: each leaves the pixels alone and says why.
TEST(ColourProfile, UnusableProfilesAreIgnoredWithANote) {
    Bytes damaged = adobeRgb();
    damaged.resize(damaged.size() / 2);
    Bytes garbage(600, 0x5A);
    Bytes cmyk;
    if (std::ifstream in("/usr/share/color/icc/ghostscript/default_cmyk.icc", std::ios::binary); in)
        cmyk.assign(std::istreambuf_iterator<char>(in), {});
    struct Case {
        const char* name;
        Bytes profile;
        const char* note;
        NoteKind kind;
    };
    const Case cases[] = {
        {"truncated", damaged, "damaged colour profile ignored", NoteKind::Damaged},
        {"garbage", garbage, "damaged colour profile ignored", NoteKind::Damaged},
        {"too large", Bytes(icc::kMaxProfileBytes + 1, 0), "colour profile of 4 MB ignored (too large)", NoteKind::TooLarge},
    };
    for (const Case& c : cases) {
        Bitmap b = solid({makeRgb(200, 100, 50)});
        const icc::Conversion result = icc::convertToSrgb(b, c.profile);
        EXPECT_FALSE(result.converted) << c.name;
        EXPECT_EQ(result.note, c.note) << c.name;
        EXPECT_EQ(result.kind, c.kind) << c.name;
        EXPECT_EQ(b.pixel(0, 0), makeRgb(200, 100, 50)) << c.name;
    }
    if (!cmyk.empty()) {
        Bitmap b = solid({makeRgb(200, 100, 50)});
        const icc::Conversion result = icc::convertToSrgb(b, cmyk);
        EXPECT_FALSE(result.converted);
        EXPECT_NE(result.note.find("wrong colour space"), std::string::npos) << result.note;
        EXPECT_EQ(result.kind, NoteKind::WrongSpace);
        EXPECT_EQ(b.pixel(0, 0), makeRgb(200, 100, 50));
    }
}

// ---- the profile in its containers ------------------------------------------------------

SaveOptions optionsFor(int format) {
    SaveOptions o;
    o.format = format;
    o.qualityFactor = 2;
    o.lossless = true;
    return o;
}

// A file of `format` whose pixels are (200, 100, 50) in Adobe RGB, tagged with the profile.
Bytes adobeTagged(int format) {
    SaveOptions o = optionsFor(format);
    o.iccProfile = adobeRgb();
    // Written from the sRGB colour the pixels should show, so the file holds Adobe RGB values.
    Bitmap b(8, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) b.setPixel(x, y, makeRgb(227, 100, 42));
    return saveMemory(Image::fromBitmap(b), o);
}

class ProfileContainers : public ::testing::TestWithParam<int> {};

TEST_P(ProfileContainers, TaggedPicturesReadAsTheirSrgbColours) {
    const Bytes file = adobeTagged(GetParam());
    EXPECT_FALSE(embedded::scan(file).iccProfile.empty());
    const Image image = loadMemory(file);
    EXPECT_EQ(image.notes.colorConversion, "Adobe RGB (1998) \u2192 sRGB");
    EXPECT_EQ(image.notes.iccProfile, adobeRgb());
    expectNear(image.first().pixel(3, 3), 227, 100, 42, 2);
}

TEST_P(ProfileContainers, FilesAreWrittenWithoutProfileOrMetadataByDefault) {
    Image image = loadMemory(adobeTagged(GetParam()));
    image.notes.author = "Jo Example";
    const Bytes plain = saveMemory(image, optionsFor(GetParam()));
    const embedded::Found found = embedded::scan(plain);
    EXPECT_TRUE(found.iccProfile.empty());
    EXPECT_TRUE(found.author.empty());
    EXPECT_LE(found.orientation, 1);  // TIFF names its rows' order; 1 is upright
    const Image again = loadMemory(plain);
    EXPECT_TRUE(again.notes.colorConversion.empty());
    expectNear(again.first().pixel(3, 3), 227, 100, 42, 2);
}

TEST_P(ProfileContainers, AuthorAndCopyrightAreKeptWhenAsked) {
    SaveOptions o = optionsFor(GetParam());
    o.author = "Jo Example";
    o.copyright = "\u00a9 2026 Jo Example";
    const Image image = loadMemory(saveMemory(Image::fromBitmap(test::makePhoto(16, 16)), o));
    EXPECT_EQ(image.notes.author, "Jo Example");
    EXPECT_EQ(image.notes.copyright, "\u00a9 2026 Jo Example");
}

INSTANTIATE_TEST_SUITE_P(Formats, ProfileContainers,
                         ::testing::Values(format::Jpeg444, format::Png, format::Webp, format::TiffCompressed),
                         [](const auto& info) {
                             switch (info.param) {
                             case format::Jpeg444: return std::string("Jpeg");
                             case format::Png: return std::string("Png");
                             case format::Webp: return std::string("Webp");
                             default: return std::string("Tiff");
                             }
                         });

TEST(ColourProfile, AvifKeepsTheProfileAndTheAuthor) {
    SaveOptions o = optionsFor(format::Avif);
    o.iccProfile = adobeRgb();
    o.copyright = "Jo Example";
    Bitmap b(16, 16, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) b.setPixel(x, y, makeRgb(227, 100, 42));
    const Image image = loadMemory(saveMemory(Image::fromBitmap(b), o));
    EXPECT_EQ(image.notes.colorConversion, "Adobe RGB (1998) \u2192 sRGB");
    expectNear(image.first().pixel(8, 8), 227, 100, 42, 3);
}

TEST(ColourProfile, AFormatWithoutProfilesGetsSrgbPixels) {
    SaveOptions o = optionsFor(format::BmpWindows);
    o.iccProfile = adobeRgb();
    const Image image = loadMemory(saveMemory(Image::fromBitmap(solid({makeRgb(227, 100, 42)})), o));
    EXPECT_EQ(image.first().pixel(0, 0), makeRgb(227, 100, 42));
}

// A JPEG's profile split over APP2 markers beyond 4 MB is not assembled; the picture opens.
TEST(ColourProfile, AnOversizedJpegProfileIsIgnoredAndThePictureOpens) {
    Bytes file = saveMemory(Image::fromBitmap(solid({makeRgb(200, 100, 50)})), optionsFor(format::Jpeg444));
    const int parts = 70;  // 70 x 65519 bytes: beyond 4 MB
    Bytes markers;
    for (int i = 1; i <= parts; ++i) {
        const std::size_t body = 65519;
        markers.insert(markers.end(), {0xFF, 0xE2, static_cast<std::uint8_t>((body + 16) >> 8), static_cast<std::uint8_t>(body + 16)});
        const char* tag = "ICC_PROFILE";
        markers.insert(markers.end(), tag, tag + 12);
        markers.push_back(static_cast<std::uint8_t>(i));
        markers.push_back(static_cast<std::uint8_t>(parts));
        markers.insert(markers.end(), body, 0);
    }
    file.insert(file.begin() + 2, markers.begin(), markers.end());
    const Image image = loadMemory(file);
    EXPECT_EQ(image.notes.colorNote, "colour profile ignored (larger than 4 MB)");
    EXPECT_TRUE(image.notes.colorConversion.empty());
}

TEST(ColourProfile, APngWithADamagedProfileOpensWithANote) {
    Bytes file = adobeTagged(format::Png);
    // The iCCP chunk follows IHDR: spoil its compressed data (the CRC is not what we check).
    ASSERT_EQ(std::string(file.begin() + 37, file.begin() + 41), "iCCP");
    for (std::size_t i = 41 + 14; i < 41 + 40; ++i) file[i] ^= 0xA5;
    const Image image = loadMemory(file);
    EXPECT_EQ(image.notes.colorNoteKind, NoteKind::Damaged);
    EXPECT_TRUE(image.notes.colorConversion.empty());
    EXPECT_EQ(image.first().width(), 8);
}

TEST(Exif, BuiltBlocksReadBackAndDamagedOnesGiveWhatIsReadable) {
    const Bytes block = exif::build("Jo", "Example Ltd");
    const exif::Fields f = exif::read(block);
    EXPECT_EQ(f.author, "Jo");
    EXPECT_EQ(f.copyright, "Example Ltd");
    EXPECT_EQ(f.orientation, 0);
    EXPECT_TRUE(exif::build("", "").empty());
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        const exif::Fields part = exif::read(ByteView(block.data(), cut));
        EXPECT_TRUE(part.author.empty() || part.author == "Jo") << cut;
    }
}

// ---- HEIF ---------------------------------------------------------------------------------

TEST(Heif, AHeicFileReadsAsTheReferenceDecoderShowsIt) {
    const std::string dir = kalmira::testing::testDataDir() + "/codecs/heif/";
    const Bytes heic = readWholeFile(dir + "grad.heic");
    const ImageInfo info = readInfo(heic);
    EXPECT_EQ(info.format, format::Heif);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    const Image image = loadMemory(heic);
    const Bitmap original = loadFile(dir + "grad.png").first();
    ASSERT_EQ(image.first().width(), 64);
    ASSERT_EQ(image.first().height(), 48);
    EXPECT_LT(test::meanAbsoluteError(image.first(), original), 1.5);
    EXPECT_FALSE(codecForFormat(format::Heif)->canWrite());
}

TEST(Heif, DamagedAndCutFilesAreRefusedWithAnError) {
    const Bytes heic = readWholeFile(kalmira::testing::testDataDir() + "/codecs/heif/grad.heic");
    for (std::size_t cut : {std::size_t{40}, heic.size() / 2, heic.size() - 10}) {
        const Bytes part(heic.begin(), heic.begin() + static_cast<std::ptrdiff_t>(cut));
        try {
            loadMemory(part);
            ADD_FAILURE() << "a file cut at " << cut << " was accepted";
        } catch (const Error& e) {
            EXPECT_NE(e.code(), ErrorCode::Ok);
        }
    }
}

// A grid whose description lies at an offset into the item-data box and names 16384 x 12288
// while the file's headers say 64 x 48: libheif would allocate the whole output (600 MB) before
// decoding a tile. Its description reaches one byte past the box, so the file is refused as
// damaged before libheif reads it.
TEST(Heif, AGridLargerThanTheFileCanHoldIsRefusedBeforeDecoding) {
    const Bytes heic = readWholeFile(kalmira::testing::testDataDir() + "/codecs/heif/grid-beyond-idat.heic");
    try {
        loadMemory(heic);
        ADD_FAILURE() << "the grid was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Corrupt);
        EXPECT_NE(std::string(e.what()).find("HEIF"), std::string::npos) << e.what();
    }
}

}  // namespace
