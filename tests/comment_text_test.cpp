#include "comments/CommentFile.h"
#include "comments/CommentMemo.h"
#include "comments/CommentText.h"
#include "common/ShiftJis.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QInputMethodEvent>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>

using namespace zavio;

TEST(CommentText, StoredBytesAndLinesRoundTrip)
{
    const QByteArray stored("a.jpg\r\n\x82\xa0\x82\xa2\r\n\xb1\x8e\xca\x90\x5e");
    const QString text = QStringLiteral("a.jpg\nあい\nｱ写真");
    EXPECT_EQ(commentBytesOf(text), stored);
    EXPECT_EQ(commentTextOf(stored), text);
    EXPECT_EQ(commentTextOf("x\ry\nz"), QStringLiteral("x\ny\nz")) << "a lone CR or LF is a line break too";
    // Damaged bytes read as U+FFFD and go back as "?" in the record the user edits.
    EXPECT_EQ(commentTextOf("\xff" "a"), QStringLiteral("\uFFFDa"));
    EXPECT_EQ(commentBytesOf(QStringLiteral("\uFFFDa")), QByteArray("?a"));

    EXPECT_EQ(storedLength(QStringLiteral("a\nあｱ")), 1 + 2 + 2 + 1);
    EXPECT_FALSE(storedLength(QStringLiteral("😀")));
    EXPECT_FALSE(storedLength(QStringLiteral("é")));
}

TEST(CommentText, InsertionsStopAtTheByteLimitAndAtCharactersWithoutACode)
{
    const QString nearlyFull(1999, u'x');
    EXPECT_EQ(fitInsertion(nearlyFull, QStringLiteral("あ"), 2000), QString()) << "two bytes do not fit in one";
    EXPECT_EQ(fitInsertion(nearlyFull, QStringLiteral("ab"), 2000), QStringLiteral("a"));
    EXPECT_EQ(fitInsertion(nearlyFull, QStringLiteral("\n"), 2000), QString()) << "a line break is CR LF";
    EXPECT_EQ(fitInsertion(QString(1998, u'x'), QStringLiteral("\nz"), 2000), QStringLiteral("\n"));
    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("日本😀語"), 2000), QStringLiteral("日本"));
    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("a\uFFFDb"), 2000), QStringLiteral("a"));
    EXPECT_EQ(fitInsertion(QStringLiteral("\uFFFD"), QStringLiteral("b"), 2000), QStringLiteral("b"))
        << "a damaged byte already in the text does not block typing";
}

TEST(CommentText, KeysAreCodePage932BytesOrTheNamesOwnShiftJisBytes)
{
    EXPECT_EQ(commentKeyOf(FilePath(QStringLiteral("写真.jpg"))), QByteArray("\x8e\xca\x90\x5e.jpg"));
    EXPECT_EQ(commentKeyOf(FilePath(QByteArray("\x8e\xca\x90\x5e.jpg"), QStringLiteral("写真.jpg"))),
        QByteArray("\x8e\xca\x90\x5e.jpg"));
    EXPECT_EQ(commentKeyOf(FilePath(QStringLiteral("A.JPG"))), QByteArray("A.JPG"));
    EXPECT_FALSE(commentKeyOf(FilePath(QStringLiteral("😀.jpg")))) << "no code page 932 form, no comment";
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

// Every double-byte character of code page 932 survives a write, a read and a
// rewrite through the comment file; where two codes stand for one character,
// the code the conversion gives is the one written, and it stays.
TEST(CommentText, EveryDoubleByteCharacterSurvivesTheCommentFile)
{
    QString all;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead == 0xA0)
            lead = 0xE0;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {char(lead), char(trail)};
            if (isValidShiftJis(QByteArrayView(pair, 2)))
                all += fromShiftJis(QByteArrayView(pair, 2));
        }
    }
    ASSERT_GT(all.size(), 9000);
    const QString text = QStringLiteral("all.jpg\n") + all + u'\n';
    const QByteArray stored = commentBytesOf(text);

    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    const std::string_view folderBytes(path.constData(), size_t(path.size()));
    {
        CommentFile file;
        ASSERT_TRUE(file.OpenForEdit(folderBytes).ok());
        ASSERT_FALSE(file.FindRecordForEdit("all.jpg").found);
        ASSERT_TRUE(file.AppendRecord(stored.toStdString()).ok());
        file.CloseForEdit();
    }
    CommentFile file;
    ASSERT_TRUE(file.OpenForEdit(folderBytes).ok());
    const RecordMatch match = file.FindRecordForEdit("all.jpg");
    ASSERT_TRUE(match.found);
    EXPECT_EQ(match.recordText, stored.toStdString());
    const std::string lines = TextToLines(match.recordText);
    const QString read = commentTextOf(QByteArrayView(lines.data(), qsizetype(lines.size())));
    EXPECT_EQ(read, text + u'\n') << "read back as written, plus the line the editor adds";
    ASSERT_TRUE(file.BeginRewrite(match).ok());
    ASSERT_TRUE(file.ReplaceRecord(commentBytesOf(text).toStdString()).ok());
    file.CloseForEdit();
    QFile written(folder.filePath(QStringLiteral("coment.txt")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), stored + '\x0e') << "rewritten byte for byte";
}
