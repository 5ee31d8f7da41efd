// A full-screen capture of 1600 x 1000 on an X server of the benchmark's own, three ways: the
// bare X request for the root window's pixels (what any capture has to pay), the capture
// control's grab into a bitmap, and the whole road to a shown document (grab, new document
// with its Original, the window laid out, every shown Variation asked for), and on until every
// Variation is chosen, encoded and in. The screen shows a
// photo-like picture, so the encodings work on real content.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>

#include <xcb/xcb.h>

#include <cstdio>
#include <memory>

#include "../tests/support/xvfbserver.h"
#include "common/globals.h"
#include "document/frmdocument.h"
#include "photo_like.h"
#include "qt/qimagebridge.h"
#include "qt/x11capturecontrol.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/frmmain.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

kalmira::frmMain* mainWindow = nullptr;

xcb_connection_t* connection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

void BM_BareRootImage(benchmark::State& state) {
    xcb_connection_t* c = connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (auto _ : state) {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, 0, 0, kWidth, kHeight, ~0u), nullptr);
        benchmark::DoNotOptimize(image);
        std::free(image);
    }
}

void BM_CaptureControlGrab(benchmark::State& state) {
    imaging::X11CaptureControl control;
    for (auto _ : state) {
        imaging::Bitmap picture = control.GrabFullScreen();
        benchmark::DoNotOptimize(picture.data().data());
        if (picture.width() != kWidth) state.SkipWithError("the grab is not full screen");
    }
}

// Up to the shown document: its Original shown and laid out, its Variations asked for (they
// come in afterwards, while the window takes input); with range(0) 1, until the last is in.
void BM_CaptureToShownDocument(benchmark::State& state) {
    imaging::X11CaptureControl control;
    kalmira::PictureCommands& pictures = mainWindow->Edit().Pictures();
    const bool variationsIn = state.range(0) != 0;
    kalmira::frmDocument::SetWaitForUpdates(false);
    for (auto _ : state) {
        imaging::Bitmap picture = control.GrabFullScreen();
        kalmira::frmDocument* document = pictures.NewDocumentFromBitmap(std::move(picture));
        QApplication::processEvents();
        if (!document) state.SkipWithError("no document");
        if (document && variationsIn) document->WaitForUpdates();
        state.PauseTiming();
        delete document->parentWidget();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_BareRootImage)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CaptureControlGrab)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CaptureToShownDocument)->ArgName("variations_in")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
    kalmira::testing::XvfbServer server(kWidth, kHeight);
    if (!server.running()) {
        std::printf("The capture benchmark needs Xvfb: %s\n", server.reason().c_str());
        return 1;
    }
    server.useForQt();
    kalmira::LanguageOffset = kalmira::LanguageOffsetFromEnvironment();
    QApplication app(argc, argv);
    kalmira::InitApplication();
    // What the screen shows: a photograph under the program's own window.
    QLabel backdrop;
    backdrop.setWindowFlags(Qt::FramelessWindowHint);
    backdrop.setPixmap(QPixmap::fromImage(imaging::toQImage(kalmira_bench::photoLike(kWidth, kHeight))));
    backdrop.setGeometry(0, 0, kWidth, kHeight);
    backdrop.show();
    kalmira::frmMain window;
    window.Load({});
    window.setGeometry(100, 80, 1000, 700);
    window.show();
    mainWindow = &window;
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
