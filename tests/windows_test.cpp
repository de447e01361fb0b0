#include "app/Windows.h"
#include "browser/ExtentListBox.h"
#include "browser/ThumbLabel.h"
#include "common/CanvasImage.h"
#include "support/CapturedErrors.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zavio;
using zavio::fixtures::ModalWatcher;

TEST(Windows, AllEightAreMadeAtStartUpAndWiredTogether)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 40, 30);
    const auto windows = createWindows();
    ASSERT_TRUE(windows->Form1 && windows->Form2 && windows->Form3 && windows->Form4 && windows->Form5
        && windows->Form6 && windows->Form7 && windows->dispForm);
    EXPECT_EQ(windows->dispForm->parentWidget(), windows->Form7.get());
    TForm1& main = *windows->Form1;
    main.openFolder(folder.path());
    main.show();

    // A label opens the viewer on its picture; closing it puts the focus on "操作説明".
    QStringList opened;
    ModalWatcher watcher([&](QWidget* modal) { opened.append(modal->objectName()); });
    QTest::mouseClick(main.Labels[1], Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("Form6")});
    EXPECT_EQ(windows->Form6->Label2->text(), QStringLiteral("pic002.jpg"));

    // In comment mode the editor opens, and its closing clears both boxes.
    main.CheckBox1->setChecked(true);
    QTest::mouseClick(main.Labels[2], Qt::LeftButton);
    EXPECT_EQ(opened.last(), QStringLiteral("Form4"));
    EXPECT_FALSE(main.CheckBox1->isChecked());

    // In rotation mode the file list opens the rotation window; closing it ends rotation mode.
    main.CheckBox2->setChecked(true);
    const QRect item = main.FileListBox1->visualItemRect(main.FileListBox1->item(0));
    QTest::mouseClick(main.FileListBox1->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(opened.last(), QStringLiteral("Form7"));
    EXPECT_FALSE(main.CheckBox2->isChecked());
    EXPECT_EQ(windows->Form7->statusText(), QStringLiteral("サイズ＝40*30"));

    // With both modes off the file list and the thumbnails open the zoom window.
    QTest::mouseClick(main.Images[0], Qt::LeftButton);
    EXPECT_EQ(opened.last(), QStringLiteral("Form2"));
    main.BitBtn4->click();
    EXPECT_EQ(opened.last(), QStringLiteral("Form3"));
    EXPECT_EQ(opened.size(), 5);
}

TEST(Windows, ClosingTheMainWindowEndsTheProgramBesideAnOpenResultWindow)
{
    const auto windows = createWindows();
    windows->Form1->show();
    bool closedInTime = false;
    QTimer::singleShot(0, [&] {
        windows->dispForm->show();
        windows->Form1->close();
    });
    // Should the loop not end, this ends it and the test fails.
    QTimer::singleShot(5000, [&] { QApplication::exit(7); });
    closedInTime = QApplication::exec() == 0;
    EXPECT_TRUE(closedInTime) << "the event loop went on after the main window closed";
}
