#include "common/ErrorReport.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace zavio;

namespace {

// What a message box showed of itself while it was up.
struct ShownBox {
    bool seen = false;
    QRect frame;
    QString title;
};

// Runs show, which puts up a message box and waits for it, with the real box
// instead of the tests' reporter; notes the box once it is up and closes it.
ShownBox catchBox(const std::function<void()>& show)
{
    const ErrorReporter previous = setErrorReporter({});
    const QuestionAnswerer previousAnswerer = setQuestionAnswerer({});
    ShownBox shown;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        shown = {true, box->frameGeometry(), box->windowTitle()};
        box->reject();
    });
    timer.start(5);
    // Should the box never come up, the test fails instead of waiting.
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    show();
    setErrorReporter(previous);
    setQuestionAnswerer(previousAnswerer);
    return shown;
}

// The width a window manager's title bar needs for title beside its icon and
// three buttons, at least about 24 pixels each, in the fonts a title is drawn in.
int titleBarNeeds(const QString& title)
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int text =
        std::max(QFontMetrics(QFontDatabase::systemFont(QFontDatabase::TitleFont)).horizontalAdvance(title),
                 QFontMetrics(bold).horizontalAdvance(title));
    return text + 4 * 24;
}

QPoint offset(const QRect& a, const QRect& b)
{
    return a.center() - b.center();
}

} // namespace

TEST(MessageBoxes, OpenCentredOnTheWindowThatShowsThemAndFitTheirTitle)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Away from the middle of the screen, so that centring on the window is
    // told from centring on the screen.
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("owner"));
    owner.setGeometry(screen.x() + 40, screen.y() + 30, 420, 300);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    // A window that shows a message before it is on the screen itself.
    QDialog hidden(&owner);
    hidden.resize(200, 100);

    const struct {
        const char* what;
        std::function<void()> show;
        QString title;
    } boxes[] = {
        {"error", [&] { reportError(&owner, QStringLiteral("書き込みエラー")); }, QStringLiteral("ザヴィオ")},
        {"message", [&] { showMessage(&owner, QStringLiteral("削除Error")); }, QStringLiteral("ザヴィオ")},
        {"question", [&] { (void)askYesNo(&owner, QStringLiteral("確認"), QStringLiteral("削除しますか")); },
         QStringLiteral("確認")},
        {"message from a hidden window", [&] { showMessage(&hidden, QStringLiteral("削除Error")); },
         QStringLiteral("ザヴィオ")},
    };
    for (const auto& box : boxes) {
        SCOPED_TRACE(box.what);
        const ShownBox shown = catchBox(box.show);
        ASSERT_TRUE(shown.seen) << "no message box came up";
        EXPECT_EQ(shown.title, box.title);
        EXPECT_LE(offset(shown.frame, owner.frameGeometry()).manhattanLength(), 4)
            << "the box at " << shown.frame.x() << "," << shown.frame.y() << " " << shown.frame.width() << "x"
            << shown.frame.height() << " is not centred on its window";
        EXPECT_GE(shown.frame.width(), titleBarNeeds(box.title)) << "the title bar would cut the title";
    }

    // A start-up error has no window: it centres on the active window, and
    // without one on the screen.
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    const ShownBox onActive = catchBox([] { reportError(nullptr, QStringLiteral("起動できません")); });
    ASSERT_TRUE(onActive.seen);
    EXPECT_LE(offset(onActive.frame, owner.frameGeometry()).manhattanLength(), 4);
    owner.hide();
    QCoreApplication::processEvents();
    const ShownBox onScreen = catchBox([] { reportError(nullptr, QStringLiteral("起動できません")); });
    ASSERT_TRUE(onScreen.seen);
    EXPECT_LE(offset(onScreen.frame, screen).manhattanLength(), 4)
        << "the box at " << onScreen.frame.x() << "," << onScreen.frame.y() << " " << onScreen.frame.width() << "x"
        << onScreen.frame.height() << " is not centred on the screen " << screen.width() << "x" << screen.height();
}
