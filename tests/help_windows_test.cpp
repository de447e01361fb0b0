#include "browser/BrowseCounters.h"
#include "browser/PageButtons.h"
#include "browser/TForm1.h"
#include "common/Selection.h"
#include "support/Controls.h"
#include "support/WindowShot.h"
#include "common/HelpWindow.h"
#include "viewer/TForm3.h"
#include "comments/TForm5.h"
#include "viewer/ZoomRules.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;

namespace {

struct Expected {
    const char* name;
    std::function<std::unique_ptr<HelpWindow>(QWidget*)> make;
    QString objectName;
    QString caption;
    QPoint position;
    QSize size;
    QColor background;
    QColor text;
    bool verticalBar;
    const char* shot;
};

std::vector<Expected> bothWindows()
{
    const QPalette system = QGuiApplication::palette();
    return {
        {"TForm3",
         [](QWidget* parent) { return std::make_unique<TForm3>(parent); },
         QStringLiteral("Form3"),
         QStringLiteral("操作説明（ヘルプ）"),
         {561, 173},
         {286, 455},
         system.color(QPalette::ToolTipBase),
         QColor(0, 0, 128),
         true,
         "help-window.png"},
        {"TForm5",
         [](QWidget* parent) { return std::make_unique<TForm5>(parent); },
         QStringLiteral("Form5"),
         QStringLiteral("Form5"),
         {686, 221},
         {202, 316},
         QColor(255, 251, 240),
         system.color(QPalette::WindowText),
         false,
         "comment-help-window.png"},
    };
}

QStringList linesOf(const QPlainTextEdit* edit)
{
    return edit->toPlainText().split(u'\n');
}

// Shows the box's window, makes it the active one and gives the box the
// keyboard focus, as a user opening the window sees it.
void focusInActiveWindow(QPlainTextEdit* edit)
{
    QWidget* window = edit->window();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    edit->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
}

// Puts the text cursor at the start of the first empty line, focuses the box
// and counts the pixels around the cursor that differ from the background:
// on an empty line, only a drawn caret can be there.
int caretPixels(QPlainTextEdit* edit)
{
    focusInActiveWindow(edit);
    QTextBlock block = edit->document()->firstBlock();
    while (block.isValid() && !block.text().isEmpty())
        block = block.next();
    if (!block.isValid())
        return -1;
    QTextCursor cursor(block);
    edit->setTextCursor(cursor);
    edit->ensureCursorVisible();
    QCoreApplication::processEvents();
    const QRect around = edit->cursorRect().adjusted(-3, 0, 3, 0);
    const QImage image = edit->viewport()->grab().toImage();
    const QRgb background = edit->palette().color(QPalette::Base).rgb();
    int differing = 0;
    for (int y = std::max(around.top(), 0); y <= std::min(around.bottom(), image.height() - 1); ++y)
        for (int x = std::max(around.left(), 0); x <= std::min(around.right(), image.width() - 1); ++x)
            if (image.pixel(x, y) != background)
                ++differing;
    return differing;
}

// The user's attempts to change the text: typing, deleting, a line break,
// cutting, pasting and Japanese from the input method.
void tryToEdit(QPlainTextEdit* edit)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("貼り付けた文"));
    QTest::keyClicks(edit, QStringLiteral("abc 123"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    // Japanese committed by an input method that did not ask first.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("日本語"));
    QCoreApplication::sendEvent(edit, &composed);
    QCoreApplication::processEvents();
}

// Whether the platform's input method would send Japanese to the box: it asks
// the focused widget first and stays away when the answer is no.
bool acceptsInputMethod(QPlainTextEdit* edit)
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(edit, &query);
    return query.value(Qt::ImEnabled).toBool();
}

// Whether the whole height of block's line lies inside the box's viewport.
bool blockFullyVisible(const QPlainTextEdit* edit, const QTextBlock& block)
{
    const QRect line = edit->cursorRect(QTextCursor(block));
    return line.height() > 0 && line.top() >= 0 && line.bottom() < edit->viewport()->height();
}

} // namespace

