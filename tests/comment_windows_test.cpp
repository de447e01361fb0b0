#include "comments/CommentMemo.h"
#include "comments/CommentText.h"
#include "comments/TForm4.h"
#include "comments/TForm6.h"
#include "common/CanvasImage.h"
#include "common/ErrorReport.h"
#include "common/Memo.h"
#include "common/Selection.h"
#include "common/ShiftJis.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/FileBytes.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"
#include "support/ScratchMount.h"
#include "support/WindowShot.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::readFileBytes;
using zavio::fixtures::writeFileBytes;
using zavio::fixtures::ModalWatcher;
using zavio::fixtures::PictureFolder;

namespace {

constexpr QRgb kSilver = 0xffc0c0c0;

// A folder with pictures and an editor and viewer on it, as the main window
// leaves them: the folder selected, closing counted.
struct CommentWindows {
    PictureFolder folder;
    Selection selection;
    TForm4 editor{selection};
    TForm6 viewer{selection};
    int editorCloses = 0;
    int viewerFocus = 0;
    bool answer = false;
    QuestionAnswerer previousAnswerer;

    CommentWindows()
    {
        selection.setFolder(FilePath(folder.path()));
        editor.setOnClose([this] { ++editorCloses; });
        viewer.setFocusOnClose([this] { ++viewerFocus; });
        previousAnswerer = setQuestionAnswerer([this](const QString& title, const QString& question) {
            EXPECT_EQ(title, QStringLiteral("確認"));
            EXPECT_EQ(question, QStringLiteral("削除していいですか？"));
            return answer;
        });
    }
    ~CommentWindows() { setQuestionAnswerer(previousAnswerer); }

    // The editor's text area and buttons and the viewer's comment, found as the windows name them.
    CommentMemo* editorText() const { return control<CommentMemo>(editor, "Memo1"); }
    QPushButton* editorButton(const char* name) const { return control<QPushButton>(editor, name); }
    Memo* viewerText() const { return control<Memo>(viewer, "Memo1"); }

    QString comments() const { return folder.filePath(QStringLiteral("coment.txt")); }
    QByteArray commentBytes() const { return readFileBytes(comments()); }
    bool scratchExists() const { return QFile::exists(folder.filePath(QStringLiteral("buftx.txt"))); }
    // Opens the editor on key as its showing does; the test then clicks.
    void edit(const QString& key)
    {
        selection.SelectedCommentKey = FilePath(key);
        ASSERT_TRUE(editor.FormActivate());
        editor.show();
    }
    void view(const QString& key)
    {
        selection.SelectedCommentKey = FilePath(key);
        viewer.FormActivate();
        viewer.show();
    }
};

} // namespace

TEST(CommentEditorWindow, WritesANewRecordInShiftJis)
{
    CommentWindows w;
    w.edit(QStringLiteral("さくら.jpg"));
    EXPECT_EQ(w.editor.windowTitle(), QStringLiteral("コメント作成\u3000"));
    EXPECT_TRUE(w.editorButton("Button1")->isEnabled());
    EXPECT_FALSE(w.editorButton("Button2")->isVisibleTo(&w.editor) || w.editorButton("Button3")->isVisibleTo(&w.editor)
                 || w.editorButton("Button4")->isVisibleTo(&w.editor));
    EXPECT_EQ(w.editorText()->toPlainText(), QStringLiteral("さくら.jpg\n"));
    EXPECT_EQ(w.editorText()->textCursor().blockNumber(), 1) << "the caret on the line below the key";
    EXPECT_EQ(w.commentBytes(), QByteArray()) << "opening created an empty file";

    // Typed, and committed by an input method, in Japanese.
    QInputMethodEvent preedit(QStringLiteral("まんかい"), {});
    QApplication::sendEvent(w.editorText(), &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("満開"));
    QApplication::sendEvent(w.editorText(), &commit);
    QTest::keyClick(w.editorText(), Qt::Key_Space);
    QInputMethodEvent second;
    second.setCommitString(QStringLiteral("です"));
    QApplication::sendEvent(w.editorText(), &second);
    w.editorButton("Button1")->click();
    EXPECT_FALSE(w.editor.isVisible());
    EXPECT_EQ(w.commentBytes(), QByteArray("\x82\xb3\x82\xad\x82\xe7.jpg\r\n\x96\x9e\x8a\x4a \x82\xc5\x82\xb7\x0e"));
    EXPECT_EQ(w.editorCloses, 1);
    EXPECT_FALSE(w.scratchExists());
    EXPECT_TRUE(w.selection.SelectedCommentKey.isEmpty()) << "closing empties the key";

    // Nothing typed stores the key line alone.
    w.edit(QStringLiteral("b.jpg"));
    w.editorButton("Button1")->click();
    EXPECT_TRUE(w.commentBytes().endsWith(QByteArray("\x0e"
                                                     "b.jpg\r\n\x0e")));
}

