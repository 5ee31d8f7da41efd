#include "shell/palettewindowhost.h"

#include "ui_frmMain.h"

#include "common/errortrap.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/frmcustompalette.h"
#include "settings/gifjpegrules.h"
#include "settings/programoptions.h"
#include "shell/commands/viewcommands.h"
#include "shell/frmmain.h"
#include "tools/frmtools.h"

#include <QAbstractButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace kalmira {

namespace {

// Lives as a child of the window, so the registration ends with the window.
class PaletteWindowHost : public QObject, public PaletteHost {
public:
    explicit PaletteWindowHost(frmCustomPalette& window) : QObject(&window), window_(&window) {}
    ~PaletteWindowHost() override {
        if (paletteHost() == this) SetPaletteHost(nullptr);
    }
    void DisplayPalette(imaging::ImageControl& picture) override {
        if (window_) window_->DisplayPalette(picture);
    }
    void SetPaletteButton(imaging::ImageControl& picture, int x, int y) override {
        if (window_) window_->SetPaletteButtonAtPixel(picture, x, y);
    }

private:
    QPointer<frmCustomPalette> window_;
};

// Runs `change` with auto-apply held at 0, so selecting a tools button does not encode.
template <class Change>
void withoutAutoApply(Change&& change) {
    std::int16_t& autoApply = ProgramOptions().OptionsAutoApply;
    const std::int16_t was = autoApply;
    autoApply = 0;
    struct Restore {
        std::int16_t& value;
        std::int16_t was;
        ~Restore() { value = was; }
    } restore{autoApply, was};
    change();
}

}  // namespace

void installPaletteWindow(frmMain& main) {
    auto* palette = new frmCustomPalette(&main);
    const auto tools = [&main] { return qobject_cast<frmTools*>(main.ToolsWindow()); };
    frmCustomPalette::Hooks hooks;
    hooks.selectedVariation = [&main] {
        frmDocument* document = main.ActiveDocument();
        return document ? document->FindeSelektierteGrafik() : -1;
    };
    hooks.selectedPicture = [&main]() -> imaging::ImageControl* {
        frmDocument* document = main.ActiveDocument();
        if (!document) return nullptr;
        const int n = document->FindeSelektierteGrafik();
        return n == 0 ? &document->picOriginal() : &document->picCompress(n);
    };
    hooks.original = [&main]() -> imaging::ImageControl* {
        frmDocument* document = main.ActiveDocument();
        return document ? &document->picOriginal() : nullptr;
    };
    hooks.originalChanged = [&main] {
        if (frmDocument* document = main.ActiveDocument()) document->picOriginalAendern();
    };
    hooks.isPickingTransparentColor = [&main] {
        frmDocument* document = main.ActiveDocument();
        return document && document->GetTransparentFarbeSelektieren();
    };
    hooks.transparentColorPicked = [&main, tools](imaging::Rgb color) {
        if (frmDocument* document = main.ActiveDocument()) {
            document->SetTransparentFarbeSelektieren(false);
            const int n = document->FindeSelektierteGrafik();
            if (n > 0) document->picCompress(n).unsetCursor();
        }
        if (frmTools* window = tools()) window->TransparentColorPicked(color);
    };
    hooks.setToolsPixelDepth = [tools](int bits) {
        frmTools* window = tools();
        if (!window) return;
        withoutAutoApply([&] {
            if (QAbstractButton* button = window->optPixelDepth(bits)) button->setChecked(true);
        });
    };
    hooks.setToolsCustomPalette = [tools] {
        frmTools* window = tools();
        if (!window) return;
        withoutAutoApply([&] {
            QAbstractButton* custom = window->optPalette(kPaletteCustom);
            if (!custom) return;
            // Already chosen: the button does not toggle, so the palette is taken over here.
            if (custom->isChecked())
                window->optPalette_Click(kPaletteCustom);
            else
                custom->setChecked(true);
        });
    };
    hooks.toolsApply = [tools] {
        if (frmTools* window = tools()) window->CommandApply_Click();
    };
    hooks.variationPaletteEdited = [&main](const std::vector<imaging::Rgb>& before, const std::vector<imaging::Rgb>& after) {
        frmDocument* document = main.ActiveDocument();
        const int n = document ? document->FindeSelektierteGrafik() : 0;
        if (n > 0) document->SetEditedPalette(n, before, after);
    };
    hooks.hideRequest = [&main] { main.View().TogglePalette(true); };
    hooks.unloadNotice = [&main] { main.View().SetPaletteChecked(false); };
    hooks.toolsGeometry = [tools] {
        frmTools* window = tools();
        return window ? window->frameGeometry() : QRect();
    };
    palette->SetHooks(std::move(hooks));
    // Another document window coming to the front (or the first one once it holds its picture)
    // brings its selected picture's palette. The window passed is used, not the main window's
    // state, since this also fires while the main window is being torn down.
    QObject::connect(main.MdiArea(), &QMdiArea::subWindowActivated, palette, [palette](QMdiSubWindow* window) {
        auto* document = window ? qobject_cast<frmDocument*>(window->widget()) : nullptr;
        if (!document || !palette->isVisible() || !document->picOriginal().HasBitmap()) return;
        const int n = document->FindeSelektierteGrafik();
        Guarded([&] { palette->DisplayPalette(n == 0 ? document->picOriginal() : document->picCompress(n)); });
    });
    main.SetPaletteWindow(palette);
    SetPaletteHost(new PaletteWindowHost(*palette));
}

}  // namespace kalmira
