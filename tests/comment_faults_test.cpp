// The comment editor where the folder works against it: a lock that another
// program holds, a read-only medium, and keys that must not close the editor.

#include "comments/CommentFile.h"
#include "comments/CommentMemo.h"
#include "comments/TForm4.h"
#include "common/Selection.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/FileBytes.h"
#include "support/CommentFolder.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"
#include "support/ScratchMount.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::readFileBytes;
using zavio::fixtures::writeFileBytes;
using zavio::fixtures::CommentFolder;
using zavio::fixtures::ModalWatcher;
using zavio::fixtures::PictureFolder;
using zavio::fixtures::ScratchMount;

namespace {

constexpr char T = kRecordTerminator;
const QString kBusy =
    QStringLiteral("コメントファイル（coment."
                   "txt）はほかのプログラムが使用中のため、書き込めません。しばらくしてからもう一度試してください。");

// Another program's lock on a file, held while this lives.
class HeldLock {
public:
    explicit HeldLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        EXPECT_GE(fd_, 0);
        EXPECT_EQ(::flock(fd_, LOCK_EX), 0);
    }
    ~HeldLock() { ::close(fd_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    int fd_;
};

std::string withoutScratch(const CommentFolder& folder)
{
    EXPECT_FALSE(folder.has(kScratchFileName));
    return folder.comments();
}

// An editor on a folder of pictures, as the main window leaves it.
struct EditorOn {
    PictureFolder folder;
    Selection selection;
    TForm4 editor{selection};

    EditorOn() { selection.setFolder(FilePath(folder.path())); }
    // The editor's text area and buttons, found as the editor names them.
    CommentMemo* editorText() const { return control<CommentMemo>(editor, "Memo1"); }
    QPushButton* editorButton(const char* name) const { return control<QPushButton>(editor, name); }
    QString comments() const { return folder.filePath(QStringLiteral("coment.txt")); }
    bool open(const QString& key)
    {
        selection.SelectedCommentKey = FilePath(key);
        if (!editor.FormActivate())
            return false;
        editor.show();
        return true;
    }
};

} // namespace

// A lock held by another program is waited for a moment only; then the user
// is told, nothing is written, and the next try after the lock is gone works.
TEST(CommentFaultsWindow, ALockHeldTooLongIsToldAndChangesNothing)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    const std::string original = std::string("a.jpg\r\na") + T;
    folder.setComments(original);
    CommentFile file;
    EXPECT_EQ(file.lockWait(), std::chrono::milliseconds(3000));
    file.setLockWait(std::chrono::milliseconds(50));
    const CommentMessage busy{CommentMessageId::FileBusy, {}, {}};
    {
        const HeldLock lock(folder.filePath(kCommentFileName));
        const CommentOutcome opened = file.OpenForEdit(folder.path());
        EXPECT_EQ(opened.messages, std::vector<CommentMessage>{busy});
        EXPECT_FALSE(opened.done);
    }
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    const RecordMatch a = file.FindRecordForEdit("a.jpg");
    ASSERT_TRUE(file.BeginRewrite(a).ok());
    {
        const HeldLock lock(folder.filePath(kCommentFileName));
        for (const CommentOutcome& outcome :
             {file.AppendRecord("a.jpg\r\nnew"), file.ReplaceRecord("a.jpg\r\nA"), file.DeleteRecord()}) {
            EXPECT_EQ(outcome.messages, std::vector<CommentMessage>{busy});
            EXPECT_FALSE(outcome.done);
        }
        EXPECT_EQ(folder.comments(), original);
    }
    EXPECT_TRUE(file.ReplaceRecord("a.jpg\r\nA").ok());
    file.CloseForEdit();
    EXPECT_EQ(withoutScratch(folder), std::string("a.jpg\r\nA") + T);

    // In the editor: the message comes without the hourglass, and the editor
    // keeps its text for another try.
    EditorOn w;
    w.editor.setLockWait(std::chrono::milliseconds(50));
    ASSERT_TRUE(w.open(QStringLiteral("b.jpg")));
    QTest::keyClicks(w.editorText(), QStringLiteral("sunset"));
    QStringList told;
    bool hourglassWhileTold = false;
    const ErrorReporter previous = setErrorReporter([&](const QString& message) {
        told.append(message);
        hourglassWhileTold = hourglassWhileTold || QApplication::overrideCursor() != nullptr;
    });
    {
        const HeldLock lock(QFile::encodeName(w.comments()).toStdString());
        w.editorButton("Button1")->click();
    }
    setErrorReporter(previous);
    EXPECT_EQ(told, QStringList{kBusy});
    EXPECT_FALSE(hourglassWhileTold);
    EXPECT_TRUE(w.editor.isVisible());
    EXPECT_EQ(w.editorText()->toPlainText(), QStringLiteral("b.jpg\nsunset"));
    EXPECT_EQ(readFileBytes(w.comments()), QByteArray());
    w.editorButton("Button1")->click();
    EXPECT_FALSE(w.editor.isVisible());
    EXPECT_EQ(readFileBytes(w.comments()), QByteArray("b.jpg\r\nsunset\x0e"));
}

