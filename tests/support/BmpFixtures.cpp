#include "support/BmpFixtures.h"

#include <cstdlib>

namespace zavio::test {

namespace {

void appendU16(QByteArray& out, std::uint32_t v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void appendU32(QByteArray& out, std::uint32_t v)
{
    appendU16(out, v & 0xffff);
    appendU16(out, v >> 16);
}

} // namespace

QByteArray makeBmp(const BmpLayout& layout, const QByteArray& pixels)
{
    const bool hasMasks = layout.compression == kBiBitFields;
    const bool v4 = hasMasks && layout.alphaMask != 0;
    const std::uint32_t infoSize = v4 ? 108 : 40;
    const auto offset = std::uint32_t(14 + infoSize + (hasMasks && !v4 ? 12 : 0) + 4 * layout.palette.size());

    QByteArray out;
    out.append("BM");
    appendU32(out, offset + std::uint32_t(pixels.size()));
    appendU32(out, 0);
    appendU32(out, offset);

    appendU32(out, infoSize);
    appendU32(out, std::uint32_t(layout.width));
    appendU32(out, std::uint32_t(layout.height));
    appendU16(out, 1);
    appendU16(out, std::uint32_t(layout.bitCount));
    appendU32(out, layout.compression);
    appendU32(out, std::uint32_t(pixels.size()));
    appendU32(out, 2835);
    appendU32(out, 2835);
    appendU32(out, std::uint32_t(layout.palette.size()));
    appendU32(out, 0);

    if (hasMasks)
        for (std::uint32_t mask : layout.masks)
            appendU32(out, mask);
    if (v4) {
        appendU32(out, layout.alphaMask);
        appendU32(out, 0x73524742); // "sRGB", little-endian
        out.append(QByteArray(36 + 12, '\0')); // end points and gamma, unused for sRGB
    }
    for (QRgb colour : layout.palette) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append('\0');
    }
    out.append(pixels);
    return out;
}

QByteArray packRows(const BmpLayout& layout, const std::vector<std::vector<std::uint32_t>>& rows)
{
    const int bits = layout.bitCount;
    const int stride = ((layout.width * bits + 31) / 32) * 4;
    QByteArray out;
    const int count = int(rows.size());
    for (int i = 0; i < count; ++i) {
        // Bottom-up files hold the last row first.
        const auto& row = rows[std::size_t(layout.height < 0 ? i : count - 1 - i)];
        QByteArray packed(stride, '\0');
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t v = row[std::size_t(x)];
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                // Leftmost pixel in the highest bits of its byte.
                const int bit = x * bits;
                const int shift = 8 - bits - bit % 8;
                packed[bit / 8] = char(packed[bit / 8] | char(v << shift));
                break;
            }
            case 16:
                packed[2 * x] = char(v & 0xff);
                packed[2 * x + 1] = char((v >> 8) & 0xff);
                break;
            case 24:
                packed[3 * x] = char(v & 0xff);
                packed[3 * x + 1] = char((v >> 8) & 0xff);
                packed[3 * x + 2] = char((v >> 16) & 0xff);
                break;
            case 32:
                for (int b = 0; b < 4; ++b)
                    packed[4 * x + b] = char((v >> (8 * b)) & 0xff);
                break;
            default:
                std::abort();
            }
        }
        out.append(packed);
    }
    return out;
}

} // namespace zavio::test
