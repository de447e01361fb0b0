#pragma once

#include "imaging/FilePath.h"

#include <QFont>
#include <QFontMetricsF>
#include <QStringView>

#include <array>
#include <bitset>
#include <functional>
#include <optional>
#include <vector>

namespace zavio {

// Widths of printable ASCII texts added up from the font's own advances, as
// the shaper would give them. Each character's advance is measured once, and
// each pair of neighbours is shaped once to see whether it is exactly the sum
// of its two; a text all of whose neighbours are is as wide as the sum of its
// characters. Kerned pairs, ligatures and anything beyond ASCII are left to
// the shaper. Measuring a camera folder's names costs a table walk per name
// instead of a shaping run.
class PairwiseAdvances {
public:
    explicit PairwiseAdvances(const QFont& font);

    // Measures the characters of text not met before, and their pairs with
    // every character met so far.
    void learn(QStringView text);
    // The width of text, rounded as QFontMetrics rounds it; nothing when
    // text has a character or a pair that the table cannot add up, or one
    // not learnt yet.
    std::optional<int> width(QStringView text) const;

private:
    static constexpr int kFirst = 0x20;
    static constexpr int kLast = 0x7e;
    static constexpr int kCount = kLast - kFirst + 1;
    static int slot(char16_t c) { return c >= kFirst && c <= kLast ? c - kFirst : -1; }
    void learnCharacter(int c);

    QFontMetricsF metrics_;
    std::array<double, kCount> advance_{};
    std::bitset<kCount> known_;
    // Bit a * kCount + b: the pair "ab" is exactly advance a plus advance b.
    std::bitset<size_t(kCount) * kCount> additive_;
};

// The widths of the file list's names in one font, row by row. A new listing
// takes over the widths of the names it shares with the last one, so counting
// again, or reading the same folder again, measures no name twice.
class TextWidthCache {
public:
    TextWidthCache();
    ~TextWidthCache();

    // Forgets every width when font differs from the one measured in.
    void setFont(const QFont& font);
    // New rows. Both listings are in sortNames order, so one walk over the
    // two finds every shared name; names out of that order are measured anew.
    void setNames(const std::vector<FilePath>& names);
    // The width of row's text, measured when first asked for.
    int width(int row);
    // Measures every row not yet known whose name is wanted: from the
    // advance table where it can, the rest shaped on up to threads threads
    // for a long list. The widths are those width gives.
    void measure(const std::function<bool(const FilePath&)>& wanted, int threads);
    // How many texts were measured since the font was set, and how many of
    // them were shaped rather than added up.
    qsizetype measured() const { return measured_; }
    qsizetype shaped() const { return shaped_; }

private:
    int shape(const QString& text);

    QFont font_;
    bool hasFont_ = false;
    std::optional<PairwiseAdvances> advances_;
    std::vector<FilePath> names_;
    std::vector<int> widths_;
    qsizetype measured_ = 0;
    qsizetype shaped_ = 0;
};

} // namespace zavio