// Esc cancels an input method's conversion; it never closes the editor or
// throws the text away. The close box still closes it.
TEST(CommentFaultsWindow, EscKeepsTheEditorAndItsText)
{
    EditorOn w;
    ASSERT_TRUE(w.open(QStringLiteral("a.jpg")));
    QTest::keyClicks(w.editorText(), QStringLiteral("half a thought"));
    QTest::keyClick(w.editorText(), Qt::Key_Escape);
    QTest::keyClick(&w.editor, Qt::Key_Escape);
    EXPECT_TRUE(w.editor.isVisible());
    EXPECT_EQ(w.editorText()->toPlainText(), QStringLiteral("a.jpg\nhalf a thought"));
    EXPECT_TRUE(w.editor.close());
    EXPECT_FALSE(w.editor.isVisible());
}

// An editor asked to open without a picture's name opens nothing, so no
// record without a key can be written.
TEST(CommentFaultsWindow, NoEditorOpensWithoutAKey)
{
    EditorOn w;
    CapturedErrors errors;
    ModalWatcher watcher;
    w.selection.SelectedCommentKey = FilePath();
    w.editor.ShowModal();
    EXPECT_EQ(watcher.opened(), 0);
    EXPECT_FALSE(QFile::exists(w.comments()));
}

// A folder on a read-only medium: the editor tells why it cannot take a
// comment, opens nothing, and the program goes on. Needs root for the mount.
TEST(CommentFaultsWindow, AReadOnlyMediumOpensNoEditorAndTheProgramGoesOn)
{
    const auto mount = ScratchMount::tryMount(1 << 20);
    if (!mount)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const CommentFolder card(mount->path());
    card.setComments(std::string("a.jpg\r\non the card") + T);
    ASSERT_TRUE(mount->setReadOnly(true));
    Selection selection;
    selection.setFolder(FilePath(mount->path()));
    TForm4 editor(selection);
    int closes = 0;
    editor.setOnClose([&] { ++closes; });
    CapturedErrors errors;
    ModalWatcher watcher;
    for (const QString& key : {QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}) {
        selection.SelectedCommentKey = FilePath(key);
        editor.ShowModal();
    }
    const QString told = QStringLiteral("FileOpen Error\nこのフォルダーには書き込めないため（読み取り専用のメディアか、"
                                        "書き込みの権限がありません）、コメントを書けません。");
    EXPECT_EQ(errors.messages, (QStringList{told, told}));
    EXPECT_TRUE(errors.endings.isEmpty());
    EXPECT_EQ(watcher.opened(), 0);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(card.comments(), std::string("a.jpg\r\non the card") + T);
    ASSERT_TRUE(mount->setReadOnly(false));
}

// A name that is not UTF-8 keeps its own bytes as the key of the record the
// editor writes, new or edited, so the picture finds it again.
TEST(CommentFaultsWindow, TheEditorWritesAKeyByItsOwnBytes)
{
    EditorOn w;
    const FilePath latin1(QByteArray("caf\xe9.jpg"), QStringLiteral("caf\u00e9.jpg"));
    w.selection.SelectedCommentKey = latin1;
    ASSERT_TRUE(w.editor.FormActivate());
    w.editor.show();
    QTest::keyClicks(w.editorText(), QStringLiteral("crema"));
    w.editorButton("Button1")->click();
    EXPECT_EQ(readFileBytes(w.comments()), QByteArray("caf\xe9.jpg\r\ncrema\x0e"));

    // A duplicate code of code page 932 (87 90) is edited under its own bytes.
    writeFileBytes(w.comments(), QByteArray("\x87\x90.jpg\r\nold\x0e"));
    w.selection.SelectedCommentKey = FilePath(QByteArray("\x87\x90.jpg"), QStringLiteral("\u2252.jpg"));
    ASSERT_TRUE(w.editor.FormActivate());
    w.editor.show();
    ASSERT_TRUE(w.editor.editsExistingRecord());
    w.editorText()->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.editorText(), QStringLiteral("new"));
    w.editorButton("Button2")->click();
    EXPECT_EQ(readFileBytes(w.comments()), QByteArray("\x87\x90.jpg\r\nold\r\nnew\x0e"));
}

// The editor takes 2000 bytes as stored, a line break two and a double-byte
// character two, and not one byte more.
TEST(CommentFaultsWindow, TheEditorTakesTwoThousandStoredBytes)
{
    EditorOn w;
    ASSERT_TRUE(w.open(QStringLiteral("a.jpg")));
    EXPECT_EQ(w.editorText()->limit(), 2000);
    // "a.jpg" and its line break take 7 bytes; 1992 more fit, then one
    // double-byte character would pass the limit and a single byte fits.
    QInputMethodEvent commit;
    commit.setCommitString(QString(1992, u'x') + QStringLiteral("あ"));
    QApplication::sendEvent(w.editorText(), &commit);
    QTest::keyClick(w.editorText(), Qt::Key_Y);
    QTest::keyClick(w.editorText(), Qt::Key_Z);
    EXPECT_EQ(w.editorText()->toPlainText(), QStringLiteral("a.jpg\n") + QString(1992, u'x') + u'y');
    w.editorButton("Button1")->click();
    EXPECT_EQ(readFileBytes(w.comments()).size(), 2000 + 1) << "the record and its terminator";
}
