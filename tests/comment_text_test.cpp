#include "comments/CommentFile.h"
#include "comments/CommentMemo.h"
#include "comments/CommentText.h"
#include "common/ShiftJis.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>

using namespace zavio;

// Whatever cannot be stored is refused with a beep, by typing, pasting,
// dropping and input-method commits alike, and text that already holds such
// a character still takes typing.
TEST(CommentMemo, RefusesUnstorableCharactersAudiblyAndNeverLocksUp)
{
    CommentMemo memo(2000);
    memo.show();
    memo.setFocus();
    QSignalSpy refused(&memo, &CommentMemo::inputRefused);
    auto type = [&](const QString& text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(&memo, &press);
    };
    auto commit = [&](const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(&memo, &event);
    };

    type(QStringLiteral("😀"));
    EXPECT_EQ(memo.toPlainText(), QString()) << "an emoji key";
    EXPECT_EQ(refused.count(), 1);
    QTest::keyClicks(&memo, QStringLiteral("abc"));
    QTest::keyClick(&memo, Qt::Key_Tab);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abc\t"));
    type(QString(QChar(u'\0')));
    QTest::keyClick(&memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abc\t")) << "no NUL key goes in; shortcuts still work";
    EXPECT_EQ(refused.count(), 1) << "shortcuts are not refusals";

    // A paste keeps what comes before the first character it cannot store.
    QApplication::clipboard()->setText(QStringLiteral("de") + QChar(u'\0') + QStringLiteral("fg"));
    memo.paste();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abc\tde"));
    EXPECT_EQ(refused.count(), 2);
    QApplication::clipboard()->setText(QStringLiteral("h\r\ni"));
    memo.paste();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abc\tdeh\ni"));
    EXPECT_EQ(refused.count(), 2) << "a CR LF is one line break, nothing refused";

    // A drop of text with the record terminator in it.
    QMimeData dropped;
    dropped.setText(QStringLiteral("j\x0ek"));
    memo.moveCursor(QTextCursor::End);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo.viewport(), &enter);
    QDropEvent drop(QPointF(memo.viewport()->width() - 2, memo.viewport()->height() - 2), Qt::CopyAction, &dropped,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo.viewport(), &drop);
    EXPECT_TRUE(memo.toPlainText().contains(u'j')) << memo.toPlainText().toStdString();
    EXPECT_FALSE(memo.toPlainText().contains(u'k') || memo.toPlainText().contains(QChar(0x0e)));
    EXPECT_EQ(refused.count(), 3);

    // Input-method commits.
    memo.clear();
    commit(QStringLiteral("日\x01本"));
    commit(QStringLiteral("😀"));
    commit(QString(QChar(char16_t(0xD83D))));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("日"));
    EXPECT_EQ(refused.count(), 6);

    // Text set from elsewhere that holds an emoji and a NUL still takes typing.
    memo.setPlainText(QStringLiteral("😀x") + QChar(u'\0'));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClicks(&memo, QStringLiteral("yz"));
    commit(QStringLiteral("語"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("😀x") + QChar(u'\0') + QStringLiteral("yz語"));
    EXPECT_EQ(refused.count(), 6);
}

TEST(CommentMemo, TypingPastingAndInputMethodCommitsKeepWithinTheLimit)
{
    CommentMemo memo(10);
    memo.show();
    memo.setFocus();
    QTest::keyClicks(&memo, QStringLiteral("abcdefghi"));
    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abcdefghi")) << "a line break needs two bytes";
    QTest::keyClicks(&memo, QStringLiteral("jk"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("abcdefghij"));

    // Replacing a selection frees its bytes.
    memo.selectAll();
    QApplication::clipboard()->setText(QStringLiteral("あいう😀えおかき"));
    memo.paste();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("あいう")) << "stops at the character without a code";

    // An input method's preedit is not counted; its commit is cut to what fits.
    memo.clear();
    QTest::keyClicks(&memo, QStringLiteral("123456"));
    QInputMethodEvent preedit(QStringLiteral("にほんご"), {});
    QApplication::sendEvent(&memo, &preedit);
    EXPECT_EQ(memo.textCursor().block().layout()->preeditAreaText(), QStringLiteral("にほんご"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(&memo, &commit);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("123456日本"));

    // Read-only, it takes no input-method text at all.
    memo.showReadOnly();
    QInputMethodEvent late;
    late.setCommitString(QStringLiteral("x"));
    QApplication::sendEvent(&memo, &late);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("123456日本"));
    EXPECT_FALSE(memo.inputMethodQuery(Qt::ImEnabled).toBool());
}
