#pragma once
// The tools window beside a real document window, as the tools tests drive them: a document
// holding a picture with its Variations shown, every profile a GIF of an optimised palette,
// and the program's message and error hooks collecting what either window says.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "common/errortrap.h"
#include "common/globals.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "fakemainwindow.h"
#include "settings/programoptions.h"
#include "tools/frmtools.h"

namespace kalmira::testing {

template <class T = QWidget>
T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

inline void typeAndEnter(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

class ToolsWindowFixture {
protected:
    QTemporaryDir dir_;
    FakeMainWindow host_;
    QStringList messages_;
    QStringList errors_;
    std::unique_ptr<frmTools> tools_;
    std::unique_ptr<frmDocument> doc_;

    // A document holding `bitmap` with its first `variations` Variations shown (GIFs of the
    // profile's settings), as the main window opens one, and the tools window working on it.
    void openDocument(const imaging::Bitmap& bitmap, int variations = 1) {
        doc_ = std::make_unique<frmDocument>();
        ApplyReady = false;
        doc_->picOriginal().SetBitmap(bitmap);
        imaging::ImageInfo info;
        info.width = bitmap.width();
        info.height = bitmap.height();
        info.bits = 24;
        info.fileSize = static_cast<std::uint64_t>(bitmap.width()) * bitmap.height() * 3;
        doc_->picOriginal().SetInfo(info);
        doc_->SetOriginalAnimation(false, 1);
        ProgramOptions().InitialOpenVariations = static_cast<std::int16_t>(variations);
        ApplyReady = true;
        doc_->InitialisiereGrafik(true);
        doc_->picOriginalAendern();
    }

    QAbstractButton* depth(int d) { return tools_->optPixelDepth(d); }
    QComboBox* format() { return child<QComboBox>(*tools_, "ComboFormat"); }
    int encodes() { return doc_->picCompress(1).EncodeCount(); }

    // Once for the test program: the program's set-up and hooks that collect its messages.
    void startFixture() {
        InitApplication();
        SetReportPrompt([this](const QString&, const QString& message) {
            errors_.append(message);
            return ReportAnswer::Ok;
        });
        frmDocument::SetMessageFunction([this](const QString& text, bool) { messages_.append(text); });
        frmTools::SetMessageFunction([this](const QString& text) { messages_.append(text); });
        SetMainWindowHost(&host_);
        QVERIFY(dir_.isValid());
    }

    // Before each test: default options, every profile a GIF of an optimised palette, no
    // document, and a fresh tools window.
    void resetFixture() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        for (int slot = 1; slot <= 5; ++slot) {
            OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
            p.FileFormat = kProfileAlwaysGif;
            p.GIFMaxPixelDepth = 8;
            p.GIFColorPalette = 2;
            p.GIFMaxColors = 256;
        }
        host_ = FakeMainWindow();
        messages_.clear();
        errors_.clear();
        doc_.reset();
        tools_ = std::make_unique<frmTools>();
        tools_->SetActiveDocumentProvider([this] { return doc_.get(); });
    }

    // After each test: nothing was reported as an error; both windows go.
    void endFixture() {
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        doc_.reset();
        tools_.reset();
    }
};

}  // namespace kalmira::testing