TEST(CommentEditorWindow, EditsAndDeletesAnExistingRecord)
{
    CommentWindows w;
    writeFileBytes(w.comments(),
                   QByteArray("a.jpg\r\nold\x0e"
                              "b.jpg\r\nkeep\x0e"));
    w.edit(QStringLiteral("a.jpg"));
    EXPECT_EQ(w.editor.windowTitle(), QStringLiteral("コメント編集・削除\u3000a.jpg"));
    EXPECT_FALSE(w.editorButton("Button1")->isEnabled());
    EXPECT_TRUE(w.editorButton("Button2")->isVisibleTo(&w.editor) && w.editorButton("Button3")->isVisibleTo(&w.editor)
                && w.editorButton("Button4")->isVisibleTo(&w.editor));
    EXPECT_EQ(w.editorText()->toPlainText(), QStringLiteral("a.jpg\nold\n"));
    EXPECT_EQ(w.editorText()->textCursor().position(), 0);
    EXPECT_TRUE(w.scratchExists()) << "buftx.txt exists while a record is open";

    // "編集" unchanged moves the record to the end with one more CR LF.
    w.editorButton("Button2")->click();
    EXPECT_EQ(w.commentBytes(),
              QByteArray("b.jpg\r\nkeep\x0e"
                         "a.jpg\r\nold\r\n\x0e"));
    EXPECT_FALSE(w.scratchExists());
    EXPECT_EQ(w.editorCloses, 1);

    // "削除" answered No, and the close box, change nothing.
    const QByteArray before = w.commentBytes();
    w.edit(QStringLiteral("b.jpg"));
    w.answer = false;
    w.editorButton("Button4")->click();
    EXPECT_EQ(w.commentBytes(), before);
    EXPECT_FALSE(w.scratchExists());
    w.edit(QStringLiteral("b.jpg"));
    w.editor.close();
    EXPECT_EQ(w.commentBytes(), before);
    EXPECT_EQ(w.editorCloses, 3);

    // Yes deletes it.
    w.edit(QStringLiteral("b.jpg"));
    w.answer = true;
    w.editorButton("Button4")->click();
    EXPECT_EQ(w.commentBytes(), QByteArray("a.jpg\r\nold\r\n\x0e"));

    // A new record after an edit shows "書き込み" alone again.
    w.edit(QStringLiteral("c.jpg"));
    EXPECT_TRUE(w.editorButton("Button1")->isEnabled());
    EXPECT_FALSE(w.editorButton("Button4")->isVisibleTo(&w.editor)) << "no delete of a record that does not exist";
    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty()) {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("桜の下で、家族みんなで撮った一枚。"));
        QApplication::sendEvent(w.editorText(), &commit);
        fixtures::saveWindowShot(&w.editor, shots + QStringLiteral("/comment-editor-new.png"));
    }
    w.editor.close();
    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty()) {
        writeFileBytes(w.comments(),
                       commentBytesOf(QStringLiteral("桜.jpg\n春の公園で。\n晴れていた。")) + QByteArray(1, '\x0e'));
        w.edit(QStringLiteral("桜.jpg"));
        fixtures::saveWindowShot(&w.editor, shots + QStringLiteral("/comment-editor-edit.png"));
        w.editor.close();
    }
}

