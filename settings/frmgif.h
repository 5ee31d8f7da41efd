#pragma once
// The GIF defaults of one profile slot: pixel depth, dithering, colour count, palette kind and
// file, interlacing. Edits the options dialog's working copy (its current slot); nothing
// reaches ProgramOptions until the options dialog's OK.

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class frmGIF;
}

namespace kalmira {

class frmOptions;
struct OptimizeProfile;

class frmGIF : public QDialog {
    Q_OBJECT

public:
    explicit frmGIF(frmOptions& options);
    ~frmGIF() override;

    // The palette file question and the message box, replaceable so tests can answer them
    // without a window. The chooser returns the chosen file, or an empty text when cancelled.
    // Each setter returns the previous function; nullptr restores the default.
    using PaletteFileChooser =
        std::function<QString(QWidget* owner, const QString& title, const QStringList& nameFilters)>;
    using MessageShower = std::function<void(QWidget* owner, const QString& text)>;
    static PaletteFileChooser SetPaletteFileChooser(PaletteFileChooser chooser);
    static MessageShower SetMessageShower(MessageShower shower);

private:
    OptimizeProfile& profile();
    void selectPixelDepth(std::int16_t depth);
    void selectPaletteKind(std::int16_t kind);
    void normaliseColourCount();
    void definePalette();
    void commit();

    std::unique_ptr<Ui::frmGIF> ui_;
    frmOptions& options_;
};

}  // namespace kalmira
