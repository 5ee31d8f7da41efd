#pragma once
// The options dialog: general and display preferences and the automatic-format choice of each
// Variation slot. It edits a working copy, PendingOptions; OK replaces ProgramOptions with it and
// writes it to the store, Cancel (or the close box) drops it. Loaded fresh for every showing.

#include "settings/programoptions.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace Ui {
class frmOptions;
}

namespace kalmira {

class frmOptions : public QDialog {
    Q_OBJECT

public:
    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    // Shows the dialog modally, owned by owner.
    static void ShowOptionsDialog(QWidget* owner);

    // The working copy; the GIF and JPEG default dialogs edit its current slot.
    ProgramOptionsRecord& PendingOptions() { return pending_; }
    // The profile slot being edited: ComboVariation's position + 1 (1..5).
    int CurrentSlot() const;
    // Help topic of the visible page (1013 General, 1025 Display, 1306 automatic format).
    int HelpContextId() const { return helpContext_; }

    void FillGeneralTab();
    void FillDisplayTab();
    // Selects the "Applies to" button of the slot's FileFormat. A FileFormat outside 1..4 (only
    // an edited store can hold one) raises AppError and leaves no button selected.
    void ShowProfileFormat(std::int16_t slot);
    // Controls -> PendingOptions -> ProgramOptions -> the store.
    void ApplyOptions();

private:
    // A text box whose number is normalised and clamped when the user presses Enter or leaves
    // it, optionally with up-down buttons that follow the text.
    struct NumberBox {
        QLineEdit* text = nullptr;
        QScrollBar* upDown = nullptr;
        int minimum = 0;
        int maximum = 0;
        int belowMinimum = 0;  // what a value under the minimum becomes
    };

    void connectNumberBox(const NumberBox& box);
    void normaliseNumberBox(const NumberBox& box);
    void followTextWithUpDown(const NumberBox& box);
    void appliesTo(int fileFormat);
    void tabChanged(int index);
    void updateLimitTexts();

    std::unique_ptr<Ui::frmOptions> ui_;
    class QualityOptionsTab* qualityTab_ = nullptr;
    ProgramOptionsRecord pending_;
    int helpContext_ = 1013;
    bool textDrivesUpDown_ = false;
    NumberBox initialVariations_;
    NumberBox zoom_;
    NumberBox limitWidth_;
    NumberBox limitHeight_;
    std::array<QRadioButton*, 5> fileFormatButtons_{};  // 1..4; 0 unused
};

}  // namespace kalmira
