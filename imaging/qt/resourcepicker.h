#pragma once
// The list of bitmaps, icons and cursors stored in a program file, to pick one to capture: as a
// tree with one branch per kind, or as one tab per kind. A preview shows the chosen picture.

#include <QDialog>

#include <vector>

#include "formats/pe_resources.h"
#include "qt/capturecontrol.h"

class QLabel;

namespace imaging {

class ResourcePicker : public QDialog {
    Q_OBJECT

public:
    ResourcePicker(const QString& file, const Bytes& data, const std::vector<pe::ResourceEntry>& entries,
                   CaptureControl::ResourceDialog look, QWidget* owner);
    // The index of the chosen resource, -1 when none is.
    int Chosen() const { return chosen_; }

private:
    void choose(int index);

    const Bytes& data_;
    const std::vector<pe::ResourceEntry>& entries_;
    int chosen_ = -1;
    QLabel* preview_ = nullptr;
};

}  // namespace imaging
