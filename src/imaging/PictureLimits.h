#pragma once

#include <cstdint>

namespace zavio {

// The largest picture the program agrees to hold. Anything larger is refused
// from its header, before a single pixel is allocated.
inline constexpr int kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = 256'000'000;

// Throws PictureError when a picture of this size may not be allocated.
void checkPictureSize(std::int64_t width, std::int64_t height);

// The allocation limit for Qt's image readers, in megabytes, wide enough for
// the largest picture above at 32 bits per pixel.
inline constexpr int kQtImageAllocationLimitMb = int(kMaxPicturePixels * 4 / (1024 * 1024)) + 1;

} // namespace zavio
