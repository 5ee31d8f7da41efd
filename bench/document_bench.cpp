// Opening a 2-megapixel photograph in a document (no window shown) with the default profiles:
// Variation 1 chooses the smaller of GIF and JPEG, so it encodes twice. Beside it, the engine
// alone doing the same work (colour resolution, encode to memory, decode) for both formats;
// the document should stay within a small factor of the bare engine.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QLabel>

#include <memory>

#include "codecs/registry.h"
#include "color/colorres.h"
#include "document/frmdocument.h"
#include "bench_documents.h"
#include "photo_like.h"
#include "settings/programoptions.h"
#include "common/globals.h"

namespace {

constexpr int kWidth = 1732;
constexpr int kHeight = 1155;  // 2.0 megapixels

const QString& photoFile() {
    static const QString path = [] {
        imaging::SaveOptions options;
        options.format = imaging::format::Jpeg444;
        options.qualityFactor = 40;
        return kalmira_bench::temporaryPicture(
            QStringLiteral("kalmira_document_bench.jpg"),
            [] { return imaging::Image::fromBitmap(kalmira_bench::photoLike(kWidth, kHeight)); }, options);
    }();
    return path;
}

const kalmira::OptimizeProfile& profile1() { return kalmira::ProgramOptions().Profiles[1]; }

void BM_DocumentFirstVariation(benchmark::State& state) {
    const QString path = photoFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = kalmira_bench::documentFromFile(path);
        state.ResumeTiming();

        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        QApplication::processEvents();
        benchmark::DoNotOptimize(doc->LabelCompress(1)->text());

        state.PauseTiming();
        state.counters["encodes"] = doc->picCompress(1).EncodeCount();
        state.counters["format"] = doc->record(1).Format;
        state.counters["bytes"] = static_cast<double>(doc->record(1).MemFileSize);
        doc.reset();
        state.ResumeTiming();
    }
}

void BM_EngineRoundTrip(benchmark::State& state) {
    const imaging::Image original = imaging::loadFile(photoFile().toStdString());
    const kalmira::OptimizeProfile& p = profile1();
    for (auto _ : state) {
        // GIF at the depth the document picks for a photograph (capped by the profile).
        const imaging::Bitmap gifBits =
            imaging::colorRes(original.first(), p.GIFMaxPixelDepth, p.GIFColorPalette, p.GIFDitheringMethod, p.GIFMaxColors);
        imaging::SaveOptions gif;
        gif.format = imaging::format::Gif;
        gif.bits = p.GIFMaxPixelDepth;
        const imaging::Bytes gifData = imaging::saveMemory(imaging::Image::fromBitmap(gifBits), gif);
        benchmark::DoNotOptimize(imaging::loadMemory(gifData));

        const imaging::Bitmap jpegBits = imaging::colorRes(original.first(), 24, 0, 0, 0);
        imaging::SaveOptions jpeg;
        jpeg.format = p.JPEGYUV_Color == 1 ? imaging::format::Jpeg422
                      : p.JPEGYUV_Color == 2 ? imaging::format::Jpeg411
                                             : imaging::format::Jpeg444;
        jpeg.bits = 24;
        jpeg.qualityFactor = 256 - p.JPEGQuality;
        const imaging::Bytes jpegData = imaging::saveMemory(imaging::Image::fromBitmap(jpegBits), jpeg);
        benchmark::DoNotOptimize(imaging::loadMemory(jpegData));
        state.counters["bytes"] = static_cast<double>(std::min(gifData.size(), jpegData.size()));
    }
}

BENCHMARK(BM_DocumentFirstVariation)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EngineRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kalmira::InitApplication();
    kalmira::ErrorTrapping = false;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QFile::remove(photoFile());
    return 0;
}
