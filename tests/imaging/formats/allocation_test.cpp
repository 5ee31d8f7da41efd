// Hostile headers must be refused before the reader allocates for the picture they claim.
// This program counts the largest single allocation, so a reader that allocates first and
// finds the data missing afterwards fails here even though it reports the right error.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <sys/resource.h>

#include "codecs/registry.h"
#include "core/error.h"

namespace {
std::atomic<std::size_t> largestAllocation{0};

void* allocate(std::size_t n) {
    std::size_t seen = largestAllocation.load();
    while (n > seen && !largestAllocation.compare_exchange_weak(seen, n)) {
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace imaging;

namespace {

constexpr std::size_t kAllowed = 16u << 20;

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, v >> 16);
    put16(b, v & 0xFFFF);
}

// A PSD header with empty mode data, resources and layers, then `payload` bytes of 0x55.
Bytes psd(unsigned channels, std::uint32_t side, unsigned depth, unsigned mode, unsigned compression,
          std::size_t payload) {
    Bytes b = {'8', 'B', 'P', 'S'};
    put16(b, 1);
    b.insert(b.end(), 6, 0);
    put16(b, channels);
    put32(b, side);
    put32(b, side);
    put16(b, depth);
    put16(b, mode);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put16(b, compression);
    b.insert(b.end(), payload, 0x55);
    return b;
}

ErrorCode readError(const Bytes& file, std::size_t& largest) {
    largestAllocation = 0;
    try {
        loadMemory(file);
    } catch (const Error& e) {
        largest = largestAllocation;
        return e.code();
    }
    largest = largestAllocation;
    return ErrorCode::Ok;
}

TEST(HostilePsd, ClaimsOfGigabytesOverAFewBytesAreRefusedBeforeAllocating) {
    // 16000 x 16000, four 16-bit channels, uncompressed: 2 GB claimed, 100 bytes present.
    const Bytes raw = psd(4, 16000, 16, 3, 0, 100);
    ASSERT_EQ(raw.size(), 140u);
    // 13230 x 13230 grey of 16 bits, run-length coded: 350 MB claimed, no counts table.
    const Bytes rle = psd(1, 13230, 16, 1, 1, 62);
    ASSERT_EQ(rle.size(), 102u);
    for (const Bytes* file : {&raw, &rle}) {
        std::size_t largest = 0;
        EXPECT_EQ(readError(*file, largest), ErrorCode::Truncated) << file->size() << " bytes";
        EXPECT_LT(largest, kAllowed) << file->size() << " bytes";
    }
}

TEST(HostilePsd, AnHonestFileOfTheSameKindIsStillRead) {
    // 2 x 2, four 16-bit channels, uncompressed: the reader keeps each sample's high byte.
    Bytes file = psd(4, 2, 16, 3, 0, 0);
    for (int channel = 0; channel < 4; ++channel)
        for (int i = 0; i < 4; ++i) put16(file, static_cast<unsigned>((channel * 64 + i * 16) << 8 | 0x7F));
    const Image image = loadMemory(file);
    const Bitmap& bmp = image.frames.at(0).bitmap;
    ASSERT_EQ(bmp.bits(), 32);
    ASSERT_EQ(bmp.width(), 2);
    for (int i = 0; i < 4; ++i)
        for (int channel = 0; channel < 4; ++channel)
            EXPECT_EQ(bmp.row(i / 2)[4 * (i % 2) + channel], channel * 64 + i * 16) << i << "," << channel;
}

// A PNG (found by the fuzzer under its allocation limit) whose chunk after the header claims a
// length of about 1 GB: libpng would allocate that much for it before finding it missing.
const std::uint8_t kPngClaimingAGigabyte[] = {
    137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 73, 72, 68, 82, 0, 0, 0, 9, 0, 0, 0, 9, 8, 3, 0, 0, 0, 215, 79,
    246, 34, 0, 0, 0, 4, 112, 65, 77, 65, 0, 0, 177, 143, 11, 252, 97, 5, 0, 0, 0, 32, 99, 72, 82, 77, 0, 0, 122,
    38, 0, 0, 128, 132, 0, 0, 250, 0, 0, 0, 128, 232, 0, 0, 117, 48, 98, 177, 64, 88, 44, 48, 192, 192, 10, 3, 0,
    17, 33, 0, 173, 65, 64, 0, 0, 37, 116, 69, 88, 116, 100, 97, 116, 101, 58, 109, 111, 100, 105, 102, 121, 0, 50,
    48, 50, 54, 45, 49, 50, 45, 60, 0, 44, 48, 192, 192, 10, 3, 0, 17, 33, 0, 173, 65, 0, 0, 0, 37, 116, 69, 88,
    116, 100, 97, 116, 101, 58, 109, 111, 100, 105, 102, 121, 0, 50, 48, 50, 54, 45, 49, 50, 45, 48, 55, 84, 48, 56,
    58, 52, 56, 58, 53, 55, 43, 48, 48, 58, 48, 48, 151, 80, 145, 253, 0, 0, 48, 55, 84, 48, 56, 58, 52, 56, 58, 53,
    55, 43, 48, 48, 58, 48, 48, 151, 80, 145, 253, 0, 0, 0, 0, 73, 69, 78, 68, 174, 66, 96, 130
};

// Exits with 0 when the file is refused as Truncated under the address-space limit.
[[noreturn]] void readWithinAddressSpace(const Bytes& file, rlim_t bytes) {
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    std::size_t ignored = 0;
    std::_Exit(readError(file, ignored) == ErrorCode::Truncated ? 0 : 1);
}

TEST(HostilePng, AChunkLongerThanTheFileIsRefusedBeforeAllocating) {
    const Bytes file(std::begin(kPngClaimingAGigabyte), std::end(kPngClaimingAGigabyte));
    std::size_t largest = 0;
    EXPECT_EQ(readError(file, largest), ErrorCode::Truncated);
    EXPECT_LT(largest, kAllowed);
    // libpng allocates with malloc, which the count above does not see: with the address
    // space limited to 768 MB the gigabyte cannot be had, so a reader that asked for it would
    // fail another way.
    EXPECT_EXIT(readWithinAddressSpace(file, 768u << 20), ::testing::ExitedWithCode(0), "");
}

}  // namespace
