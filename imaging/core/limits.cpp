#include "core/limits.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace imaging {

long long maxDecodedBytesPerStoredByte(Compression compression) {
    switch (compression) {
    case Compression::Uncompressed: return 1;
    case Compression::PackBits: return 64;
    case Compression::Deflate: return 1032;
    case Compression::Lzw: return 4096;
    case Compression::Jpeg: return 2048 * 4;  // as the JPEG reader: 2048 pixels a byte, 4 bytes each
    case Compression::Fax:
    case Compression::Other: return 65536 / 8 + 1;
    }
    return 1;
}

std::uint64_t workingBytesFor(long long width, long long height) {
    const auto pixels = static_cast<std::uint64_t>(std::max(0LL, width)) * static_cast<std::uint64_t>(std::max(0LL, height));
    // 4 bytes for the decoded bitmap, 4 for the reduced copy, 4 for the decoded encoding and
    // about 2 for the encoded file and the encoder's rows.
    return pixels * 14 + (std::uint64_t{8} << 20);
}

std::uint64_t machineMemoryBytes() {
    std::ifstream info("/proc/meminfo");
    for (std::string key; info >> key;) {
        std::uint64_t kib = 0;
        info >> kib;
        if (key == "MemAvailable:" && kib > 0) return kib * 1024;
        info.ignore(256, '\n');
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0) return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
    return std::uint64_t{1} << 30;
}

namespace {
thread_local const std::atomic<bool>* stopFlag = nullptr;
}

void setStopFlag(const std::atomic<bool>* flag) { stopFlag = flag; }

bool stopRequested() { return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed); }

}  // namespace imaging
