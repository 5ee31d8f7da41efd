#pragma once
// Scanners and cameras through SANE: the devices it finds, each device's own options (mode,
// resolution, scan area and whatever else it offers, with their ranges and units) and one scan
// into a bitmap. A scan can be cancelled from another thread; a device that fails or delivers
// fewer lines than it announced ends in imaging::Error and no picture.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace imaging::scan {

struct Device {
    std::string name;  // what open() takes
    std::string vendor;
    std::string model;
    std::string type;
};

struct Option {
    enum class Type { Bool, Int, Fixed, String, Button, Group };
    enum class Unit { None, Pixel, Bit, Millimetre, Dpi, Percent, Microsecond };
    int index = 0;
    std::string name;
    std::string title;
    std::string description;
    Type type = Type::Int;
    Unit unit = Unit::None;
    bool active = true;
    bool settable = true;
    // Constraint: a range (min, max, step 0 = any), a list of numbers or a list of texts.
    bool hasRange = false;
    double minimum = 0, maximum = 0, step = 0;
    std::vector<double> numbers;
    std::vector<std::string> texts;
    // Current value: number for Bool/Int/Fixed (single values only), text for String.
    double number = 0;
    std::string text;
    int count = 1;  // values in the option (vectors are shown but not edited)
};

// Starts SANE once for the process; 0 or the SANE status of a failing start. Later calls answer
// the first result.
int initialise();
// Devices SANE finds now (empty when it does not start).
std::vector<Device> devices();

class Scanner {
public:
    // Opens a device; throws Error(FileNotFound) when SANE cannot open it.
    explicit Scanner(const std::string& deviceName);
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    const std::string& name() const { return name_; }
    // The options as the device describes them now (they change when others are set).
    std::vector<Option> options() const;
    // Sets an option by name; throws Error(InvalidArgument) with the device's reason when it
    // refuses. Numbers are rounded for integer options.
    void setNumber(const std::string& option, double value);
    void setText(const std::string& option, const std::string& value);

    using Progress = std::function<void(int percent)>;
    // Scans one picture: grey (8 bits, 1-bit line art becomes 8-bit black and white) or colour
    // (24 bits), in one pass or in three (red, green and blue, in any order); 16-bit samples
    // keep their high byte. A device that does not announce the height is read to its end, up
    // to the growth limit (Error(TooLarge) beyond it). `cancel` may be set from another thread;
    // the scan then ends with Error(Cancelled). Progress is called from the scanning thread
    // with 0..100, or -1 while the share done is unknown.
    Bitmap scan(const std::atomic<bool>& cancel, const Progress& progress = {});
    // The most bytes of pixels a scan without an announced height may grow to.
    void setGrowthLimit(std::size_t bytes) { growthLimit_ = bytes; }
    static constexpr std::size_t kDefaultGrowthLimit = std::size_t{1} << 30;

private:
    Bitmap scanFrames(const std::atomic<bool>& cancel, const Progress& progress);

    std::string name_;
    void* handle_ = nullptr;
    std::size_t growthLimit_ = kDefaultGrowthLimit;
};

}  // namespace imaging::scan
