// Editing the Original by hand on a 2-megapixel picture at 100 %: one step of dragging a
// selection's pixels (move the floating copy, repaint what changed) beside repainting the whole
// picture; and the undo step of a 13-megapixel Original, stored (a copy into the undo picture)
// and restored (moved back), each beside one plain copy of the same pixels.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <chrono>

#include "photo_like.h"
#include "qt/imagecontrol.h"

namespace {

constexpr int kWidth = 1732;
constexpr int kHeight = 1155;  // 2.0 megapixels
constexpr int kLargeWidth = 4416;
constexpr int kLargeHeight = 2944;  // 13.0 megapixels

const imaging::Bitmap& photo() {
    static const imaging::Bitmap bitmap = kalmira_bench::photoLike(kWidth, kHeight);
    return bitmap;
}

const imaging::Bitmap& largePhoto() {
    static const imaging::Bitmap bitmap = kalmira_bench::photoLike(kLargeWidth, kLargeHeight, 7);
    return bitmap;
}

// Paints `area` of the control as the window system would after an update of it: the control's
// paint handler runs clipped to the area, into a screen-sized surface.
void paint(imaging::ImageControl& control, QImage& screen, const QRect& area) {
    control.render(&screen, area.topLeft(), QRegion(area), QWidget::DrawChildren);
}

// A control holding the photograph with a 400 x 300 ellipse lifted as a visible floater.
struct DragSetup {
    imaging::ImageControl control;
    QImage screen{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
    DragSetup() {
        control.SetBitmap(photo());
        control.resize(kWidth, kHeight);
        control.SetRgn(imaging::ops::Region::ellipse(600, 400, 400, 300));
        control.CreateFloater();
        control.SetFloaterVisible(true);
        paint(control, screen, control.rect());
    }
};

void BM_DragStep(benchmark::State& state) {
    DragSetup setup;
    int step = 0;
    for (auto _ : state) {
        const int dx = (step++ / 50) % 2 ? -3 : 3;
        setup.control.MoveFloater(dx, 2 * (dx > 0 ? 1 : -1));
        paint(setup.control, setup.screen, setup.control.LastRegionUpdate());
    }
    state.counters["paints"] = setup.control.PaintCount();
    state.counters["area_px"] = setup.control.LastRegionUpdate().width() * setup.control.LastRegionUpdate().height();
}

void BM_OutlineStep(benchmark::State& state) {
    imaging::ImageControl control;
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    control.SetBitmap(photo());
    control.resize(kWidth, kHeight);
    control.SetRgn(imaging::ops::Region::ellipse(600, 400, 400, 300));
    control.SetRgnFrameType(2);
    paint(control, screen, control.rect());
    const QRect area = control.WidgetRectOf(control.Rgn()->bounds());
    for (auto _ : state) paint(control, screen, area);
    state.counters["area_px"] = area.width() * area.height();
}

void BM_WholePictureRepaint(benchmark::State& state) {
    DragSetup setup;
    for (auto _ : state) paint(setup.control, setup.screen, setup.control.rect());
}

// What storing the step costs the pixels: UndoHinzufuegen copies the Original into picPreview.
void BM_UndoStore13MP(benchmark::State& state) {
    imaging::ImageControl original;
    imaging::ImageControl undo;
    original.SetBitmap(largePhoto());
    for (auto _ : state) {
        undo.CopyPicturesFrom(original);
        benchmark::DoNotOptimize(undo.Bitmap().data().data());
    }
}

// UndoZurueckholen moves the step back into the Original; the store before each restore is
// not timed.
void BM_UndoRestore13MP(benchmark::State& state) {
    imaging::ImageControl original;
    imaging::ImageControl undo;
    original.SetBitmap(largePhoto());
    for (auto _ : state) {
        state.PauseTiming();
        undo.CopyPicturesFrom(original);
        state.ResumeTiming();
        original.TakePicturesFrom(undo);
        benchmark::DoNotOptimize(original.Bitmap().data().data());
    }
}

void BM_PlainCopy13MP(benchmark::State& state) {
    const imaging::Bitmap& source = largePhoto();
    for (auto _ : state) {
        imaging::Bitmap copy = source;
        benchmark::DoNotOptimize(copy.data().data());
    }
}

BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutlineStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholePictureRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy13MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoStore13MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRestore13MP)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
