#include "imaging/StretchDraw.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zavio {

namespace {

// The destination coordinates [first, last) of one axis that lie inside the
// canvas, and how to turn one of them back into a step along the span.
struct Span {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t start = 0; // the rectangle's left (or top) edge
    std::int64_t length = 0; // the span's width (or height), never 0
    bool mirrored = false;
    std::int64_t sourceSize = 0;

    bool isEmpty() const { return first >= last; }

    // The source index drawn at destination coordinate c: the centre of
    // destination step i falls on source (2i + 1) * n / (2 * length).
    std::int64_t sourceIndex(std::int64_t c) const
    {
        const std::int64_t step = mirrored ? start - 1 - c : c - start;
        return (2 * step + 1) * sourceSize / (2 * length);
    }
};

// A span from edge a to edge b (b < a draws mirrored over [b, a)), clipped to [0, limit).
Span clippedSpan(int a, int b, int limit, int sourceSize)
{
    Span span;
    span.start = a;
    span.mirrored = b < a;
    span.length = span.mirrored ? std::int64_t(a) - b : std::int64_t(b) - a;
    span.sourceSize = sourceSize;
    const std::int64_t low = std::min<std::int64_t>(a, b);
    const std::int64_t high = std::max<std::int64_t>(a, b);
    span.first = std::max<std::int64_t>(low, 0);
    span.last = std::min<std::int64_t>(high, limit);
    return span;
}

} // namespace

void stretchDraw(TBitmap& canvas, const FitRect& rect, const TBitmap& source)
{
    if (canvas.isEmpty() || source.isEmpty() || rect.left == rect.right || rect.top == rect.bottom)
        return;

    // Holding a copy keeps the source intact if it shares its pixels with the
    // canvas (or is the canvas): writing to the canvas then detaches it first.
    const TBitmap src = source;
    const Span columns = clippedSpan(rect.left, rect.right, canvas.width(), src.width());
    const Span rows = clippedSpan(rect.top, rect.bottom, canvas.height(), src.height());
    if (columns.isEmpty() || rows.isEmpty())
        return;

    // Byte offset in a source row for every visible destination column.
    const auto visibleWidth = std::size_t(columns.last - columns.first);
    std::vector<std::uint32_t> sourceOffsets(visibleWidth);
    for (std::size_t i = 0; i < visibleWidth; ++i)
        sourceOffsets[i] = std::uint32_t(3 * columns.sourceIndex(columns.first + std::int64_t(i)));

    std::uint8_t* const canvasBase = canvas.scanLine(0);
    const qsizetype canvasStride = canvas.bytesPerLine();
    const std::size_t spanBytes = 3 * visibleWidth;
    const std::uint8_t* previousRow = nullptr;
    std::int64_t previousSourceRow = -1;

    for (std::int64_t y = rows.first; y < rows.last; ++y) {
        std::uint8_t* dst = canvasBase + y * canvasStride + 3 * columns.first;
        const std::int64_t sy = rows.sourceIndex(y);
        if (sy == previousSourceRow) {
            // An enlarged picture repeats whole rows: copy the one just drawn.
            std::memcpy(dst, previousRow, spanBytes);
            continue;
        }
        const std::uint8_t* srcRow = src.scanLine(int(sy));
        for (std::size_t i = 0; i < visibleWidth; ++i, dst += 3) {
            const std::uint8_t* p = srcRow + sourceOffsets[i];
            dst[0] = p[0];
            dst[1] = p[1];
            dst[2] = p[2];
        }
        previousRow = canvasBase + y * canvasStride + 3 * columns.first;
        previousSourceRow = sy;
    }
}

} // namespace zavio