TEST(CommentEditorWindow, ANameWithoutAShiftJisFormTakesNoComment)
{
    CommentWindows w;
    CapturedErrors errors;
    w.selection.SelectedCommentKey = FilePath(QStringLiteral("😀.jpg"));
    ModalWatcher watcher;
    w.editor.ShowModal();
    EXPECT_EQ(watcher.opened(), 0);
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("Shift-JIS"))) << errors.messages[0].toStdString();
    EXPECT_EQ(w.editorCloses, 1) << "the modes end as after any closing";
    EXPECT_FALSE(QFile::exists(w.comments()));
}

TEST(CommentEditorWindow, TheTextAreaOffersCopyAndPasteInJapanese)
{
    CommentWindows w;
    w.edit(QStringLiteral("a.jpg"));
    const std::unique_ptr<QMenu> menu(w.editorText()->createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts.append(action->text());
    EXPECT_TRUE(texts.join(u' ').contains(QStringLiteral("コピー"))) << texts.join(u' ').toStdString();
    EXPECT_TRUE(texts.join(u' ').contains(QStringLiteral("貼り付け"))) << texts.join(u' ').toStdString();
    QAccessibleInterface* text = QAccessible::queryAccessibleInterface(w.editorText());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(QAccessible::Name), QStringLiteral("コメント"));
    w.editor.close();
}

TEST(CommentViewerWindow, ShowsThePictureItsSizeNameAndComment)
{
    CommentWindows w;
    w.folder.writeJpeg(QStringLiteral("縦.jpg"), 300, 400, 1);
    w.folder.writeJpeg(QStringLiteral("wide.jpg"), 800, 400, 2);
    writeFileBytes(w.comments(),
                   QByteArray("wide.jpg\r\n\x82\xa0\x82\xa2\r\nline 2\x0e"
                              "empty.jpg\x0e"));

    w.view(QStringLiteral("縦.jpg"));
    EXPECT_EQ(w.viewer.windowTitle(), QStringLiteral("画像参照\u3000（画面クリックで戻ります。）"));
    EXPECT_EQ(w.viewer.pictureRect(), QRect(0, 0, 300, 400));
    const QImage canvas = control<CanvasImage>(w.viewer, "Image1")->canvas().image();
    EXPECT_EQ(canvas.pixel(300, 10), kSilver);
    EXPECT_NE(canvas.pixel(299, 399), kSilver);
    EXPECT_EQ(control<QLabel>(w.viewer, "Label1")->text(), QStringLiteral("サイズ＝300*400"));
    EXPECT_EQ(control<QLabel>(w.viewer, "Label2")->text(), QStringLiteral("縦.jpg"));
    EXPECT_EQ(w.viewerText()->toPlainText(), QStringLiteral("\n\u3000コメントは書き込まれていません。"));
    EXPECT_TRUE(w.viewerText()->isReadOnly());
    EXPECT_EQ(w.viewerText()->palette().color(QPalette::Base), QColor(255, 251, 240));
    EXPECT_EQ(control<CanvasImage>(w.viewer, "Image1")->accessibleName(), QStringLiteral("縦.jpg"));

    w.view(QStringLiteral("wide.jpg"));
    EXPECT_EQ(w.viewer.pictureRect(), QRect(QPoint(0, 105), QPoint(570, 314)));
    EXPECT_EQ(w.viewerText()->toPlainText(), QStringLiteral("\nあい\nline 2"));

    // A key followed at once by the terminator is no comment.
    w.folder.writeJpeg(QStringLiteral("empty.jpg"), 10, 10, 3);
    w.view(QStringLiteral("empty.jpg"));
    EXPECT_TRUE(w.viewerText()->toPlainText().endsWith(QStringLiteral("コメントは書き込まれていません。")));

    // A click on the picture gives the focus back and closes.
    QTest::mouseClick(control<CanvasImage>(w.viewer, "Image1"), Qt::LeftButton);
    EXPECT_FALSE(w.viewer.isVisible());
    EXPECT_GE(w.viewerFocus, 1);

    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty()) {
        QImage photo(800, 600, QImage::Format_RGB32);
        photo.fill(QColor(90, 140, 200));
        w.folder.writeJpeg(QStringLiteral("夕焼け.jpg"), 800, 600, 9);
        writeFileBytes(w.comments(),
                       w.commentBytes() + QByteArray("\x97\x5b\x8f\xc4\x82\xaf.jpg\r\n")
                           + QByteArray("2026\x94\x4e\x82\x50\x82\x4f\x8c\x8e\x81\x41\x8a\x43\x82\xcc\x92\x6e\x82\xc5"
                                        "\x8e\x42\x82\xc1\x82\xbd\x81\x42\x0e"));
        w.view(QStringLiteral("夕焼け.jpg"));
        fixtures::saveWindowShot(&w.viewer, shots + QStringLiteral("/comment-viewer.png"));
        w.viewer.close();
    }
}

