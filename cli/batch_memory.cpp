#include "batch_memory.h"

#include <algorithm>

#include "codecs/registry.h"
#include "core/error.h"
#include "core/limits.h"

namespace kalmira::cli {

MemoryGate::Share::Share(MemoryGate& gate, std::uint64_t bytes) : gate_(gate), bytes_(std::min(bytes, gate.capacity_)) {
    std::unique_lock lock(gate_.mutex_);
    gate_.freed_.wait(lock, [&] { return gate_.used_ + bytes_ <= gate_.capacity_; });
    gate_.used_ += bytes_;
    gate_.peak_ = std::max(gate_.peak_, gate_.used_);
}

MemoryGate::Share::~Share() {
    {
        std::lock_guard lock(gate_.mutex_);
        gate_.used_ -= bytes_;
    }
    gate_.freed_.notify_all();
}

std::uint64_t MemoryGate::inUse() const {
    std::lock_guard lock(mutex_);
    return used_;
}

std::uint64_t MemoryGate::peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

std::uint64_t estimatedWorkingBytes(const imaging::Bytes& data) {
    try {
        const imaging::ImageInfo info = imaging::readInfo(data);
        // An animated GIF keeps every frame; any other file is read for its first page alone.
        const bool frames = info.format == imaging::format::Gif && info.pages > 1;
        const std::uint64_t perPage = imaging::workingBytesFor(info.width, info.height);
        return perPage * static_cast<std::uint64_t>(frames ? info.pages : 1) + data.size();
    } catch (const std::exception&) {
        return data.size() + (std::uint64_t{8} << 20);
    }
}

std::uint64_t batchMemoryCapacity() { return imaging::machineMemoryBytes() / 4 * 3; }

}  // namespace kalmira::cli
