#include "browser/ExtentListBox.h"
#include "browser/TForm1.h"
#include "common/Selection.h"
#include "support/Controls.h"

#include <QDir>
#include <QIcon>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;

namespace {

std::string describe(const QRect& r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

} // namespace

// Every row of the folder list shows its icon and its name apart from the
// rows around it. Themes offer folder icons larger than a row (GNOME's offer
// 24 pixels against rows of 16); ctest runs this test once more under the
// GNOME platform theme.
TEST(FolderList, RowsStayReadableUnderThePlatformTheme)
{
    QTemporaryDir dir;
    for (const char* name : {"alpha", "beta", "サブフォルダ", "gamma_with_a_long_name"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf8(name)));
    Selection selection;
    TForm1 form(selection);
    form.openFolder(dir.path());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ExtentListBox* list = control<ExtentListBox>(form, "DirectoryListBox1");
    ASSERT_GE(list->count(), 5);

    const int textHeight = list->fontMetrics().height();
    EXPECT_GE(list->rowHeight(), list->itemHeight());
    EXPECT_GE(list->rowHeight(), textHeight);

    if (qEnvironmentVariable("QT_QPA_PLATFORMTHEME") == QLatin1String("gtk3")) {
        // Without the theme's large icons this run would prove nothing.
        int largest = 0;
        for (const QSize& size : list->item(0)->icon().availableSizes())
            largest = std::max(largest, size.height());
        ASSERT_GT(largest, list->rowHeight())
            << "the GNOME theme is not in use (is qt6-gtk-platformtheme installed?); icon theme "
            << QIcon::themeName().toStdString();
    }

    QRect previous;
    for (int row = 0; row < list->count(); ++row) {
        SCOPED_TRACE(list->item(row)->text().toStdString());
        const QRect rect = list->visualItemRect(list->item(row));
        EXPECT_EQ(rect.height(), list->rowHeight());
        if (row > 0) {
            EXPECT_GT(rect.top(), previous.bottom()) << describe(previous) << " " << describe(rect);
        }
        previous = rect;

        const QStyleOptionViewItem option = list->itemOption(row);
        const QRect icon = list->style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, list);
        const QRect text = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, list);
        EXPECT_FALSE(icon.isEmpty()) << "every folder shows its icon";
        EXPECT_TRUE(rect.contains(icon)) << "icon " << describe(icon) << " row " << describe(rect);
        EXPECT_TRUE(rect.contains(text)) << "text " << describe(text) << " row " << describe(rect);
        EXPECT_FALSE(icon.intersects(text)) << "icon " << describe(icon) << " text " << describe(text);
        EXPECT_GE(text.height(), textHeight);
    }
}
