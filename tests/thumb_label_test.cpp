#include "browser/TForm1.h"
#include "browser/ThumbLabel.h"
#include "common/Selection.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;

namespace {

QImage shotOf(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

// A name wider than its label is drawn shortened in the middle, its extension
// still in sight, and shows whole as the tooltip; the label's text, which the
// clicks take as the selection, stays the whole name.
TEST(ThumbLabel, LongNamesAreShortenedWithAMarkAndShowWholeAsTooltip)
{
    const QString longName = QStringLiteral("京都旅行_二日目_清水寺と三年坂の写真.jpg");
    fixtures::PictureFolder folder;
    folder.writeJpeg(QStringLiteral("a.jpg"), 20, 10, 1);
    folder.writeJpeg(longName, 20, 10, 2);
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    ThumbLabel* shortLabel = control<ThumbLabel>(form, "Label1");
    ThumbLabel* longLabel = control<ThumbLabel>(form, "Label2");
    ASSERT_GT(longLabel->fontMetrics().horizontalAdvance(longName), longLabel->width()) << "the name must not fit";
    EXPECT_EQ(longLabel->text(), longName);
    EXPECT_EQ(form.cellCaption(2), longName);
    EXPECT_EQ(longLabel->toolTip(), longName);
    EXPECT_EQ(shortLabel->text(), QStringLiteral("a.jpg"));
    EXPECT_TRUE(shortLabel->toolTip().isEmpty()) << "a name shown whole needs no tooltip";

    // What the box shows: the beginning, "…", the end with the extension, all
    // inside the box.
    const QString shown = longLabel->shownText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("京都"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("真.jpg"))) << shown.toStdString();
    EXPECT_LE(longLabel->fontMetrics().horizontalAdvance(shown), longLabel->width());

    // The screen shows exactly that shortened text: the same pixels as a
    // label of the same size whose whole name is the shortened text.
    ThumbLabel probe(QStringLiteral("probe"), &form);
    probe.setGeometry(longLabel->geometry().translated(0, 20));
    probe.setPalette(longLabel->palette());
    probe.setFont(longLabel->font());
    probe.setName(shown);
    probe.show();
    EXPECT_EQ(probe.shownText(), shown);
    EXPECT_TRUE(probe.toolTip().isEmpty());
    EXPECT_EQ(shotOf(longLabel), shotOf(&probe)) << "the long name is not drawn shortened";
    probe.setName(longName);
    EXPECT_EQ(shotOf(longLabel), shotOf(&probe));

    // Wide enough for the whole name, the label shows it whole without a tooltip.
    probe.resize(probe.fontMetrics().horizontalAdvance(longName) + 4, probe.height());
    EXPECT_EQ(probe.shownText(), longName);
    EXPECT_TRUE(probe.toolTip().isEmpty());

    // An emptied page leaves no tooltip behind.
    form.ClearPage();
    EXPECT_TRUE(longLabel->text().isEmpty());
    EXPECT_TRUE(longLabel->toolTip().isEmpty());
}
