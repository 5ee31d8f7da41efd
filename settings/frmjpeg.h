#pragma once
// The JPEG defaults of one profile slot: quality, progressive passes, colour subsampling,
// greyscale. Edits the options dialog's working copy (its current slot).

#include <QDialog>

#include <memory>

namespace Ui {
class frmJPEG;
}

namespace kalmira {

class frmOptions;
struct OptimizeProfile;

class frmJPEG : public QDialog {
    Q_OBJECT

public:
    explicit frmJPEG(frmOptions& options);
    ~frmJPEG() override;

private:
    OptimizeProfile& profile();
    void qualityTextEntered();
    void passesEntered();
    void commit();

    std::unique_ptr<Ui::frmJPEG> ui_;
    frmOptions& options_;
};

}  // namespace kalmira