TEST(HelpWindows, FrameCaptionPlacementColoursAndFont)
{
    for (const Expected& e : bothWindows()) {
        SCOPED_TRACE(e.name);
        // A parent elsewhere on the screen: the dialog must not centre itself over it.
        QWidget owner;
        owner.setGeometry(20, 30, 300, 200);
        owner.show();
        const std::unique_ptr<HelpWindow> window = e.make(&owner);
        EXPECT_TRUE(window->isHidden()) << "created hidden";
        EXPECT_EQ(window->objectName(), e.objectName);
        EXPECT_EQ(window->windowTitle(), e.caption);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->pos(), e.position);
        EXPECT_EQ(window->size(), e.size);
        EXPECT_EQ(control<Memo>(*window, "Memo1")->geometry(), window->rect()) << "the box fills the client area";

        // Fixed frame: a close button, no minimise, maximise or help button, no resizing.
        const Qt::WindowFlags flags = window->windowHandle()->flags();
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
        EXPECT_EQ(window->minimumSize(), e.size);
        EXPECT_EQ(window->maximumSize(), e.size);
        window->resize(e.size + QSize(120, 80));
        EXPECT_EQ(window->size(), e.size);

        // Scroll bars: TForm3's vertical one always, no horizontal one anywhere.
        EXPECT_EQ(control<Memo>(*window, "Memo1")->verticalScrollBar()->isVisible(), e.verticalBar);
        EXPECT_FALSE(control<Memo>(*window, "Memo1")->horizontalScrollBar()->isVisible());
        EXPECT_EQ(control<Memo>(*window, "Memo1")->lineWrapMode(), QPlainTextEdit::NoWrap);

        // The 12-pixel Japanese Gothic font really is the one drawn, and it
        // holds every character of the text.
        const QFontInfo info(control<Memo>(*window, "Memo1")->font());
        EXPECT_EQ(info.pixelSize(), 12);
        EXPECT_TRUE(info.family() == QStringLiteral("ＭＳ Ｐゴシック") || info.family() == QStringLiteral("IPAPGothic"))
            << info.family().toStdString();
        const QFontMetrics metrics(control<Memo>(*window, "Memo1")->font());
        for (QChar ch : control<Memo>(*window, "Memo1")->toPlainText()) {
            if (ch != u'\n') {
                EXPECT_TRUE(metrics.inFont(ch)) << "U+" << std::hex << int(ch.unicode());
            }
        }

        // The colours on the screen: the background beside a short line, and
        // glyph pixels in the text colour.
        const QImage drawn = control<Memo>(*window, "Memo1")->viewport()->grab().toImage();
        const QColor background = control<Memo>(*window, "Memo1")->palette().color(QPalette::Base);
        EXPECT_EQ(background, e.background);
        EXPECT_EQ(control<Memo>(*window, "Memo1")->palette().color(QPalette::Text), e.text);
        EXPECT_EQ(QColor(drawn.pixel(drawn.width() - 3, 8)), e.background);
        EXPECT_EQ(QColor(drawn.pixel(drawn.width() - 3, drawn.height() - 3)), e.background);
        int inTextColour = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                inTextColour += QColor(drawn.pixel(x, y)) == e.text;
        EXPECT_GT(inTextColour, 200) << "the text is drawn in its colour";

        if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty())
            fixtures::saveWindowShot(window.get(), shots + u'/' + QLatin1String(e.shot));

        // Closing hides the window; it stays for the next request.
        window->close();
        EXPECT_TRUE(window->isHidden());
    }
}

TEST(HelpWindows, ReadOnlyWithoutCaretOnEveryShow)
{
    for (const Expected& e : bothWindows()) {
        SCOPED_TRACE(e.name);
        const std::unique_ptr<HelpWindow> window = e.make(nullptr);
        QPlainTextEdit* memo = control<Memo>(*window, "Memo1");
        const QString text = memo->toPlainText();
        ASSERT_FALSE(text.isEmpty());

        // The probe sees the caret of an ordinary editable box of the same look.
        QPlainTextEdit editable;
        editable.setFont(memo->font());
        editable.setPalette(memo->palette());
        editable.setPlainText(text);
        editable.resize(e.size);
        ASSERT_GT(caretPixels(&editable), 0) << "the caret probe must see a caret where there is one";
        ASSERT_TRUE(acceptsInputMethod(&editable));
        editable.hide();

        for (int opening = 1; opening <= 2; ++opening) {
            SCOPED_TRACE(opening);
            window->show();
            EXPECT_TRUE(memo->isReadOnly());
            EXPECT_FALSE(memo->textInteractionFlags() & (Qt::TextEditable | Qt::TextSelectableByKeyboard));
            EXPECT_EQ(caretPixels(memo), 0) << "no caret is drawn";

            EXPECT_FALSE(acceptsInputMethod(memo));
            tryToEdit(memo);
            EXPECT_EQ(memo->toPlainText(), text);
            EXPECT_FALSE(memo->document()->isModified());

            // Selecting with the mouse still works: a double click picks a word.
            const QTextCursor onText(memo->document()->findBlockByNumber(1));
            QTextCursor inWord = onText;
            inWord.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
            memo->setTextCursor(inWord);
            memo->ensureCursorVisible();
            QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, memo->cursorRect().center());
            EXPECT_TRUE(memo->textCursor().hasSelection());
            EXPECT_EQ(memo->toPlainText(), text);

            window->close();
            ASSERT_TRUE(window->isHidden());
            // Whatever happened to the box while hidden, the next opening
            // makes it read-only and caret-free again.
            memo->setReadOnly(false);
            memo->setCursorWidth(2);
        }
    }
}

