#pragma once
// Switches for the quality additions: the quality numbers in a Variation's caption, the byte
// budget, the WebP/AVIF formats, the difference view and the size-optimising JPEG encoder. They live in a section of
// their own ("Quality"), so a settings file written before they existed reads as "all on"
// and the older sections stay exactly as they were.

#include <QObject>
#include <QString>

namespace kalmira {

inline constexpr const char* kQualitySection = "Quality";

struct QualityOptionsRecord {
    bool QualityNumbers = true;   // PSNR and SSIM after the share of the Original
    bool ByteBudget = true;       // target size field of the tools window
    bool WebpAvif = true;         // WebP and AVIF in the tools window's format list
    bool DifferenceView = true;   // the View menu's difference view and its toolbar button
    bool SmallJpeg = true;        // the size-optimising JPEG encoder (off: libjpeg's plain one)
    // Off by default: a web file is sRGB and publishes nothing about its maker or place.
    bool KeepProfile = false;     // write the Original's colour profile (pixels converted into it)
    bool KeepAuthor = false;      // write the Original's author and copyright fields

    friend bool operator==(const QualityOptionsRecord&, const QualityOptionsRecord&) = default;
};

// The one instance of the running program.
QualityOptionsRecord& QualityOptions();

// Reads the section; an absent key is "on". Values are check-box flags ("1" / "0").
void LoadQualityOptions(QualityOptionsRecord& options);
void SaveQualityOptions(const QualityOptionsRecord& options);

// Tells the windows that the switches changed (the options dialog's OK), so captions, the
// format list and the target-size row follow at once. Connect with a context object.
class QualityOptionsNotifier : public QObject {
    Q_OBJECT
public:
    static QualityOptionsNotifier& instance();
signals:
    void changed();
};

}  // namespace kalmira
