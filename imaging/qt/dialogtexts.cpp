#include "qt/dialogtexts.h"

namespace imaging {

namespace {
DialogTextSource& source() {
    static DialogTextSource function;
    return function;
}
}  // namespace

void SetDialogTextSource(DialogTextSource function) { source() = std::move(function); }

QString DialogText(int id, const char* english) {
    if (source()) {
        QString text = source()(id);
        if (!text.isEmpty()) return text;
    }
    return QString::fromUtf8(english);
}

}  // namespace imaging
