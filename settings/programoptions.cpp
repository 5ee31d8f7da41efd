#include "settings/programoptions.h"

#include <stdexcept>

namespace kalmira {

namespace {

// Slot 1..6 of the built-in table; fields the slots do not vary keep OptimizeProfile's values.
struct ProfileVariant {
    std::int16_t fileFormat;
    std::int16_t gifMaxPixelDepth;
    std::int16_t jpegQuality;
    std::int16_t jpegYuvColor;
};

constexpr std::array<ProfileVariant, 6> kBuiltInVariants{{
    {kProfileSmallestFile, 8, 200, 1},
    {kProfileAlwaysGif, 8, 200, 1},
    {kProfileAlwaysJpeg, 8, 200, 1},
    {kProfileSmallestFile, 4, 160, 1},
    {kProfileSmallestFile, 2, 120, 2},
    {kProfileSmallestFile, 8, 200, 1},
}};

}  // namespace

OptimizeProfile BuiltInProfile(int slot) {
    if (slot < kFirstProfileSlot || slot > kLastProfileSlot)
        throw std::out_of_range("profile slot out of range");
    const ProfileVariant& v = kBuiltInVariants[static_cast<std::size_t>(slot - kFirstProfileSlot)];
    OptimizeProfile profile;
    profile.FileFormat = v.fileFormat;
    profile.GIFMaxPixelDepth = v.gifMaxPixelDepth;
    profile.JPEGQuality = v.jpegQuality;
    profile.JPEGYUV_Color = v.jpegYuvColor;
    return profile;
}

ProgramOptionsRecord DefaultProgramOptions() {
    ProgramOptionsRecord options;
    for (int slot = kFirstProfileSlot; slot <= kLastProfileSlot; ++slot)
        options.Profiles[static_cast<std::size_t>(slot)] = BuiltInProfile(slot);
    return options;
}

ProgramOptionsRecord& ProgramOptions() {
    static ProgramOptionsRecord options = DefaultProgramOptions();
    return options;
}

MainWindowSettings& MainSettings() {
    static MainWindowSettings settings;
    return settings;
}

}  // namespace kalmira
