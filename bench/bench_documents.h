#pragma once
// What the document and tools-window benchmarks set up alike: a picture written once to the
// temporary folder, a document loaded from a file as File > Open loads it, and a document
// holding a picture as a paste or a capture gives it. Choosing and encoding the Variations
// (InitialisiereGrafik) is left to the benchmark: that is what most of them time.

#include <QFile>
#include <QDir>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "codecs/registry.h"
#include "common/globals.h"
#include "document/frmdocument.h"

namespace kalmira_bench {

// <temp>/<name>: `make()` saved with `options` on the first call of the run; with `keep` a file
// left by an earlier run is used as it is (so timing the whole program from outside times the
// document alone).
inline QString temporaryPicture(const QString& name, const std::function<imaging::Image()>& make,
                                const imaging::SaveOptions& options, bool keep = false) {
    const QString path = QDir::temp().filePath(name);
    if (keep && QFile::exists(path)) return path;
    imaging::saveFile(path.toStdString(), make(), options);
    return path;
}

// A document whose Original is the file's picture, loaded as File > Open loads it.
inline std::unique_ptr<kalmira::frmDocument> documentFromFile(const QString& path) {
    auto doc = std::make_unique<kalmira::frmDocument>();
    doc->SetGrafikOriginalFileName(path);
    doc->picOriginal().FileInfo(path, 1000);
    doc->picOriginal().Load(path, 0, 0, -1);
    doc->SetOriginalAnimation(false, 1);
    kalmira::ApplyReady = true;
    return doc;
}

// A document whose Original is `picture` (24 bits, no file; `fileSize` stands for the bytes a
// file of it would have).
inline std::unique_ptr<kalmira::frmDocument> documentFromBitmap(const imaging::Bitmap& picture, std::int64_t fileSize) {
    auto doc = std::make_unique<kalmira::frmDocument>();
    kalmira::ApplyReady = false;
    doc->picOriginal().SetBitmap(picture);
    imaging::ImageInfo info;
    info.width = picture.width();
    info.height = picture.height();
    info.bits = 24;
    info.fileSize = fileSize;
    doc->picOriginal().SetInfo(info);
    doc->SetOriginalAnimation(false, 1);
    kalmira::ApplyReady = true;
    return doc;
}

}  // namespace kalmira_bench
