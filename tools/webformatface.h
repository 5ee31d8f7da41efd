#pragma once
// The settings face of a web format (WebP or AVIF) on the tools window's Variation tab: quality,
// lossless and effort. One instance per format, named FrameFormat7 (WebP) and FrameFormat8
// (AVIF) after their format codes, so the format list shows them as it shows the others.

#include <QFrame>

#include <functional>
#include <memory>

#include "document/documenthost.h"
#include "document/variationrecord.h"

namespace Ui {
class WebFormatFace;
}

namespace kalmira {

class WebFormatFace : public QFrame {
    Q_OBJECT

public:
    // `maxEffort` is 6 for WebP and 10 for AVIF. `apply` is called when the user changes a
    // setting (the slider on release, a text on Enter or focus loss, the box on a click).
    WebFormatFace(QWidget* parent, int formatCode, int maxEffort, std::function<void()> apply);
    ~WebFormatFace() override;

    void Fill(const VariationRecord& record);
    void Read(VariationTabValues& values) const;
    int Quality() const;
    bool Lossless() const;
    int Effort() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void commitText(bool quality);
    std::unique_ptr<Ui::WebFormatFace> ui_;
    std::function<void()> apply_;
    bool filling_ = false;
};

}  // namespace kalmira