TEST(CommentViewerWindow, CreatesTheCommentFileWhereItCanAndCopesWithAReadOnlyMedium)
{
    CommentWindows w;
    w.folder.writeJpeg(QStringLiteral("a.jpg"), 20, 10, 1);
    w.view(QStringLiteral("a.jpg"));
    EXPECT_EQ(w.commentBytes(), QByteArray()) << "an empty coment.txt is made";
    w.viewer.close();

    const auto mount = fixtures::ScratchMount::tryMount(64 * 1024);
    if (!mount)
        GTEST_SKIP() << "mounting a small file system needs root";
    {
        QFile picture(mount->filePath(QStringLiteral("a.jpg")));
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.write(readFileBytes(w.folder.filePath(QStringLiteral("a.jpg"))));
    }
    ASSERT_TRUE(mount->setReadOnly(true));
    w.selection.setFolder(FilePath(mount->path()));
    w.view(QStringLiteral("a.jpg"));
    EXPECT_TRUE(w.viewerText()->toPlainText().endsWith(QStringLiteral("コメントは書き込まれていません。")));
    EXPECT_NE(control<CanvasImage>(w.viewer, "Image1")->canvas().image().pixel(5, 5), kSilver)
        << "the picture is shown all the same";
    EXPECT_FALSE(QFile::exists(mount->filePath(QStringLiteral("coment.txt"))));
    w.viewer.close();
    mount->setReadOnly(false);
}

TEST(CommentEditorWindow, ACommentFileThatCannotBeOpenedIsToldAndTheProgramGoesOn)
{
    CommentWindows w;
    ASSERT_TRUE(QDir(w.folder.path()).mkdir(QStringLiteral("coment.txt")));
    CapturedErrors errors;
    w.selection.SelectedCommentKey = FilePath(QStringLiteral("a.jpg"));
    ModalWatcher watcher;
    w.editor.ShowModal();
    EXPECT_EQ(watcher.opened(), 0);
    EXPECT_EQ(errors.messages, QStringList{QStringLiteral("FileOpen Error")});
    EXPECT_TRUE(errors.endings.isEmpty()) << "the program goes on";
    EXPECT_EQ(w.editorCloses, 1) << "the modes end as after any editor";

    // The viewer tells it too, and shows the picture without a comment.
    w.folder.writeJpeg(QStringLiteral("a.jpg"), 20, 10, 1);
    w.view(QStringLiteral("a.jpg"));
    EXPECT_EQ(errors.messages.size(), 2);
    EXPECT_TRUE(errors.endings.isEmpty());
    EXPECT_TRUE(w.viewerText()->toPlainText().endsWith(QStringLiteral("コメントは書き込まれていません。")));
    w.viewer.close();
}

