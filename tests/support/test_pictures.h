#pragma once
// Generated pictures the application-layer tests open as documents.

#include "core/bitmap.h"

namespace kalmira::testing {

// Exactly `colors` distinct colours (at most 256) in diagonal stripes, at 24 bits: a palette
// Variation of up to `colors` entries keeps every colour exactly.
imaging::Bitmap stripes(int width, int height, int colors = 16);

// Something a photograph would encode like: smooth gradients with grain, at 24 bits.
imaging::Bitmap photo(int width, int height);

}  // namespace kalmira::testing
