#include "common/errortrap.h"
#include "common/globals.h"
#include "common/qttranslations.h"
#include "common/texts.h"

#include <QCoreApplication>
#include <QDir>

namespace kalmira {

namespace {

struct OpenFormat {
    const char* description;
    const char* pattern;
};

// Rows 1..37 of the Open dialog's file types.
constexpr OpenFormat kOpenFormats[] = {
    {"GIF (GIF)", "*.gif"},
    {"JPG (JPG JPEG JFF JTF)", "*.jpg;*.jff;*.jtf;*.jpeg"},
    {"PNG (PNG)", "*.png"},
    {"BMP Windows & OS/2 (BMP)", "*.bmp"},
    {"AWD Microsoft Fax (AWD)", "*.awd"},
    {"CALS (CAL)", "*.cal"},
    {"Windows Clipboard (CLP)", "*.clp"},
    {"CMP Compressed (CMP)", "*.cmp"},
    {"CUR Cursor (CUR)", "*.cur"},
    {"Dr. Halo (CUT)", "*.cut"},
    {"Intergraph Microstation (DGN)", "*.dgn;*.rdl"},
    {"Drawing Interchange Format (DXF)", "*.dxf"},
    {"Windows Enhanced Metafile (EMF)", "*.emf"},
    {"EPS PostScript Raster (EPS)", "*.eps"},
    {"FPX Kodak FlashPix (FPX)", "*.fpx"},
    {"Winfax (FXS)", "*.fxs"},
    {"IBM IOCA (ICA)", "*.ica"},
    {"ICO Icons (ICO)", "*.ico"},
    {"Interchange File Format (IFF)", "*.iff"},
    {"IntergraphRLE (ITG)", "*.itg"},
    {"GEM Image (IMG)", "*.img"},
    {"MAC MacPaint (MAC)", "*.mac"},
    {"MSP Microsoft Paint (MSP)", "*.msp"},
    {"Portable Bitmap Utilities (PBM)", "*.pbm"},
    {"PCD Kodak Photo CD (PCD)", "*.pcd"},
    {"PCT Macintosh PICTURE (PCT)", "*.pct"},
    {"PCX (PCX)", "*.pcx"},
    {"Hewlett Packard HPGL (PLT)", "*.plt;*.hpgl"},
    {"Photoshop PSD (PSD)", "*.psd"},
    {"SUN Raster (RAS)", "*.ras"},
    {"TGA (TGA)", "*.tga"},
    {"TIF (TIF TIFF)", "*.tif;*.tiff"},
    {"WMF Windows Metafile (WMF)", "*.wmf"},
    {"WordPerfect (WPG)", "*.wpg"},
    {"XBitMap (XBM)", "*.xbm"},
    {"XPicMap Format (XPM)", "*.xpm"},
    {"X Window Dump (XWD)", "*.xwd"},
};
static_assert(std::size(kOpenFormats) == kOpenFormatCount - 1);

struct SaveFormatRow {
    int code;
    const char* depths;
    const char* name;
    const char* extension;
};

// SaveFormats rows 0..15.
constexpr SaveFormatRow kSaveFormats[] = {
    {1, "11111111000", "GIF", "gif"},
    {2, "00000000010", "JPEG", "jpg"},
    {6, "10010001011", "PNG", "png"},  // 32 bits keep an alpha channel
    {3, "10010001010", "BMP", "bmp"},
    {5, "00000001000", "EPS", "eps"},
    {5, "10000000000", "GEM Image", "img"},
    {5, "10000000000", "MacPaint", "mac"},
    {5, "10000000000", "Microsoft Paint", "msp"},
    {5, "10010001010", "Macintosh PICTURE", "pct"},
    {5, "10010001010", "PCX", "pcx"},
    {5, "10000001010", "Adobe Photoshop Image", "psd"},
    {5, "10010001011", "SUN Raster", "ras"},
    {5, "00000001111", "TGA", "tga"},
    {4, "11111111110", "TIFF", "tif"},
    {5, "00000001010", "WMF", "wmf"},
    {5, "10010001000", "WordPerfect Raster", "wpg"},
    // The web formats after the sixteen: 24 bits, or 32 with alpha.
    {7, "00000000011", "WebP", "webp"},
    {8, "00000000011", "AVIF", "avif"},
};
static_assert(std::size(kSaveFormats) == kAllSaveFormatCount);

QString programFolder() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

}  // namespace

void InitApplication() {
    ErrorTrapping = true;
    Guarded([] {
        // The help file sits beside the program; context help and Help > Contents read it.
        HelpFilePath = programFolder() + QLatin1Char('/') + LoadText(5000);

        QStringList names(kOpenFormatCount);
        QStringList patterns(kOpenFormatCount);
        QString all;
        for (int row = 1; row < kOpenFormatCount; ++row) {
            names[row] = QString::fromUtf8(kOpenFormats[row - 1].description);
            patterns[row] = QString::fromUtf8(kOpenFormats[row - 1].pattern);
            all += patterns[row] + QLatin1Char(';');
        }
        names[0] = LoadText(5001);
        patterns[0] = all;
        OpenFormatNames = names;
        OpenFormatPatterns = patterns;

        for (int i = 0; i < kAllSaveFormatCount; ++i) {
            const SaveFormatRow& row = kSaveFormats[i];
            SaveFormats[i] = SaveFormat{row.code, QString::fromLatin1(row.depths), QString::fromUtf8(row.name),
                                        QString::fromLatin1(row.extension)};
        }
        // Qt's standard dialog buttons speak the program's language, not the system's.
        LoadQtTranslations();
    });
}

}  // namespace kalmira
