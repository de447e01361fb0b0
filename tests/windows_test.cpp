#include "app/Windows.h"
#include "browser/ExtentListBox.h"
#include "browser/FileListBox.h"
#include "browser/ThumbLabel.h"
#include "common/CanvasImage.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QHash>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::ModalWatcher;

TEST(Windows, AllEightAreMadeAtStartUpAndWiredTogether)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 40, 30);
    const auto windows = createWindows();
    ASSERT_TRUE(windows->Form1 && windows->Form2 && windows->Form3 && windows->Form4 && windows->Form5 && windows->Form6
                && windows->Form7 && windows->dispForm);
    EXPECT_EQ(windows->dispForm->parentWidget(), windows->Form7.get());
    TForm1& main = *windows->Form1;
    main.openFolder(folder.path());
    main.show();

    // A label opens the viewer on its picture; closing it puts the focus on "操作説明".
    QStringList opened;
    ModalWatcher watcher([&](QWidget* modal) { opened.append(modal->objectName()); });
    QTest::mouseClick(control<ThumbLabel>(main, "Label2"), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("Form6")});
    EXPECT_EQ(control<QLabel>(*windows->Form6, "Label2")->text(), QStringLiteral("pic002.jpg"));

    // In comment mode the editor opens, and its closing clears both boxes.
    control<QCheckBox>(main, "CheckBox1")->setChecked(true);
    QTest::mouseClick(control<ThumbLabel>(main, "Label3"), Qt::LeftButton);
    EXPECT_EQ(opened.last(), QStringLiteral("Form4"));
    EXPECT_FALSE(control<QCheckBox>(main, "CheckBox1")->isChecked());

    // In rotation mode the file list opens the rotation window; closing it ends rotation mode.
    control<QCheckBox>(main, "CheckBox2")->setChecked(true);
    const QRect item = control<FileListBox>(main, "FileListBox1")->visualItemRect(0);
    QTest::mouseClick(control<FileListBox>(main, "FileListBox1")->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(opened.last(), QStringLiteral("Form7"));
    EXPECT_FALSE(control<QCheckBox>(main, "CheckBox2")->isChecked());
    EXPECT_EQ(windows->Form7->statusText(), QStringLiteral("サイズ＝40*30"));

    // With both modes off the file list and the thumbnails open the zoom window.
    QTest::mouseClick(control<CanvasImage>(main, "Image1"), Qt::LeftButton);
    EXPECT_EQ(opened.last(), QStringLiteral("Form2"));
    control<QPushButton>(main, "BitBtn4")->click();
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

namespace {

// What a secondary window showed of itself while it was open.
struct Shown {
    QWindow* transientParent = nullptr;
    QRect frame;
};

Shown shownState(const QWidget* window)
{
    return {window->windowHandle() ? window->windowHandle()->transientParent() : nullptr, window->frameGeometry()};
}

// The distance between the centres of two rectangles, in pixels along each axis.
QPoint centreOffset(const QRect& a, const QRect& b)
{
    return a.center() - b.center();
}

} // namespace

TEST(Windows, EachSecondaryWindowBelongsToTheWindowThatOpensItAndOpensWhereItAlwaysHas)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 40, 30);
    const auto windows = createWindows();
    TForm1& main = *windows->Form1;
    main.openFolder(folder.path());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    // Away from the middle of the screen, so that a window centred on the
    // main window is told from one centred on the screen.
    main.move(main.screen()->availableGeometry().topLeft() + QPoint(150, 90));
    QCoreApplication::processEvents();
    const QRect screen = main.screen()->availableGeometry();

    QHash<QString, Shown> shown;
    ModalWatcher watcher([&](QWidget* modal) {
        shown.insert(modal->objectName(), shownState(modal));
        if (modal == windows->Form4.get()) {
            // The editor's "説明" opens the comment help over it.
            ModalWatcher help([&](QWidget* over) { shown.insert(over->objectName(), shownState(over)); });
            control<QPushButton>(*windows->Form4, "Button3")->click();
        } else if (modal == windows->Form7.get()) {
            // A turn shows the result window beside the rotation window.
            control<QAction>(*windows->Form7, "N2")->trigger();
            shown.insert(QStringLiteral("dispForm"), shownState(windows->dispForm));
        }
    });
    QTest::mouseClick(control<CanvasImage>(main, "Image1"), Qt::LeftButton);
    control<QPushButton>(main, "BitBtn4")->click();
    control<QCheckBox>(main, "CheckBox1")->setChecked(true);
    QTest::mouseClick(control<ThumbLabel>(main, "Label2"), Qt::LeftButton);
    QTest::mouseClick(control<ThumbLabel>(main, "Label3"), Qt::LeftButton);
    control<QCheckBox>(main, "CheckBox2")->setChecked(true);
    const QRect item = control<FileListBox>(main, "FileListBox1")->visualItemRect(0);
    QTest::mouseClick(control<FileListBox>(main, "FileListBox1")->viewport(), Qt::LeftButton, {}, item.center());
    windows->dispForm->close();

    QWindow* mainWindow = main.windowHandle();
    const struct {
        const char* name;
        QWindow* parent;
    } expected[] = {
        {"Form2", mainWindow},
        {"Form3", mainWindow},
        {"Form4", mainWindow},
        {"Form5", windows->Form4->windowHandle()},
        {"Form6", mainWindow},
        {"Form7", mainWindow},
        {"dispForm", windows->Form7->windowHandle()},
    };
    for (const auto& window : expected) {
        SCOPED_TRACE(window.name);
        ASSERT_TRUE(shown.contains(QLatin1String(window.name))) << "the window never showed";
        EXPECT_NE(window.parent, nullptr);
        EXPECT_EQ(shown[QLatin1String(window.name)].transientParent, window.parent);
    }

    // A parent would centre a dialog on itself; each keeps its own place.
    const auto expectCentredOn = [&](const char* name, const QRect& on, const char* what) {
        const QPoint offset = centreOffset(shown[QLatin1String(name)].frame, on);
        EXPECT_LE(offset.manhattanLength(), 2)
            << name << " is not centred on " << what << ": it is at " << shown[QLatin1String(name)].frame.x() << ","
            << shown[QLatin1String(name)].frame.y() << " " << shown[QLatin1String(name)].frame.width() << "x"
            << shown[QLatin1String(name)].frame.height();
    };
    expectCentredOn("Form2", screen, "the screen");
    expectCentredOn("Form4", screen, "the screen");
    expectCentredOn("Form6", screen, "the screen");
    expectCentredOn("dispForm", screen, "the screen");
    expectCentredOn("Form7", main.frameGeometry(), "the main window");
    EXPECT_EQ(shown[QStringLiteral("Form3")].frame.topLeft(), QPoint(561, 173));
    EXPECT_EQ(shown[QStringLiteral("Form5")].frame.topLeft(), QPoint(686, 221));
}

TEST(Windows, TheSecondaryWindowsGoBeforeTheWindowsTheyBelongTo)
{
    // Each secondary window is a Qt child of the window that opens it; the
    // windows' end destroys every one of them once, whatever was shown.
    auto windows = createWindows();
    windows->Form1->show();
    windows->dispForm->show();
    QPointer<QWidget> watched[] = {windows->Form2.get(), windows->Form3.get(), windows->Form4.get(),
                                   windows->Form5.get(), windows->Form6.get(), windows->Form7.get(),
                                   windows->dispForm,    windows->Form1.get()};
    EXPECT_EQ(windows->Form5->parentWidget(), windows->Form4.get());
    EXPECT_EQ(windows->Form2->parentWidget(), windows->Form1.get());
    windows.reset();
    for (const QPointer<QWidget>& window : watched)
        EXPECT_TRUE(window.isNull());
}
