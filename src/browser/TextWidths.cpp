#include "browser/TextWidths.h"

#include "browser/FolderRules.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <thread>

namespace zavio {

PairwiseAdvances::PairwiseAdvances(const QFont& font) : metrics_(font) {}

void PairwiseAdvances::learn(QStringView text)
{
    for (const QChar c : text) {
        const int s = slot(c.unicode());
        if (s >= 0 && !known_[size_t(s)])
            learnCharacter(s);
    }
}

void PairwiseAdvances::learnCharacter(int c)
{
    const auto character = [](int s) { return QChar(char16_t(s + kFirst)); };
    advance_[size_t(c)] = metrics_.horizontalAdvance(QString(character(c)));
    known_.set(size_t(c));
    // Advances are multiples of 1/64, so the sums compare exactly.
    for (int k = 0; k < kCount; ++k) {
        if (!known_[size_t(k)])
            continue;
        const QChar pair[] = {character(k), character(c)};
        additive_[size_t(k * kCount + c)] =
            metrics_.horizontalAdvance(QString(pair, 2)) == advance_[size_t(k)] + advance_[size_t(c)];
        if (k != c) {
            const QChar reversed[] = {character(c), character(k)};
            additive_[size_t(c * kCount + k)] =
                metrics_.horizontalAdvance(QString(reversed, 2)) == advance_[size_t(c)] + advance_[size_t(k)];
        }
    }
}

std::optional<int> PairwiseAdvances::width(QStringView text) const
{
    double sum = 0;
    int previous = -1;
    for (const QChar c : text) {
        const int s = slot(c.unicode());
        if (s < 0 || !known_[size_t(s)])
            return std::nullopt;
        if (previous >= 0 && !additive_[size_t(previous * kCount + s)])
            return std::nullopt;
        sum += advance_[size_t(s)];
        previous = s;
    }
    // QFontMetrics rounds the shaped width half up.
    return int(std::floor(sum + 0.5));
}

TextWidthCache::TextWidthCache() = default;
TextWidthCache::~TextWidthCache() = default;

void TextWidthCache::setFont(const QFont& font)
{
    if (hasFont_ && font == font_)
        return;
    font_ = font;
    hasFont_ = true;
    advances_.emplace(font_);
    std::fill(widths_.begin(), widths_.end(), -1);
    measured_ = 0;
    shaped_ = 0;
}

void TextWidthCache::setNames(const std::vector<FilePath>& names)
{
    std::vector<int> widths(names.size(), -1);
    size_t old = 0;
    size_t row = 0;
    while (old < names_.size() && row < names.size()) {
        if (names_[old].text() == names[row].text()) {
            widths[row++] = widths_[old++];
        } else if (sortsBefore(names_[old], names[row])) {
            ++old;
        } else {
            ++row;
        }
    }
    names_ = names;
    widths_ = std::move(widths);
}

int TextWidthCache::shape(const QString& text)
{
    ++shaped_;
    return QFontMetrics(font_).horizontalAdvance(text);
}

int TextWidthCache::width(int row)
{
    if (row < 0 || size_t(row) >= widths_.size())
        return 0;
    int& width = widths_[size_t(row)];
    if (width < 0) {
        const QString& text = names_[size_t(row)].text();
        std::optional<int> added;
        if (advances_) {
            advances_->learn(text);
            added = advances_->width(text);
        }
        width = added ? *added : shape(text);
        ++measured_;
    }
    return width;
}

namespace {

// A font of its own for another thread: a copy shares the original's private
// data, whose cached font engines each thread would throw out for its own.
QFont unsharedCopy(const QFont& font)
{
    QFont copy(font);
    const bool kerning = copy.kerning();
    copy.setKerning(!kerning);
    copy.setKerning(kerning);
    return copy;
}

// Below this many texts a second thread costs more than it saves.
constexpr size_t kRowsPerThread = 4000;

// How many of a listing's added-up widths are shaped as well: a font that
// shapes ASCII by more than pairs shows here, and is then shaped throughout.
constexpr int kSpotChecks = 16;

} // namespace

void TextWidthCache::measure(const std::function<bool(const FilePath&)>& wanted, int threads)
{
    std::vector<int> rows;
    for (size_t row = 0; row < widths_.size(); ++row) {
        if (widths_[row] < 0 && wanted(names_[row]))
            rows.push_back(int(row));
    }
    measured_ += qsizetype(rows.size());

    // The rows the advance table adds up; the rest are shaped below.
    std::vector<int> toShape;
    if (advances_) {
        int checks = 0;
        for (int row : rows) {
            const QString& text = names_[size_t(row)].text();
            advances_->learn(text);
            const std::optional<int> added = advances_->width(text);
            if (!added) {
                toShape.push_back(row);
                continue;
            }
            if (checks < kSpotChecks) {
                ++checks;
                if (shape(text) != *added) {
                    advances_.reset();
                    break;
                }
            }
            widths_[size_t(row)] = *added;
        }
        if (!advances_)
            toShape = rows;
    } else {
        toShape = rows;
    }

    const size_t parts = std::clamp<size_t>(toShape.size() / kRowsPerThread, 1, size_t(std::max(1, threads)));
    auto measureSlice = [this, &toShape, parts](size_t part, const QFont& font) {
        const QFontMetrics metrics(font);
        const size_t begin = toShape.size() * part / parts;
        const size_t end = toShape.size() * (part + 1) / parts;
        for (size_t i = begin; i < end; ++i)
            widths_[size_t(toShape[i])] = metrics.horizontalAdvance(names_[size_t(toShape[i])].text());
    };
    {
        std::vector<std::jthread> workers;
        for (size_t part = 1; part < parts; ++part)
            workers.emplace_back(measureSlice, part, unsharedCopy(font_));
        measureSlice(0, font_);
    }
    shaped_ += qsizetype(toShape.size());
}

} // namespace zavio
