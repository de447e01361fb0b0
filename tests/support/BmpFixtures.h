#pragma once

#include <QByteArray>
#include <QColor>

#include <array>
#include <cstdint>
#include <vector>

namespace zavio::test {

// The header fields of a hand-made BMP file.
struct BmpLayout {
    int width = 0;
    int height = 0; // negative: rows stored top-down
    int bitCount = 24;
    std::uint32_t compression = 0;             // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    std::vector<QRgb> palette{};               // for 1, 4 and 8 bits
    std::array<std::uint32_t, 3> masks{};      // red, green, blue, for bit fields
    std::uint32_t alphaMask = 0;               // for bit fields; non-zero writes a 108-byte V4 header
};

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitFields = 3;

// A whole file: file header, 40-byte info header, masks, palette, then the
// pixel bytes exactly as given. With an alpha mask the info header is a
// 108-byte V4 header holding the four masks.
QByteArray makeBmp(const BmpLayout& layout, const QByteArray& pixels);

// Uncompressed pixel bytes for the layout from one value per pixel, top row
// first: palette indices for 1, 4 and 8 bits, the raw 16- or 32-bit word, or
// 0xRRGGBB for 24 bits. Rows are padded to four bytes and stored bottom-up
// unless the height is negative.
QByteArray packRows(const BmpLayout& layout, const std::vector<std::vector<std::uint32_t>>& rows);

} // namespace zavio::test
