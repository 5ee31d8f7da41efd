#include "qt/imagecontrol.h"

namespace imaging {

int ImageControl::DrawText(const QString& text, const imaging::Bitmap* fill) {
    try {
        imaging::Bitmap drawn = bitmap_;
        drawText(drawn, drawing_, text, fill);
        if (!frames_.empty()) {
            SetAnimationEnable(false);
            frames_.clear();
            framesChanged();
            frameIndex_ = 0;
        }
        bitmap_ = std::move(drawn);
        bitmapChanged();
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

}  // namespace imaging
