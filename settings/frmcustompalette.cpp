#include "settings/frmcustompalette.h"

#include "common/errortrap.h"
#include "common/floatingplacement.h"
#include "common/routines.h"
#include "common/texts.h"
#include "core/error.h"
#include "qt/palettefile.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"

#include "ui_frmCustomPalette.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cmath>
#include <utility>

namespace kalmira {

namespace {

constexpr int kTextIndex = 5033;
constexpr int kTextLoadFilter = 5028;
constexpr int kTextLoadTitle = 5029;
constexpr int kTextSaveFilter = 5030;
constexpr int kTextSaveTitle = 5031;
constexpr int kTextSaveFailed = 5032;
constexpr int kTextLoadFailed = 5034;
constexpr int kTextLoadFailedTitle = 5035;
constexpr int kTextColorOutOfRange = 6400;
constexpr double kTwipsPerInch = 1440.0;
// Cell i stands at 120 + 240 * column, 240 + 240 * row twips and measures 255 twips, so
// neighbours share their border.
constexpr int kCellLeftTwips = 120;
constexpr int kCellTopTwips = 240;
constexpr int kCellPitchTwips = 240;
constexpr int kCellSizeTwips = 255;

frmCustomPalette::ColorChooser& colorChooser() {
    static frmCustomPalette::ColorChooser chooser;
    return chooser;
}
frmCustomPalette::FileChooser& fileChooser() {
    static frmCustomPalette::FileChooser chooser;
    return chooser;
}
frmCustomPalette::MessageFunction& messageFunction() {
    static frmCustomPalette::MessageFunction function;
    return function;
}

double twipsPerPixel(const QWidget* widget) {
    const QScreen* s = widget->screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

// "Description|pattern|..." as a file dialog filter.
QString dialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '))));
    return filters.join(QStringLiteral(";;"));
}

QString chooseFile(QWidget* owner, const QString& title, const QString& filter, bool save) {
    if (fileChooser()) return fileChooser()(owner, title, filter, save);
    QFileDialog dialog(owner, title, QString(), dialogFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // A name typed without extension is saved as a palette file.
    if (save) dialog.setDefaultSuffix(QStringLiteral("pal"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString cellStyle(imaging::Rgb color, bool selected) {
    const QString background = QStringLiteral("#%1%2%3")
                                    .arg(imaging::redOf(color), 2, 16, QLatin1Char('0'))
                                    .arg(imaging::greenOf(color), 2, 16, QLatin1Char('0'))
                                    .arg(imaging::blueOf(color), 2, 16, QLatin1Char('0'));
    // The selected cell looks pressed: a double border in the contrasting colour.
    const int luminance = (imaging::redOf(color) * 3 + imaging::greenOf(color) * 6 + imaging::blueOf(color)) / 10;
    const QString border = selected ? (luminance > 128 ? QStringLiteral("2px solid black") : QStringLiteral("2px solid white"))
                                    : QStringLiteral("1px solid #404040");
    return QStringLiteral("QPushButton { background: %1; border: %2; }").arg(background, border);
}

}  // namespace

frmCustomPalette::ColorChooser frmCustomPalette::SetColorChooser(ColorChooser chooser) {
    return std::exchange(colorChooser(), std::move(chooser));
}
frmCustomPalette::FileChooser frmCustomPalette::SetFileChooser(FileChooser chooser) {
    return std::exchange(fileChooser(), std::move(chooser));
}
frmCustomPalette::MessageFunction frmCustomPalette::SetMessageFunction(MessageFunction function) {
    return std::exchange(messageFunction(), std::move(function));
}

frmCustomPalette::frmCustomPalette(QWidget* owner) : QWidget(owner, Qt::Tool), ui_(new Ui::frmCustomPalette) {
    ui_->setupUi(this);
    LocalizeForm(this);
    createCells();
    Ui::frmCustomPalette& u = *ui_;
    connect(u.cmdApply, &QPushButton::clicked, this, [this] { Guarded([this] { cmdApply_Click(); }); });
    connect(u.cmdChangeColor, &QPushButton::clicked, this, [this] { Guarded([this] { cmdChangeColor_Click(); }); });
    connect(u.cmdCopy, &QPushButton::clicked, this, [this] { Guarded([this] { cmdCopy_Click(); }); });
    connect(u.cmdPaste, &QPushButton::clicked, this, [this] { Guarded([this] { cmdPaste_Click(); }); });
    connect(u.cmdLoadPalette, &QPushButton::clicked, this, [this] { Guarded([this] { cmdLoadPalette_Click(); }); });
    connect(u.cmdSavePalette, &QPushButton::clicked, this, [this] { Guarded([this] { cmdSavePalette_Click(); }); });
    // Nothing to show until a picture is given: "no palette", every button off.
    u.frameColorPalette->hide();
    enableButtons(24);
    selectedIndex_ = 0;
}

frmCustomPalette::~frmCustomPalette() = default;

void frmCustomPalette::createCells() {
    const double tpp = twipsPerPixel(this);
    const auto px = [tpp](int twips) { return static_cast<int>(std::lround(twips / tpp)); };
    for (int i = 0; i < kCellCount; ++i) {
        auto* cell = new QPushButton(ui_->frameColorPalette);
        cell->setObjectName(QStringLiteral("Command1_%1").arg(i));
        cell->setFocusPolicy(Qt::NoFocus);
        const int left = kCellLeftTwips + kCellPitchTwips * (i % 16);
        const int top = kCellTopTwips + kCellPitchTwips * (i / 16);
        cell->setGeometry(px(left), px(top), px(left + kCellSizeTwips) - px(left), px(top + kCellSizeTwips) - px(top));
        connect(cell, &QPushButton::clicked, this, [this, i] { Guarded([this, i] { Command1_Click(i); }); });
        cellButtons_[static_cast<std::size_t>(i)] = cell;
        setCell(i, 0, false);
    }
}

void frmCustomPalette::setCell(int index, imaging::Rgb color, bool visible) {
    CellState& cell = cells_[static_cast<std::size_t>(index)];
    cell.color = visible ? color & 0xFFFFFF : 0;
    cell.visible = visible;
    QPushButton* button = cellButtons_[static_cast<std::size_t>(index)];
    button->setStyleSheet(cellStyle(cell.color, visible && index == selectedIndex_));
    button->setVisible(visible);
}

void frmCustomPalette::showCells(const std::vector<imaging::Rgb>& colors, int count) {
    const int previous = selectedIndex_;
    if (selectedIndex_ > count - 1) selectedIndex_ = 0;
    for (int i = 0; i < kCellCount; ++i) {
        const bool visible = i < count;
        setCell(i, visible && i < static_cast<int>(colors.size()) ? colors[static_cast<std::size_t>(i)] : 0, visible);
    }
    if (previous != selectedIndex_ && previous < kCellCount) setCell(previous, CellColor(previous), IsCellVisible(previous));
    ui_->frameColorPalette->show();
    ui_->lblNoPalette->hide();
    Command1_Click(selectedIndex_);
}

void frmCustomPalette::enableButtons(int bits) {
    Ui::frmCustomPalette& u = *ui_;
    const int v = hooks_.selectedVariation ? hooks_.selectedVariation() : -1;
    const bool variation = v > 0 && bits <= 8;
    for (QPushButton* button : {u.cmdLoadPalette, u.cmdSavePalette, u.cmdCopy, u.cmdPaste, u.cmdApply})
        button->setEnabled(variation);
    // The Original's palette can be edited colour by colour, nothing else.
    u.cmdChangeColor->setEnabled(variation || (v == 0 && bits <= 8));
}

void frmCustomPalette::showMessage(int textId, int titleId) {
    const QString text = LoadText(textId);
    const QString title = titleId ? LoadText(titleId) : QString();
    if (messageFunction()) {
        messageFunction()(text, title);
        return;
    }
    QMessageBox::warning(this, title.isEmpty() ? windowTitle() : title, text);
}

// --- Public operations ------------------------------------------------------------------------

void frmCustomPalette::DisplayPalette(imaging::ImageControl& target, const imaging::ImageControl* source) {
    currentPicture_ = &target;
    const imaging::ImageControl& shown = source ? *source : target;
    const int bits = shown.HasBitmap() ? shown.BitmapBits() : 0;
    if (bits >= 1 && bits <= 8) {
        std::vector<imaging::Rgb> colors;
        const int count = 1 << bits;
        colors.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) colors.push_back(shown.BitmapPalette(i));
        showCells(colors, count);
    } else {
        ui_->frameColorPalette->hide();
        ui_->lblNoPalette->show();
        ui_->lblPaletteIndex->clear();
        ui_->lblRGBColor->clear();
    }
    enableButtons(bits >= 1 ? bits : 24);
}

void frmCustomPalette::SetPaletteButton(imaging::ImageControl& picture, float x, float y) {
    currentPicture_ = &picture;
    // The point arrives in twips within the control; the picture's own pixel under it is
    // found from the drawn rectangle, whatever the zoom and scroll position.
    const imaging::ImageControl::ScaleUnit unit = picture.ScaleMode();
    picture.SetScaleMode(imaging::ImageControl::ScaleUnit::Twips);
    const double dstLeft = picture.DstLeft();
    const double dstTop = picture.DstTop();
    const double dstWidth = picture.DstWidth();
    const double dstHeight = picture.DstHeight();
    picture.SetScaleMode(imaging::ImageControl::ScaleUnit::Pixels);
    const double fx = dstWidth > 0 ? (x - dstLeft) / dstWidth : 0.0;
    const double fy = dstHeight > 0 ? (y - dstTop) / dstHeight : 0.0;
    const int px = static_cast<int>(std::floor(picture.SrcLeft() + fx * picture.BitmapWidth()));
    const int py = static_cast<int>(std::floor(picture.SrcTop() + fy * picture.BitmapHeight()));
    picture.SetScaleMode(unit);
    SetPaletteButtonAtPixel(picture, px, py);
}

void frmCustomPalette::SetPaletteButtonAtPixel(imaging::ImageControl& picture, int px, int py) {
    currentPicture_ = &picture;
    const imaging::Rgb color = picture.Pixel(px, py) & 0xFFFFFF;
    const int bits = picture.BitmapBits();
    if (bits >= 1 && bits <= 8) {
        // The first cell of that colour; with none, the previous selection is pressed again.
        for (int i = 0; i < (1 << bits); ++i) {
            if (IsCellVisible(i) && CellColor(i) == color) {
                Command1_Click(i);
                return;
            }
        }
        Command1_Click(selectedIndex_);
    } else {
        ui_->lblRGBColor->setText(ColorToRgbText(static_cast<std::int32_t>(color)));
        ui_->lblPaletteIndex->clear();
    }
}

int frmCustomPalette::UsedPaletteBits() const {
    int firstHidden = kCellCount;
    for (int i = 0; i < kCellCount; ++i) {
        if (!IsCellVisible(i)) {
            firstHidden = i;
            break;
        }
    }
    return imaging::UsedPaletteBits(firstHidden);
}

bool frmCustomPalette::LoadPaletteFromFile(const QString& fileName) {
    std::vector<imaging::Rgb> colors;
    if (imaging::ReadPaletteFile(fileName, colors) != 0) {
        showMessage(kTextLoadFailed, kTextLoadFailedTitle);
        return false;
    }
    showCells(colors, static_cast<int>(colors.size()));
    enableButtons(8);
    return true;
}

bool frmCustomPalette::SavePaletteToFile(const QString& fileName) {
    const int bits = UsedPaletteBits();
    std::vector<imaging::Rgb> colors;
    for (int i = 0; i < (1 << bits); ++i) colors.push_back(IsCellVisible(i) ? CellColor(i) : 0);
    if (imaging::WritePaletteFile(fileName, colors) != 0) {
        showMessage(kTextSaveFailed);
        return false;
    }
    return true;
}

// --- Handlers ---------------------------------------------------------------------------------

void frmCustomPalette::Command1_Click(int index) {
    if (index < 0 || index >= kCellCount) return;
    const int previous = selectedIndex_;
    selectedIndex_ = index;
    if (previous != index) setCell(previous, CellColor(previous), IsCellVisible(previous));
    setCell(index, CellColor(index), IsCellVisible(index));
    ui_->lblPaletteIndex->setText(LoadText(kTextIndex) + QLatin1Char(' ') + QString::number(index));
    ui_->lblRGBColor->setText(ColorToRgbText(static_cast<std::int32_t>(CellColor(index))));
    if (isVisible() && hooks_.isPickingTransparentColor && hooks_.isPickingTransparentColor() &&
        hooks_.transparentColorPicked)
        hooks_.transparentColorPicked(CellColor(index));
}

void frmCustomPalette::cmdApply_Click() {
    imaging::ImageControl* picture = currentPicture_.data();
    // Apply re-encodes a Variation; the Original's palette is edited entry by entry instead.
    if (!picture || !hooks_.selectedVariation || hooks_.selectedVariation() <= 0) return;
    const int bits = UsedPaletteBits();
    const bool wasAnimating = picture->AnimationEnable();
    picture->SetAnimationEnable(false);
    if (picture->BitmapBits() != bits) {
        if (const int result = picture->ColorRes(bits, 2, 0, 0); result != 0) {
            picture->SetAnimationEnable(wasAnimating);
            throw imaging::Error(static_cast<imaging::ErrorCode>(result), picture->LastErrorText().toStdString());
        }
    }
    for (int i = 0; i < (1 << bits); ++i) {
        if (!IsCellVisible(i)) setCell(i, 0, false);
        picture->SetBitmapPalette(i, CellColor(i));
        picture->SetUserPalette(i, picture->BitmapPalette(i));
    }
    picture->ForceRepaint();
    if (hooks_.setToolsPixelDepth) hooks_.setToolsPixelDepth(bits);
    if (hooks_.setToolsCustomPalette) hooks_.setToolsCustomPalette();
    if (hooks_.toolsApply) hooks_.toolsApply();
    // The Variation's picture may have been replaced by the new encoding; only a picture that
    // is still ours gets its animation back.
    if (currentPicture_) currentPicture_->SetAnimationEnable(wasAnimating && currentPicture_ == picture);
}

void frmCustomPalette::cmdChangeColor_Click() {
    // Editing a colour starts from that colour.
    const imaging::Rgb initial = IsCellVisible(selectedIndex_) ? CellColor(selectedIndex_) : lastChosenColor_;
    std::int64_t chosen = -1;
    if (colorChooser()) {
        chosen = colorChooser()(initial);
    } else {
        const QColor start(imaging::redOf(initial), imaging::greenOf(initial), imaging::blueOf(initial));
        const QColor picked = QColorDialog::getColor(start, this);
        if (picked.isValid()) chosen = imaging::makeRgb(picked.red(), picked.green(), picked.blue());
    }
    if (chosen < 0) return;
    if (chosen > 0xFFFFFF) {
        // A colour beyond 8 bits per channel cannot stand in a palette; nothing changes.
        showMessage(kTextColorOutOfRange);
        return;
    }
    const auto color = static_cast<imaging::Rgb>(chosen);
    lastChosenColor_ = color;
    const int index = selectedIndex_;
    if (!IsCellVisible(index) || CellColor(index) == color) return;
    const int entries = 1 << UsedPaletteBits();
    std::vector<imaging::Rgb> before;
    for (int i = 0; i < entries; ++i) before.push_back(IsCellVisible(i) ? CellColor(i) : 0);
    setCell(index, color, true);
    Command1_Click(index);
    const int v = hooks_.selectedVariation ? hooks_.selectedVariation() : -1;
    if (v > 0) {
        std::vector<imaging::Rgb> after = before;
        after[static_cast<std::size_t>(index)] = color;
        if (hooks_.variationPaletteEdited) hooks_.variationPaletteEdited(before, after);
        cmdApply_Click();
    } else if (v == 0 && hooks_.original) {
        imaging::ImageControl* original = hooks_.original();
        if (!original) return;
        original->SetBitmapPalette(index, color);
        std::vector<imaging::Rgb> shared = original->AnimationPalette();
        if (index < static_cast<int>(shared.size())) {
            shared[static_cast<std::size_t>(index)] = color;
            original->SetAnimationPalette(shared);
        }
        original->ForceRepaint();
        if (hooks_.originalChanged) hooks_.originalChanged();
    }
}

void frmCustomPalette::cmdCopy_Click() {
    for (int i = 0; i < kCellCount; ++i) clipboard_[static_cast<std::size_t>(i)] = IsCellVisible(i) ? CellColor(i) : 0;
}

void frmCustomPalette::cmdPaste_Click() {
    for (int i = 0; i < kCellCount; ++i) setCell(i, clipboard_[static_cast<std::size_t>(i)], true);
    Command1_Click(selectedIndex_);
    cmdApply_Click();
}

void frmCustomPalette::cmdLoadPalette_Click() {
    const QString file = chooseFile(this, LoadText(kTextLoadTitle), LoadText(kTextLoadFilter), false);
    if (file.isEmpty()) return;
    ShowBusyPointer();
    // A file that could not be read changes nothing: the Variation keeps its encoding.
    if (LoadPaletteFromFile(file)) cmdApply_Click();
    ShowDefaultPointer();
}

void frmCustomPalette::cmdSavePalette_Click() {
    const QString file = chooseFile(this, LoadText(kTextSaveTitle), LoadText(kTextSaveFilter), true);
    if (file.isEmpty()) return;
    ShowBusyPointer();
    SavePaletteToFile(file);
    ShowDefaultPointer();
}

// --- Placement and closing ----------------------------------------------------------------------

void frmCustomPalette::showEvent(QShowEvent* event) {
    if (!positioned_) {
        positioned_ = true;
        restorePosition();
    }
    // However the window comes up (View > Palette, the first document), it shows the palette
    // of the picture selected now.
    if (hooks_.selectedPicture)
        if (imaging::ImageControl* picture = hooks_.selectedPicture()) DisplayPalette(*picture);
    QWidget::showEvent(event);
}

void frmCustomPalette::restorePosition() {
    Guarded([this] {
        const double tpp = twipsPerPixel(this);
        if (!PalettePositionStored() && hooks_.toolsGeometry && hooks_.toolsGeometry().isValid()) {
            // The first start: under the tools window (or beside it), away from the documents,
            // following the tools window while it takes its first place.
            const auto placement = [this] {
                return FirstPalettePlacement(hooks_.toolsGeometry(), frameGeometry().size(), AvailableScreenArea(*this));
            };
            if (QWidget* tools = parentWidget() ? parentWidget()->findChild<QWidget*>(QStringLiteral("frmTools")) : nullptr)
                FollowUntilMoved(*tools, *this, placement);
            else
                move(placement());
            return;
        }
        const double left = ReadPaletteLeft(0.0f) / tpp;
        const double top = ReadPaletteTop(0.0f) / tpp;
        move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));
    });
}

void frmCustomPalette::savePosition() {
    Guarded([this] {
        const double tpp = twipsPerPixel(this);
        WritePalettePosition(static_cast<float>(pos().x() * tpp), static_cast<float>(pos().y() * tpp));
    });
}

void frmCustomPalette::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        // The close box hides the window through View > Palette, which also clears its check.
        event->ignore();
        if (hooks_.hideRequest)
            hooks_.hideRequest();
        else
            hide();
        return;
    }
    savePosition();
    if (hooks_.unloadNotice) hooks_.unloadNotice();
    event->accept();
}

}  // namespace kalmira
