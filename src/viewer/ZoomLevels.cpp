#include "viewer/ZoomLevels.h"

#include <cstdint>

namespace zavio {
namespace {

// The smallest copy kept: below this a view is scaled from the last one.
constexpr int kSmallestSide = 16;

// Channel order of a source pixel: BGR888 stores blue, green, red in 3 bytes;
// RGB32 on a little-endian machine stores blue, green, red, unused in 4.
template <int BytesPerPixel>
void halveRows(const QImage& source, QImage& target)
{
    const int width = target.width();
    for (int y = 0; y < target.height(); ++y) {
        const std::uint8_t* top = source.constScanLine(2 * y);
        const std::uint8_t* bottom = source.constScanLine(2 * y + 1);
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = 2 * x * BytesPerPixel;
            const int b = a + BytesPerPixel;
            auto mean = [&](int c) {
                return (unsigned(top[a + c]) + top[b + c] + bottom[a + c] + bottom[b + c] + 2) / 4;
            };
            out[x] = qRgb(int(mean(2)), int(mean(1)), int(mean(0)));
        }
    }
}

} // namespace

QImage halveImage(const QImage& source)
{
    QImage target(source.width() / 2, source.height() / 2, QImage::Format_RGB32);
    if (target.isNull())
        return target;
    if (source.format() == QImage::Format_BGR888)
        halveRows<3>(source, target);
    else
        halveRows<4>(source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32),
                     target);
    return target;
}

void ZoomLevels::setPicture(const QImage& picture)
{
    levels_.clear();
    if (picture.isNull())
        return;
    levels_.push_back(picture);
    while (levels_.back().width() / 2 >= kSmallestSide && levels_.back().height() / 2 >= kSmallestSide) {
        QImage half = halveImage(levels_.back());
        if (half.isNull())
            break;
        levels_.push_back(std::move(half));
    }
}

const QImage& ZoomLevels::levelFor(QSize view) const
{
    size_t chosen = 0;
    while (chosen + 1 < levels_.size() && levels_[chosen + 1].width() >= view.width()
           && levels_[chosen + 1].height() >= view.height())
        ++chosen;
    return levels_[chosen];
}

} // namespace zavio
