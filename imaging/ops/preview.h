#pragma once
// A scaled-down copy of a picture on which operations are tried while their values change, so a
// preview keeps up with a moving slider: the copy is made once, each refresh runs the real
// operation on it.

#include <string_view>
#include <vector>

#include "core/bitmap.h"

namespace imaging::ops {

class PreviewImage {
public:
    PreviewImage() = default;
    // A copy of `source` at 24 bits that fits into maxWidth x maxHeight (never enlarged),
    // averaged over the source pixels each preview pixel covers.
    PreviewImage(const Bitmap& source, int maxWidth, int maxHeight);

    const Bitmap& before() const { return before_; }
    // Preview width / source width (1 when the source fits as it is).
    double scale() const { return scale_; }
    bool empty() const { return before_.empty(); }

    // The named operation (operation_table.h) run on a copy of the preview, at 24 bits. Throws
    // imaging::Error as the operation does.
    Bitmap render(std::string_view name, const std::vector<long>& args) const;

    // A window or tile size of `size` source pixels as it appears on the preview, at least
    // `minimum`: a mosaic of 10-pixel tiles shows 5-pixel tiles on a half-size preview.
    long scaledSize(long size, long minimum = 1) const;

private:
    Bitmap before_;
    double scale_ = 1.0;
};

}  // namespace imaging::ops
