// The difference view of a document: each Variation drawn as its error against the Original
// (or a Variation the user chose as the reference), with a legend. Only what is drawn changes;
// the pictures, their encodings and their quality numbers stay as they are.
#include <QGroupBox>

#include "document/differencelegend.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "qt/qimagebridge.h"
#include "quality/difference.h"
#include "settings/qualityoptions.h"
#include "common/errortrap.h"
#include "common/texts.h"

namespace kalmira {

void frmDocument::SetDifferenceView(bool on) {
    on = on && QualityOptions().DifferenceView;
    if (on != differenceView_) {
        differenceView_ = on;
        for (int i = 1; i <= kVariationCount; ++i) showDifference(i);
    }
    if (MainWindowHost* host = mainWindowHost()) host->DifferenceViewSwitched(*this);
}

void frmDocument::SetDifferenceReference(int index) {
    if (index < 0 || index > kVariationCount) index = 0;
    if (index == differenceReference_) return;
    differenceReference_ = index;
    for (int i = 1; i <= kVariationCount; ++i) showDifference(i);
}

DifferenceLegend* frmDocument::DifferenceLegendOf(int index) const {
    checkVariation(index);
    DifferenceLegend* legend = legends_[static_cast<std::size_t>(index)];
    return legend && !legend->isHidden() ? legend : nullptr;
}

void frmDocument::RefreshDifference(int index) {
    if (!differenceView_ || index < 1 || index > kVariationCount) return;
    if (index == differenceReference_) {
        for (int i = 1; i <= kVariationCount; ++i) showDifference(i);
    } else {
        showDifference(index);
    }
}

void frmDocument::showDifference(int index) {
    const std::size_t i = static_cast<std::size_t>(index);
    imaging::ImageControl& picture = *pictures_[i];
    DifferenceLegend*& legend = legends_[i];
    auto plain = [&] {
        picture.SetStandIn(QImage());
        difference_[i] = DifferenceMemo{};
        if (legend) legend->hide();
    };
    auto say = [&](const QStringList& lines, bool scale) {
        if (!legend) legend = new DifferenceLegend(picture);
        legend->SetContent(lines, scale);
        legend->show();
        legend->raise();
    };
    // A reference that can no longer be compared with is given up for the Original.
    if (const std::size_t k = static_cast<std::size_t>(differenceReference_); k > 0) {
        if (!frames_[k]->isVisibleTo(this) || !pictures_[k]->HasBitmap() || records_[k].GIFAnimated) differenceReference_ = 0;
    }
    const int reference = differenceReference_;
    const bool shown = frames_[i]->isVisibleTo(this) && picture.HasBitmap();
    if (!differenceView_ || !shown) return plain();
    if (index == reference) {
        plain();
        return say({LoadText(6704)}, false);
    }
    // An animation shows its frames composed over each other as it plays; a difference of one
    // stored frame would not be what is on screen, so it is shown as it is.
    if (records_[i].GIFAnimated) {
        plain();
        return say({LoadText(6705)}, false);
    }
    const imaging::ImageControl& other = *pictures_[static_cast<std::size_t>(reference)];
    if (!other.HasBitmap()) return plain();
    // A still Variation of an animated Original shows frame ImageNumber, as its quality numbers do.
    const imaging::Bitmap* source = &other.Bitmap();
    const int frame = records_[i].ImageNumber;
    if (reference == 0 && originalAnimated_ && frame >= 0 && frame < other.BitmapListCount())
        source = &other.BitmapList()[static_cast<std::size_t>(frame)].bitmap;

    DifferenceMemo& memo = difference_[i];
    if (!memo.valid || memo.reference != reference || memo.from != other.ContentVersion() ||
        memo.to != picture.ContentVersion() || picture.StandIn().isNull()) {
        const imaging::DifferenceMap map = imaging::differenceOf(*source, picture.Bitmap());
        picture.SetStandIn(imaging::toQImage(imaging::differencePicture(map)));
        memo = DifferenceMemo{true, reference, other.ContentVersion(), picture.ContentVersion(), map.largest, map.sizesDiffer};
    }
    QStringList lines;
    lines << (reference == 0 ? LoadText(6702).arg(memo.largest) : LoadText(6703).arg(reference).arg(memo.largest));
    if (memo.sizesDiffer) lines << LoadText(6706);
    say(lines, true);
}

}  // namespace kalmira
