// A settings change in the tools window until the Variation's caption shows the new size, for
// a 2-megapixel photograph as a JPEG Variation (quality typed) and as an 8-bit GIF Variation
// (interlacing switched), with auto-apply on and no window shown. Beside each, the engine alone
// doing the same round trip (colour resolution, encode to memory, decode); the window's share
// on top of the engine should stay under a tenth.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <memory>

#include "bench_documents.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "document/frmdocument.h"
#include "photo_like.h"
#include "settings/programoptions.h"
#include "common/globals.h"
#include "tools/frmtools.h"

namespace {

constexpr int kWidth = 1732;
constexpr int kHeight = 1155;  // 2.0 megapixels
constexpr int kGifVariation = 1;
constexpr int kJpegVariation = 2;

const imaging::Bitmap& photo() {
    static const imaging::Bitmap bitmap = kalmira_bench::photoLike(kWidth, kHeight);
    return bitmap;
}

// A document with a GIF Variation 1 and a JPEG Variation 2, and the tools window on it.
struct Setup {
    std::unique_ptr<kalmira::frmTools> tools;
    std::unique_ptr<kalmira::frmDocument> doc;

    Setup() {
        kalmira::ProgramOptions() = kalmira::DefaultProgramOptions();
        kalmira::ProgramOptions().FitToWindow = 0;
        kalmira::ProgramOptions().InitialOpenVariations = 2;
        kalmira::ProgramOptions().OptionsAutoApply = 1;
        auto& gif = kalmira::ProgramOptions().Profiles[kGifVariation];
        gif.FileFormat = kalmira::kProfileAlwaysGif;
        gif.GIFMaxPixelDepth = 8;
        gif.GIFColorPalette = 2;
        gif.GIFMaxColors = 256;
        gif.GIFDitheringMethod = 0;
        kalmira::ProgramOptions().Profiles[kJpegVariation].FileFormat = kalmira::kProfileAlwaysJpeg;
        tools = std::make_unique<kalmira::frmTools>();
        doc = kalmira_bench::documentFromBitmap(photo(), 600000);
        tools->SetActiveDocumentProvider([this] { return doc.get(); });
        doc->InitialisiereGrafik(true);
    }
};

void BM_ToolsJpegQualityToCaption(benchmark::State& state) {
    Setup s;
    s.doc->SelektiereGrafik(kJpegVariation);
    auto* quality = s.tools->findChild<QLineEdit*>(QStringLiteral("TextQuality"));
    const int before = s.doc->picCompress(kJpegVariation).EncodeCount();
    int q = 180;
    for (auto _ : state) {
        q = q == 180 ? 181 : 180;
        quality->setText(QString::number(q));
        emit quality->editingFinished();
        benchmark::DoNotOptimize(s.doc->LabelCompress(kJpegVariation)->text());
    }
    state.counters["encodes_per_change"] =
        static_cast<double>(s.doc->picCompress(kJpegVariation).EncodeCount() - before) / static_cast<double>(state.iterations());
    state.counters["bytes"] = static_cast<double>(s.doc->record(kJpegVariation).MemFileSize);
}

void BM_EngineJpegRoundTrip(benchmark::State& state) {
    kalmira::ProgramOptions() = kalmira::DefaultProgramOptions();
    const imaging::Image original = imaging::Image::fromBitmap(photo());
    int q = 180;
    for (auto _ : state) {
        q = q == 180 ? 181 : 180;
        const imaging::Bitmap bits = imaging::colorRes(original.first(), 24, 0, 0, 0);
        imaging::SaveOptions jpeg;
        // The subsampling the JPEG Variation's profile chose.
        const int yuv = kalmira::ProgramOptions().Profiles[kJpegVariation].JPEGYUV_Color;
        jpeg.format = yuv == 1 ? imaging::format::Jpeg422 : yuv == 2 ? imaging::format::Jpeg411 : imaging::format::Jpeg444;
        jpeg.bits = 24;
        jpeg.qualityFactor = 256 - q;
        const imaging::Bytes data = imaging::saveMemory(imaging::Image::fromBitmap(bits), jpeg);
        benchmark::DoNotOptimize(imaging::loadMemory(data));
        state.counters["bytes"] = static_cast<double>(data.size());
    }
}

void BM_ToolsGifInterlaceToCaption(benchmark::State& state) {
    Setup s;
    s.doc->SelektiereGrafik(kGifVariation);
    auto* interlaced = s.tools->findChild<QCheckBox*>(QStringLiteral("CheckFormatGIFInterlaced"));
    const int before = s.doc->picCompress(kGifVariation).EncodeCount();
    for (auto _ : state) {
        interlaced->click();
        benchmark::DoNotOptimize(s.doc->LabelCompress(kGifVariation)->text());
    }
    state.counters["encodes_per_change"] =
        static_cast<double>(s.doc->picCompress(kGifVariation).EncodeCount() - before) / static_cast<double>(state.iterations());
    state.counters["bits"] = s.doc->picCompress(kGifVariation).InfoBits();
}

void BM_EngineGifRoundTrip(benchmark::State& state) {
    const imaging::Image original = imaging::Image::fromBitmap(photo());
    bool interlaced = false;
    for (auto _ : state) {
        interlaced = !interlaced;
        const imaging::Bitmap bits = imaging::colorRes(original.first(), 8, 2, 0, 256);
        imaging::SaveOptions gif;
        gif.format = imaging::format::Gif;
        gif.bits = 8;
        gif.interlaced = interlaced;
        const imaging::Bytes data = imaging::saveMemory(imaging::Image::fromBitmap(bits), gif);
        benchmark::DoNotOptimize(imaging::loadMemory(data));
    }
}

BENCHMARK(BM_ToolsJpegQualityToCaption)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_EngineJpegRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_ToolsGifInterlaceToCaption)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_EngineGifRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kalmira::InitApplication();
    kalmira::ErrorTrapping = false;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