TEST(HelpWindows, EveryLineFitsAndTheHelpScrollsToItsClosingLine)
{
    for (const Expected& e : bothWindows()) {
        SCOPED_TRACE(e.name);
        const std::unique_ptr<HelpWindow> window = e.make(nullptr);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QPlainTextEdit* memo = control<Memo>(*window, "Memo1");

        // The hand-broken lines fit between the box's side margins: nothing
        // to scroll sideways, nothing cut off at the right.
        const QFontMetrics metrics(memo->font());
        const int room = memo->viewport()->width() - 2 * int(memo->document()->documentMargin());
        const QStringList lines = linesOf(memo);
        int indented = 0;
        for (const QString& line : lines) {
            EXPECT_LE(metrics.horizontalAdvance(line), room) << line.toStdString();
            indented += line.startsWith(QChar(0x3000));
        }
        EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
        EXPECT_GT(indented * 2, int(lines.size())) << "most lines are indented by a full-width space";
        EXPECT_FALSE(lines.last().isEmpty()) << "the text ends on its last line, not on a blank one";
        EXPECT_TRUE(lines.contains(QString())) << "blank lines part the topics";
        EXPECT_EQ(memo->blockCount(), lines.size());
    }

    // The help is longer than its box; its scroll bar reaches the closing line.
    TForm3 help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QScrollBar* bar = control<Memo>(help, "Memo1")->verticalScrollBar();
    const QTextBlock first = control<Memo>(help, "Memo1")->document()->firstBlock();
    const QTextBlock last = control<Memo>(help, "Memo1")->document()->lastBlock();
    EXPECT_EQ(last.text(), QStringLiteral("　の掲示板へお気軽にお寄せください。"));
    EXPECT_GE(control<Memo>(help, "Memo1")->blockCount(), 70);
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_TRUE(blockFullyVisible(control<Memo>(help, "Memo1"), first));
    EXPECT_FALSE(blockFullyVisible(control<Memo>(help, "Memo1"), last)) << "the text is longer than the box";
    bar->setValue(bar->maximum());
    EXPECT_TRUE(blockFullyVisible(control<Memo>(help, "Memo1"), last)) << "scrolled to the end, the closing line shows";
    EXPECT_FALSE(blockFullyVisible(control<Memo>(help, "Memo1"), first));

    // The comment help has no scroll bar: all of it shows at once.
    TForm5 commentHelp;
    commentHelp.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&commentHelp));
    const Memo* commentText = control<Memo>(commentHelp, "Memo1");
    EXPECT_EQ(commentText->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(blockFullyVisible(commentText, commentText->document()->lastBlock()));
}

// The rows of one pixel column, from top to bottom.
std::vector<QRgb> column(const QImage& image, int x, int top, int bottom)
{
    std::vector<QRgb> rows;
    for (int y = top; y <= bottom; ++y)
        rows.push_back(image.pixel(x, y));
    return rows;
}

int greyDistance(QRgb a, QRgb b)
{
    return std::abs(qGray(a) - qGray(b));
}

TEST(HelpWindows, TheHelpsScrollBarIsDrawnAndItsHandleFollowsTheText)
{
    TForm3 help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QScrollBar* bar = control<Memo>(help, "Memo1")->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    // A strip of usable width along the right edge, inside the box's frame,
    // from top to bottom.
    const QRect strip(bar->mapTo(&help, QPoint(0, 0)), bar->size());
    EXPECT_GE(strip.width(), 12);
    EXPECT_LE(help.width() - 1 - strip.right(), 2);
    EXPECT_GE(strip.height(), help.height() - 4);
    const int x = strip.center().x();
    const QRgb text = control<Memo>(help, "Memo1")->palette().color(QPalette::Base).rgb();

    // The drawn pixels with the text at its start and at its end.
    bar->setValue(0);
    const std::vector<QRgb> atStart = column(help.grab().toImage(), x, strip.top(), strip.bottom());
    bar->setValue(bar->maximum());
    const std::vector<QRgb> atEnd = column(help.grab().toImage(), x, strip.top(), strip.bottom());

    // Every row of the bar stands out from the text beside it.
    for (size_t row = 0; row < atStart.size(); ++row) {
        EXPECT_GE(greyDistance(atStart[row], text), 40) << "row " << row << " at the start";
        EXPECT_GE(greyDistance(atEnd[row], text), 40) << "row " << row << " at the end";
    }

    // Only the handle changes between the two: the rows that differ form a
    // run near the top, where the handle was, and one near the bottom, where
    // it went. Arrows and groove stay put.
    std::vector<int> moved;
    for (size_t row = 0; row < atStart.size(); ++row)
        if (atStart[row] != atEnd[row])
            moved.push_back(int(row));
    ASSERT_GE(moved.size(), 20u) << "the handle did not move";
    const auto gap = std::adjacent_find(moved.begin(), moved.end(), [](int a, int b) { return b != a + 1; });
    ASSERT_NE(gap, moved.end()) << "the handle's two places should not touch";
    const int upperFirst = moved.front();
    const int upperLast = *gap;
    const int lowerFirst = *(gap + 1);
    const int lowerLast = moved.back();
    EXPECT_TRUE(std::adjacent_find(gap + 1, moved.end(), [](int a, int b) { return b != a + 1; }) == moved.end());
    EXPECT_LT(upperFirst, strip.height() / 8) << "the handle starts at the top";
    EXPECT_GT(lowerLast, strip.height() * 7 / 8) << "the handle ends at the bottom";
    EXPECT_NEAR(upperLast - upperFirst, lowerLast - lowerFirst, 2) << "the same handle at both ends";

    // The handle in the middle of its run differs from the groove it left.
    const int upperMiddle = (upperFirst + upperLast) / 2;
    const int lowerMiddle = (lowerFirst + lowerLast) / 2;
    EXPECT_GE(greyDistance(atStart[size_t(upperMiddle)], atEnd[size_t(upperMiddle)]), 10);
    EXPECT_GE(greyDistance(atEnd[size_t(lowerMiddle)], atStart[size_t(lowerMiddle)]), 10);
    EXPECT_EQ(atStart[size_t(upperMiddle)], atEnd[size_t(lowerMiddle)]) << "the handle looks the same";
    EXPECT_EQ(atEnd[size_t(upperMiddle)], atStart[size_t(lowerMiddle)]) << "the groove looks the same";
}

