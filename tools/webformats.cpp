// The tools window's WebP and AVIF faces: placed where the other format faces sit, shown by
// the format list like them, applied through the window's one apply path.
#include <QStandardItemModel>

#include "document/variationrecord.h"
#include "settings/qualityoptions.h"
#include "tools/frmtools.h"
#include "tools/webformatface.h"
#include "ui_frmTools.h"

namespace kalmira {

void frmTools::createWebFormatFaces() {
    auto apply = [this] {
        HandlerScope scope(*this);
        requestApply();
    };
    const QRect place = ui_->FrameFormat6->geometry();
    webpFace_ = new WebFormatFace(ui_->FrameVariationTools1, 7, 6, apply);
    avifFace_ = new WebFormatFace(ui_->FrameVariationTools1, 8, 10, apply);
    for (WebFormatFace* face : {webpFace_, avifFace_}) {
        face->setGeometry(place);
        face->hide();
    }
}

void frmTools::applyQualityOptions() {
    // Switched off, WebP and AVIF stay in the list (a Variation may use them already, and the
    // list position is the record's format) but cannot be chosen.
    if (auto* model = qobject_cast<QStandardItemModel*>(ui_->ComboFormat->model()))
        for (int i : {save_format::Webp, save_format::Avif})
            if (QStandardItem* item = model->item(i)) item->setEnabled(QualityOptions().WebpAvif);
    ShowByteBudgetField(QualityOptions().ByteBudget);
}

WebFormatFace* frmTools::webFace(int formatIndex) const {
    if (formatIndex == save_format::Webp) return webpFace_;
    if (formatIndex == save_format::Avif) return avifFace_;
    return nullptr;
}

}  // namespace kalmira
