#include "qt/addtextdialogs.h"

namespace imaging {

AddTextDialogs::AddTextDialogs() {
    chosen_.font.setPointSize(24);
    chosen_.font.setBold(true);
}

AddTextDialogs::~AddTextDialogs() = default;

int AddTextDialogs::ShowAddText(QWidget* owner) {
    AddTextDialog dialog(bitmap_, chosen_, owner);
    if (!title_.isEmpty()) dialog.setWindowTitle(title_);
    dialog.SetImagePicker(imagePicker_);
    const bool accepted = runner_ ? runner_(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted) return kDialogCancelled;
    chosen_ = dialog.Settings();
    return 0;
}

void AddTextDialogs::SetForegroundImage(const Bitmap* image) {
    chosen_.foreground = image ? *image : Bitmap();
    if (!image) chosen_.useForeground = false;
}

const Bitmap* AddTextDialogs::ForegroundImage() const {
    return chosen_.foreground.empty() ? nullptr : &chosen_.foreground;
}

}  // namespace imaging
