// The text boundary between the comment file and its windows: stored bytes,
// keys, the byte limit and the characters that cannot be stored.
#include "comments/CommentFile.h"
#include "comments/CommentText.h"
#include "common/ShiftJis.h"

#include <QFile>
#include <QTemporaryDir>
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
    EXPECT_EQ(commentTextOf("\xff"
                            "a"),
              QStringLiteral("\uFFFDa"));
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

// NUL would end the viewer's reading of the file and 0x0E would end the
// record, so no C0 control character but Tab and a line break is stored.
TEST(CommentText, ControlCharactersOtherThanTabAndLineBreaksAreNotStored)
{
    const QString nul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    for (const QString& text : {nul, QStringLiteral("x\x0ey"), QStringLiteral("\x1b"), QStringLiteral("k\x1f")}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_THROW((void)commentBytesOf(text), ShiftJisError);
        EXPECT_FALSE(storedLength(text));
    }
    try {
        (void)commentBytesOf(nul);
    } catch (const ShiftJisError& error) {
        EXPECT_EQ(error.character(), U'\0');
        EXPECT_TRUE(error.message().contains(QStringLiteral("U+0000"))) << error.message().toStdString();
        EXPECT_FALSE(error.message().contains(QChar(u'\0'))) << "the message shows the code, not the character";
    }
    // Tab and every form of line break are kept, a line break as CR LF.
    EXPECT_EQ(commentBytesOf(QStringLiteral("a\tb\nc\r\nd\re\u2029f")), QByteArray("a\tb\r\nc\r\nd\r\ne\r\nf"));
    EXPECT_EQ(storedLength(QStringLiteral("a\tb\u2029")), 5);

    EXPECT_EQ(fitInsertion(QString(), nul + QStringLiteral("cd"), 2000), QStringLiteral("a"));
    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("\t\nx\x0ey"), 2000), QStringLiteral("\t\nx"));
}

// Characters that cannot be stored never block the ones that can: an emoji
// or a control character already in the text counts nothing, and an insertion
// stops before the first one, a surrogate pair never cut in two.
TEST(CommentText, TextHoldingAnUnstorableCharacterStillTakesStorableOnes)
{
    EXPECT_EQ(fitInsertion(QStringLiteral("😀"), QStringLiteral("abc"), 2000), QStringLiteral("abc"));
    EXPECT_EQ(fitInsertion(QStringLiteral("é") + QChar(u'\0'), QStringLiteral("あ"), 2000), QStringLiteral("あ"));
    // The rest is judged by the bytes it would be stored as.
    EXPECT_EQ(fitInsertion(QString(1998, u'x') + QStringLiteral("😀"), QStringLiteral("abc"), 2000),
              QStringLiteral("ab"));
    EXPECT_EQ(fitInsertion(QStringLiteral("😀") + QString(1999, u'x'), QStringLiteral("あ"), 2000), QString());

    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("a😀b"), 2000), QStringLiteral("a"));
    const QString high(QChar(char16_t(0xD83D)));
    const QString low(QChar(char16_t(0xDE00)));
    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("a") + high, 2000), QStringLiteral("a"));
    EXPECT_EQ(fitInsertion(QString(), QStringLiteral("a") + low + QStringLiteral("b"), 2000), QStringLiteral("a"));
    EXPECT_EQ(fitInsertion(high, QStringLiteral("b"), 2000), QStringLiteral("b"));
}

// A name whose bytes are not UTF-8 is keyed by those bytes: a Latin-1 name,
// and Shift-JIS names using one of code page 932's duplicate codes, which a
// conversion of the shown text would turn into the other code.
TEST(CommentText, NamesThatAreNotUtf8AreKeyedByTheirOwnBytes)
{
    const QByteArray latin1("caf\xe9.jpg");
    EXPECT_EQ(commentKeyOf(FilePath(latin1, QString::fromUtf8(latin1))), latin1);
    for (const QByteArray& name :
         {QByteArray("\x87\x90.jpg"), QByteArray("\xfa\x4a.jpg"), QByteArray("\xed\x40.jpg")}) {
        SCOPED_TRACE(name.toHex().toStdString());
        const QString shown = fromShiftJis(name);
        ASSERT_NE(toShiftJis(shown), name) << "a duplicate code";
        EXPECT_EQ(commentKeyOf(FilePath(name, shown)), name);
    }
    // No record may be keyed by nothing or hold a control byte in its key.
    EXPECT_FALSE(commentKeyOf(FilePath()));
    EXPECT_FALSE(commentKeyOf(FilePath(QByteArray("a\x0e"
                                                  "b.jpg"),
                                       QStringLiteral("a\x0e"
                                                      "b.jpg"))));
    EXPECT_FALSE(commentKeyOf(FilePath(QByteArray("\x81\x0d.jpg"), QStringLiteral("?.jpg"))));
}

// A record's first line, while it still reads as its key, is written as the
// key's own bytes; the rest, and a key line the user changed, are converted.
TEST(CommentText, ARecordKeepsTheBytesOfItsKeyLine)
{
    const QByteArray latin1("caf\xe9.jpg");
    const QString latin1Text = fromShiftJis(latin1);
    EXPECT_EQ(recordBytesOf(latin1Text + QStringLiteral("\nあ"), latin1, latin1Text), latin1 + "\r\n\x82\xa0");
    EXPECT_EQ(recordBytesOf(latin1Text, latin1, latin1Text), latin1);
    const QByteArray duplicate("\x87\x90.jpg");
    const QString duplicateText = fromShiftJis(duplicate);
    EXPECT_EQ(recordBytesOf(duplicateText + QStringLiteral("\n\u2252"), duplicate, duplicateText),
              duplicate + "\r\n\x81\xe0")
        << "only the key line keeps its bytes";
    EXPECT_EQ(recordBytesOf(QStringLiteral("new.jpg\nx"), latin1, latin1Text), QByteArray("new.jpg\r\nx"));
    EXPECT_EQ(recordBytesOf(QStringLiteral("caf\uFFFD.jpg2\nx"), latin1, latin1Text), QByteArray("caf?.jpg2\r\nx"));
    EXPECT_THROW((void)recordBytesOf(latin1Text + QStringLiteral("\n\x0e"), latin1, latin1Text), ShiftJisError);
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