// Text with a control character the file cannot hold (set from elsewhere, as
// the text area lets none in) is not written: the editor tells why and stays
// open with the text, for the user to mend it.
TEST(CommentEditorWindow, TextWithAControlCharacterIsNotWrittenAndStaysToBeMended)
{
    CommentWindows w;
    CapturedErrors errors;
    w.edit(QStringLiteral("a.jpg"));
    w.editorText()->setPlainText(QStringLiteral("a.jpg\nx") + QChar(u'\0') + QStringLiteral("y"));
    w.editorButton("Button1")->click();
    EXPECT_TRUE(w.editor.isVisible());
    EXPECT_EQ(w.commentBytes(), QByteArray()) << "nothing written";
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("U+0000"))) << errors.messages[0].toStdString();
    EXPECT_EQ(w.editorText()->toPlainText().size(), 9) << "the text is kept";

    w.editorText()->setPlainText(QStringLiteral("a.jpg\nxy"));
    w.editorButton("Button1")->click();
    EXPECT_FALSE(w.editor.isVisible());
    EXPECT_EQ(w.commentBytes(), QByteArray("a.jpg\r\nxy\x0e"));

    // "編集" keeps the old record just as well.
    w.edit(QStringLiteral("a.jpg"));
    w.editorText()->setPlainText(QStringLiteral("a.jpg\nx\x0ey"));
    w.editorButton("Button2")->click();
    EXPECT_TRUE(w.editor.isVisible());
    EXPECT_EQ(errors.messages.size(), 2);
    w.editor.close();
    EXPECT_EQ(w.commentBytes(), QByteArray("a.jpg\r\nxy\x0e"));
}

// The records of names whose bytes are not UTF-8 (Latin-1, and Shift-JIS with
// one of code page 932's duplicate codes) are found by those bytes, by the
// editor and by the viewer, and the editor makes no second record.
TEST(CommentWindows, RecordsOfNamesThatAreNotUtf8AreFoundByTheirOwnBytes)
{
    CommentWindows w;
    CapturedErrors errors; // the pictures themselves are not in the folder
    const QByteArray names[] = {QByteArray("caf\xe9.jpg"), QByteArray("\x87\x90.jpg"), QByteArray("\xfa\x4a.jpg"),
                                QByteArray("\xed\x40.jpg")};
    QByteArray file;
    for (int i = 0; i < 4; ++i)
        file += names[i] + "\r\nmemo " + QByteArray::number(i) + '\x0e';
    writeFileBytes(w.comments(), file);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i].toHex().toStdString());
        const FilePath name(names[i], fromShiftJis(names[i]));
        w.selection.SelectedCommentKey = name;
        ASSERT_TRUE(w.editor.FormActivate());
        w.editor.show();
        EXPECT_TRUE(w.editor.editsExistingRecord());
        EXPECT_EQ(w.editor.windowTitle(), QStringLiteral("コメント編集・削除\u3000") + name.text());
        EXPECT_EQ(w.editorText()->toPlainText(), name.text() + QStringLiteral("\nmemo %1\n").arg(i));
        w.editor.close();
        EXPECT_EQ(w.commentBytes(), file);

        w.selection.SelectedCommentKey = name;
        w.viewer.FormActivate();
        w.viewer.show();
        EXPECT_EQ(w.viewerText()->toPlainText(), QStringLiteral("\nmemo %1").arg(i));
        w.viewer.close();
    }
}

TEST(CommentViewerWindow, AClickOnThePictureGivesTheFocusBackOnce)
{
    CommentWindows w;
    w.folder.writeJpeg(QStringLiteral("a.jpg"), 32, 24, 3);
    w.view(QStringLiteral("a.jpg"));
    QTest::mouseClick(control<CanvasImage>(w.viewer, "Image1"), Qt::LeftButton);
    EXPECT_FALSE(w.viewer.isVisible());
    EXPECT_EQ(w.viewerFocus, 1);
}