TEST(HelpWindows, TextsQuoteTheProgramsOwnNamesAndLimits)
{
    // The paging thresholds as the main window applies them.
    int pagingFrom = 0;
    int fiftyStepFrom = 0;
    for (int count = 0; count <= 200 && !fiftyStepFrom; ++count) {
        const PageButtonStates states = buttonsAfterCount(count, {});
        if (!pagingFrom && states.nextEnabled)
            pagingFrom = count;
        if (states.forward50Visible)
            fiftyStepFrom = count;
    }
    ASSERT_EQ(pagingFrom, kCellsPerPage);

    // The zoom limits as the zoom window applies them, in per cent.
    ZoomFactor factor;
    while (factor.enlarge()) {}
    const int largest = factor.tenths() * 10;
    while (factor.reduce(411)) {}
    const int smallest = factor.tenths() * 10;
    factor.reset();
    while (factor.reduce(410)) {}
    const int smallestNarrow = factor.tenths() * 10;
    // The widest base width that still stops at the narrow limit.
    int narrowWidth = 0;
    for (int width = 100; width <= 1000; ++width) {
        ZoomFactor probe;
        while (probe.reduce(width)) {}
        if (probe.tenths() * 10 == smallestNarrow)
            narrowWidth = width;
    }

    // The captions the help names, taken from the main window itself.
    Selection selection;
    TForm1 main(selection);
    auto quoted = [](const QString& caption) { return u'「' + caption + u'」'; };

    TForm3 help;
    const QString text = control<Memo>(help, "Memo1")->toPlainText();
    const QString flat = QString(text).remove(u'\n').remove(QChar(0x3000));
    for (const QString& phrase :
         {QStringLiteral("%1枚以上").arg(pagingFrom), QStringLiteral("%1枚以上").arg(fiftyStepFrom),
          QStringLiteral("%1％まで").arg(largest), QStringLiteral("%1％まで").arg(smallest),
          QStringLiteral("%1ピクセル以下").arg(narrowWidth), QStringLiteral("%1％まで").arg(smallestNarrow),
          quoted(control<QPushButton>(main, "BitBtn1")->text()), quoted(control<QPushButton>(main, "BitBtn2")->text()),
          quoted(control<QPushButton>(main, "BitBtn5")->text()), quoted(control<QPushButton>(main, "BitBtn3")->text()),
          quoted(control<QCheckBox>(main, "CheckBox1")->text()), quoted(control<QCheckBox>(main, "CheckBox2")->text())})
        EXPECT_TRUE(flat.contains(phrase)) << "the help does not say " << phrase.toStdString();
    // The help names no address that leads nowhere.
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n　の掲示板へお気軽にお寄せください。")));
    EXPECT_FALSE(text.contains(QStringLiteral("example."))) << "a placeholder address is left in the help";

    TForm5 commentHelp;
    const QString comment =
        QString(control<Memo>(commentHelp, "Memo1")->toPlainText()).remove(u'\n').remove(QChar(0x3000));
    for (const char* phrase : {"「coment.txt」", "「編集」", "「削除」"})
        EXPECT_TRUE(comment.contains(QString::fromUtf8(phrase))) << phrase;
}
