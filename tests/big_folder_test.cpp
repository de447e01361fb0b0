#include "browser/FileListBox.h"
#include "browser/FolderRules.h"

#include <QFontMetrics>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>

using namespace zavio;

namespace {

constexpr int kNames = 100000;

// Names as a big folder holds them: camera names in either case, long names
// that agree in their first sixteen letters, Japanese names, names that
// differ only in case, and a few that are no pictures; in disk order.
std::vector<FilePath> generatedNames()
{
    std::vector<FilePath> names;
    names.reserve(kNames);
    for (int i = 0; i < kNames; ++i) {
        QString text;
        switch (i % 9) {
        case 0:
            text = QStringLiteral("IMG_%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
            break;
        case 1:
            text = QStringLiteral("img_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
            break;
        case 2:
            text = QStringLiteral("holiday_in_kyoto_%1.jpeg").arg(i);
            break;
        case 3:
            text = QStringLiteral("Holiday_In_Kyoto_%1.jpeg").arg(i);
            break;
        case 4:
            text = QStringLiteral("写真_%1.jpg").arg(i);
            break;
        case 5:
            text = QStringLiteral("Ä_%1.bmp").arg(i);
            break;
        case 6:
            text = QStringLiteral("%1.jpg").arg(i % 500);
            break;
        case 7:
            text = QStringLiteral("a_very_long_name_of_a_picture_%1.jpg").arg(i);
            break;
        default:
            text = QStringLiteral("notes_%1.txt").arg(i);
            break;
        }
        names.emplace_back(text);
    }
    // Names repeated by case 6 stand for one file each.
    std::vector<FilePath> unique;
    QSet<QString> seen;
    for (FilePath& name : names) {
        if (seen.contains(name.text()))
            continue;
        seen.insert(name.text());
        unique.push_back(std::move(name));
    }
    std::shuffle(unique.begin(), unique.end(), *QRandomGenerator::global());
    return unique;
}

int referenceExtent(const std::vector<FilePath>& names, const QFont& font)
{
    const QFontMetrics metrics(font);
    std::vector<int> widths;
    for (const FilePath& name : names) {
        if (isCountedPicture(name.text()))
            widths.push_back(metrics.horizontalAdvance(name.text()));
    }
    return horizontalExtent(widths, 20);
}

} // namespace

// A folder of a hundred thousand names: the order is the case-blind order
// with ties broken by bytes, the count and the extent are those of measuring
// every counted picture, and reading the folder again measures nothing anew.
TEST(BigFolder, ListModelCountAndExtentOfAHundredThousandNames)
{
    std::vector<FilePath> names = generatedNames();
    std::vector<FilePath> reference = names;
    std::stable_sort(reference.begin(), reference.end(), [](const FilePath& a, const FilePath& b) {
        const int folded = a.text().compare(b.text(), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.native() < b.native();
    });
    sortNames(names);
    ASSERT_EQ(names.size(), reference.size());
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(names[i].text(), reference[i].text()) << "row " << i;

    FileListBox list(QStringLiteral("FileListBox1"), 15, nullptr);
    list.setNames(names);
    ASSERT_EQ(list.count(), int(names.size()));
    EXPECT_EQ(list.listModel().rowCount(), int(names.size()));
    EXPECT_EQ(list.text(12345), names[12345].text());
    EXPECT_EQ(list.listModel().data(list.listModel().index(777, 0)).toString(), names[777].text());

    int counted = 0;
    for (const FilePath& name : names)
        counted += isCountedPicture(name.text()) ? 1 : 0;
    list.measureTexts([](const FilePath& name) { return isCountedPicture(name.text()); });
    const FileCount count = countPictures(names, [&list](int row) { return list.textWidth(row); });
    EXPECT_EQ(count.pictures, counted);
    EXPECT_EQ(count.extent, referenceExtent(names, list.font()));
    EXPECT_EQ(list.measuredTexts(), counted) << "only counted pictures are measured";
    const QFontMetrics metrics(list.font());
    for (int row : {0, 1, 4999, 50000, int(names.size()) - 1})
        EXPECT_EQ(list.textWidth(row), metrics.horizontalAdvance(names[size_t(row)].text())) << row;

    // Every row is as wide as the extent and one row high, and the list
    // scrolls sideways over the extent.
    list.setGeometry(10, 410, 131, 191);
    list.setHorizontalExtent(count.extent);
    EXPECT_EQ(list.visualItemRect(0).width(), count.extent);
    EXPECT_EQ(list.visualItemRect(int(names.size()) - 1).width(), count.extent);
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), count.extent - list.viewport()->width());
    EXPECT_EQ(list.visualItemRect(1).top() - list.visualItemRect(0).top(), list.rowHeight());

    // The same folder with one picture more: only the new name is measured,
    // and the widths stay on their names.
    std::vector<FilePath> again = names;
    again.insert(again.begin() + 40000, FilePath(QStringLiteral("zz_new_picture_with_the_longest_name_of_all.jpg")));
    sortNames(again);
    list.setNames(again);
    const qsizetype before = list.measuredTexts();
    list.measureTexts([](const FilePath& name) { return isCountedPicture(name.text()); });
    const FileCount recount = countPictures(again, [&list](int row) { return list.textWidth(row); });
    EXPECT_EQ(list.measuredTexts(), before + 1);
    EXPECT_EQ(recount.pictures, counted + 1);
    EXPECT_EQ(recount.extent, referenceExtent(again, list.font()));
    for (int row : {0, 39999, 40000, 40001, int(again.size()) - 1})
        EXPECT_EQ(list.textWidth(row), metrics.horizontalAdvance(again[size_t(row)].text())) << row;

    // A larger font measures again.
    QFont larger = list.font();
    larger.setPixelSize(QFontInfo(larger).pixelSize() + 7);
    list.setFont(larger);
    list.measureTexts([](const FilePath& name) { return isCountedPicture(name.text()); });
    EXPECT_EQ(countPictures(again, [&list](int row) { return list.textWidth(row); }).extent,
              referenceExtent(again, larger));
}

// Widths added up from the advance table are the shaped widths, in the list's
// own font and in fonts that kern and join letters; a kerned pair and a
// character beyond ASCII are shaped, never added up.
TEST(BigFolder, AddedUpWidthsAreTheShapedWidthsInAnyFont)
{
    std::vector<FilePath> names = generatedNames();
    names.resize(20000);
    names.emplace_back(QStringLiteral("AVATAR To Wave.jpg"));
    names.emplace_back(QStringLiteral("office_fifty_waffle.jpg"));
    names.emplace_back(QStringLiteral("Tab\tand ~tilde~.jpg"));
    sortNames(names);

    QFont kerning(QStringLiteral("DejaVu Sans"));
    kerning.setPixelSize(15);
    QFont italic(QStringLiteral("DejaVu Serif"));
    italic.setItalic(true);
    italic.setPointSizeF(10.5);
    QFont spaced(QStringLiteral("DejaVu Sans"));
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 0.7);
    const QFont listFont = FileListBox(QStringLiteral("list"), 15, nullptr).font();
    for (const QFont& font : {listFont, kerning, italic, spaced}) {
        SCOPED_TRACE(font.toString().toStdString());
        TextWidthCache widths;
        widths.setFont(font);
        widths.setNames(names);
        widths.measure([](const FilePath&) { return true; }, 2);
        const QFontMetrics metrics(font);
        for (size_t row = 0; row < names.size(); ++row)
            ASSERT_EQ(widths.width(int(row)), metrics.horizontalAdvance(names[row].text()))
                << names[row].text().toStdString();
        EXPECT_EQ(widths.measured(), qsizetype(names.size()));
        // In the list's own font most camera names are added up, the Japanese
        // and accented ones are shaped; a kerning font shapes more of them.
        EXPECT_LT(widths.shaped(), font == listFont ? widths.measured() / 2 : widths.measured());
    }

    // DejaVu Sans kerns "AV": the table leaves that pair to the shaper.
    const QFontMetricsF metrics(kerning);
    ASSERT_NE(metrics.horizontalAdvance(QStringLiteral("AV")),
              metrics.horizontalAdvance(QStringLiteral("A")) + metrics.horizontalAdvance(QStringLiteral("V")));
    PairwiseAdvances table(kerning);
    EXPECT_FALSE(table.width(QStringLiteral("IMG_1.jpg"))) << "not learnt yet";
    for (const QString& text : {QStringLiteral("IMG_1.jpg"), QStringLiteral("AV.jpg"), QStringLiteral("写真.jpg")})
        table.learn(text);
    EXPECT_EQ(table.width(QStringLiteral("IMG_1.jpg")),
              QFontMetrics(kerning).horizontalAdvance(QStringLiteral("IMG_1.jpg")));
    EXPECT_FALSE(table.width(QStringLiteral("AV.jpg")));
    EXPECT_FALSE(table.width(QStringLiteral("写真.jpg")));
}
