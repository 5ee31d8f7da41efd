// Hands arbitrary bytes to the settings file reader, to the command line's profile reader and to
// every conversion a stored text goes through, and checks the properties that must hold for any
// input: no crash, a success never carries a value its type cannot hold, the strict conversions
// agree with the leading-number parse on texts they accept, and whatever the reader finds is
// written back and read the same.
#include "rules/conversions.h"
#include "rules/initext.h"
#include "rules/profilefile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalmira::settings;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const Conversion<double> leading = LeadingNumber(text);
    require(!leading.ok() || std::isfinite(leading.value));
    LeadingInt16(text);
    const Conversion<std::int32_t> leading32 = LeadingInt32(text);

    const Conversion<double> strict = StrictNumber(text);
    const Conversion<std::int32_t> whole = StrictWholeNumber(text);
    const Conversion<float> single = StrictSingle(text);
    require(!single.ok() || std::isfinite(single.value));
    const Conversion<bool> flag = StrictBoolean(text);
    require((strict.status == ConversionStatus::TypeMismatch) == (whole.status == ConversionStatus::TypeMismatch));
    if (strict.ok()) require(flag.ok() && flag.value == (strict.value != 0.0));

    // A text every strict reader accepts, written with "." and without blanks before it, is
    // also read the same by the leading-number parse.
    if (whole.ok() && text.find(',') == std::string_view::npos && !text.empty() && text.front() != ' ' &&
        text.front() != '\t' && text.front() != '\r' && text.front() != '\n')
        require(leading32.ok() && leading32.value == whole.value);

    const std::vector<IniEntry> entries = ParseIniText(text);
    require(ParseIniText(FormatIniText(entries)) == entries);

    // The batch profile as kalmira-cli reads it: one note at most per numeric key, and a file
    // without the section is the built-in profile.
    const kalmira::ProfileReading profile = kalmira::ReadProfileFromText(text, kalmira::kBatchProfileSlot);
    require(profile.problems.size() <= 11);
    // (The section is looked for as the reader finds it: a name with blanks around it counts.)
    bool hasSection = false;
    for (const IniEntry& entry : entries) hasSection = hasSection || entry.section == ProfileSection(kalmira::kBatchProfileSlot);
    if (!hasSection) require(profile.profile == kalmira::BuiltInProfile(kalmira::kBatchProfileSlot));

    // Whatever the writers make of the results reads back unchanged.
    if (whole.ok()) require(StrictWholeNumber(FormatWholeNumber(whole.value)).value == whole.value);
    if (single.ok()) {
        const Conversion<float> back = StrictSingle(FormatSingle(single.value));
        require(back.ok() && back.value == single.value);
    }
    return 0;
}
