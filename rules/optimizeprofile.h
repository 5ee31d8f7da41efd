#pragma once
// The optimisation profiles: the automatic-format defaults of each Variation slot and of batch
// work, and the keys they are kept under in the settings file. One table gives every key, how
// its text is read and each slot's default, so a default is written down exactly once.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalmira {

// "Applies to" choices of a profile (FileFormat).
inline constexpr std::int16_t kProfileAlwaysGif = 1;
inline constexpr std::int16_t kProfileAlwaysJpeg = 2;
inline constexpr std::int16_t kProfileByColorDepth = 3;
inline constexpr std::int16_t kProfileSmallestFile = 4;

// The automatic-format defaults of one slot. A new Variation n takes slot n.
struct OptimizeProfile {
    std::int16_t FileFormat = kProfileSmallestFile;  // 1 GIF, 2 JPEG, 3 by colour depth, 4 smallest
    std::int16_t GIFMaxPixelDepth = 8;               // 1..8
    std::int16_t GIFDitheringMethod = 0;             // internal dithering code 0..7
    std::int16_t GIFMaxColors = 256;                 // 1..256
    std::int16_t GIFColorPalette = 2;                // 1 fixed, 2 optimised, 8 Windows, 16 custom, 64 Netscape
    std::string GIFPaletteFileName;                  // full path for palette kind 16, else empty (UTF-8)
    std::int16_t GIFInterlaced = 0;                  // 1 or 0
    std::int16_t JPEGQuality = 200;                  // 1..254, the quality slider's position
    std::int16_t JPEGProgressive = 0;                // 1 or 0
    std::int16_t JPEGPasses = 2;                     // 0..64
    std::int16_t JPEGYUV_Color = 1;                  // 0 = 4:4:4, 1 = 4:2:2, 2 = 4:1:1
    std::int16_t JPEGGrayscale = 0;                  // 1 or 0

    friend bool operator==(const OptimizeProfile&, const OptimizeProfile&) = default;
};

inline constexpr int kFirstProfileSlot = 1;
inline constexpr int kLastProfileSlot = 6;   // slot 6 is kept for batch work; no Variation uses it
inline constexpr int kBatchProfileSlot = 6;
inline constexpr int kProfileSlotCount = 7;  // index 0 is never used

// The built-in defaults of slot 1..6 (used when a key is absent). Slot 2 is always GIF, slot 3
// always JPEG, slots 4 and 5 trade depth and quality for size. Throws std::out_of_range for
// another slot.
OptimizeProfile BuiltInProfile(int slot);

namespace settings {

// How a stored text is turned back into a value.
enum class ValueKind {
    LeadingInt16,       // leading-number parse, rounded, 16 bit ("1e3" -> 1000, "x" -> 0)
    LeadingInt32,       // the same, 32 bit
    StrictWholeNumber,  // the whole text a number, rounded, 32 bit (main window twips)
    StrictSingle,       // the whole text a number, single precision (tool window twips)
    StrictBoolean,      // True / False / a number
    Text,               // the text itself
};

inline constexpr std::string_view kProfileSectionPrefix = "Optimize";  // + slot 1..6

// The twelve keys of each section "Optimize1".."Optimize6", in field order, with the default
// of each slot.
struct ProfileKey {
    std::string_view key;
    ValueKind kind;
    std::array<std::string_view, 6> slotDefaults;  // slot 1..6
    std::int16_t OptimizeProfile::*field16 = nullptr;
    std::string OptimizeProfile::*textField = nullptr;
};

inline constexpr std::array<ProfileKey, 12> kProfileKeys{{
    {"FileFormat", ValueKind::LeadingInt16, {"4", "1", "2", "4", "4", "4"}, &OptimizeProfile::FileFormat},
    {"GIFMaxPixelDepth", ValueKind::LeadingInt16, {"8", "8", "8", "4", "2", "8"}, &OptimizeProfile::GIFMaxPixelDepth},
    {"GIFDitheringMethod", ValueKind::LeadingInt16, {"0", "0", "0", "0", "0", "0"}, &OptimizeProfile::GIFDitheringMethod},
    {"GIFMaxColors", ValueKind::LeadingInt16, {"256", "256", "256", "256", "256", "256"}, &OptimizeProfile::GIFMaxColors},
    {"GIFColorPalette", ValueKind::LeadingInt16, {"2", "2", "2", "2", "2", "2"}, &OptimizeProfile::GIFColorPalette},
    {"GIFPaletteFileName", ValueKind::Text, {"", "", "", "", "", ""}, nullptr, &OptimizeProfile::GIFPaletteFileName},
    {"GIFInterlaced", ValueKind::LeadingInt16, {"0", "0", "0", "0", "0", "0"}, &OptimizeProfile::GIFInterlaced},
    {"JPEGQuality", ValueKind::LeadingInt16, {"200", "200", "200", "160", "120", "200"}, &OptimizeProfile::JPEGQuality},
    {"JPEGProgressive", ValueKind::LeadingInt16, {"0", "0", "0", "0", "0", "0"}, &OptimizeProfile::JPEGProgressive},
    {"JPEGPasses", ValueKind::LeadingInt16, {"2", "2", "2", "2", "2", "2"}, &OptimizeProfile::JPEGPasses},
    {"JPEGYUV_Color", ValueKind::LeadingInt16, {"1", "1", "1", "1", "2", "1"}, &OptimizeProfile::JPEGYUV_Color},
    {"JPEGGrayscale", ValueKind::LeadingInt16, {"0", "0", "0", "0", "0", "0"}, &OptimizeProfile::JPEGGrayscale},
}};

// The section of a profile slot: "Optimize" followed by the slot number.
std::string ProfileSection(int slot);

}  // namespace settings

}  // namespace kalmira
