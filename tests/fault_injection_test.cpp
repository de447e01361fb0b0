// Every write of the program, made to fail at each of its file-system calls in
// turn: whatever call fails, the file is byte for byte the old one or the
// intended new one, the user is told exactly once, no scratch file is left
// behind, and the editor still holds what was typed.

#include "comments/CommentMemo.h"
#include "comments/TForm4.h"
#include "common/AtomicFile.h"
#include "common/Selection.h"
#include "rotation/PictureSaver.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/FileBytes.h"
#include "support/IoFaults.h"
#include "support/PictureFolder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <iostream>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::readFileBytes;
using zavio::fixtures::writeFileBytes;
using zavio::fixtures::IoFaults;
using zavio::fixtures::kErrors;
using zavio::fixtures::kMostCalls;
using zavio::fixtures::namesIn;
using zavio::fixtures::PictureFolder;

namespace {

// What one run of an operation must leave, for each way it can end.
struct Expected {
    QByteArray before;
    QByteArray after;
    // Only "編集" has a third: the edited record appended to the old file.
    QByteArray appended;
};

enum class Command { Write, Edit, Delete };

struct CommentCase {
    const char* name;
    Command command;
    QByteArray initial;
    QString key;
    QString typed; // appended at the end of the text area
    Expected expected;
    QStringList failures; // the messages a failed run may show, one of them once
};

QList<CommentCase> commentCases()
{
    const QByteArray others = QByteArray("w.jpg\r\nw\x0e") + "x.jpg\r\nx\x0e";
    const QByteArray withA = QByteArray("w.jpg\r\nw\x0e") + "a.jpg\r\nold\x0e" + "x.jpg\r\nx\x0e";
    const QByteArray edited = "a.jpg\r\nold\r\nnew\x0e";
    return {
        {"書き込み",
         Command::Write,
         others,
         QStringLiteral("a.jpg"),
         QStringLiteral("hello"),
         {others, others + "a.jpg\r\nhello\x0e", {}},
         {QStringLiteral("書き込みエラーa.jpg")}},
        {"編集",
         Command::Edit,
         withA,
         QStringLiteral("a.jpg"),
         QStringLiteral("new"),
         {withA, others + edited, withA + edited},
         {QStringLiteral("EROR1"), QStringLiteral("EROR2"), QStringLiteral("編集書き込みエラーa.jpg"),
          QStringLiteral("comentFileOpen Error"), QStringLiteral("編集ERROR")}},
        {"削除",
         Command::Delete,
         withA,
         QStringLiteral("a.jpg"),
         QString(),
         {withA, others, {}},
         {QStringLiteral("EROR1"), QStringLiteral("EROR2"), QStringLiteral("削除Error")}},
    };
}

} // namespace

// The comment editor's three commits, through its buttons.
TEST(FaultInjectionWindow, EveryFailingCallOfACommentCommitLosesNothing)
{
    const QuestionAnswerer previousAnswerer = setQuestionAnswerer([](const QString&, const QString&) { return true; });
    int runs = 0;
    QSet<QString> seen;
    for (const CommentCase& c : commentCases()) {
        for (const int preferred : kErrors) {
            for (int failAt = 1;; ++failAt) {
                ASSERT_LT(failAt, kMostCalls) << c.name;
                SCOPED_TRACE(QStringLiteral("%1, call %2, errno %3")
                                 .arg(QString::fromUtf8(c.name))
                                 .arg(failAt)
                                 .arg(preferred)
                                 .toStdString());
                PictureFolder folder;
                const QString comments = folder.filePath(QStringLiteral("coment.txt"));
                writeFileBytes(comments, c.initial);
                Selection selection;
                selection.setFolder(FilePath(folder.path()));
                TForm4 editor(selection);
                selection.SelectedCommentKey = FilePath(c.key);
                ASSERT_TRUE(editor.FormActivate());
                editor.show();
                control<CommentMemo>(editor, "Memo1")->moveCursor(QTextCursor::End);
                QTest::keyClicks(control<CommentMemo>(editor, "Memo1"), c.typed);
                const QString text = control<CommentMemo>(editor, "Memo1")->toPlainText();

                CapturedErrors errors;
                bool fired = false;
                {
                    IoFaults faults(failAt, preferred);
                    switch (c.command) {
                    case Command::Write:
                        control<QPushButton>(editor, "Button1")->click();
                        break;
                    case Command::Edit:
                        control<QPushButton>(editor, "Button2")->click();
                        break;
                    case Command::Delete:
                        control<QPushButton>(editor, "Button4")->click();
                        break;
                    }
                    fired = faults.fired();
                }
                ++runs;
                const QByteArray now = readFileBytes(comments);
                EXPECT_TRUE(errors.endings.isEmpty()) << "the program lives on";
                if (now == c.expected.after) {
                    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join(u'|').toStdString();
                    EXPECT_FALSE(editor.isVisible());
                } else if (!c.expected.appended.isEmpty() && now == c.expected.appended) {
                    EXPECT_EQ(errors.messages, QStringList{QStringLiteral("編集ERROR")});
                    seen.insert(errors.messages.front());
                    EXPECT_FALSE(editor.isVisible()) << "the text is kept in the file";
                } else {
                    EXPECT_EQ(now, c.expected.before) << "neither the old file nor the new one";
                    ASSERT_EQ(errors.messages.size(), 1) << errors.messages.join(u'|').toStdString();
                    seen.insert(errors.messages.front());
                    EXPECT_TRUE(c.failures.contains(errors.messages.front())) << errors.messages.front().toStdString();
                    EXPECT_TRUE(editor.isVisible()) << "the editor stays open for another try";
                    EXPECT_EQ(control<CommentMemo>(editor, "Memo1")->toPlainText(), text) << "with the text as typed";
                    editor.close();
                }
                // Closed, the editor leaves no scratch file behind.
                EXPECT_EQ(namesIn(folder.path()), QStringList{QStringLiteral("coment.txt")});
                if (!fired)
                    break; // the operation made fewer calls than failAt: every call has failed once
            }
        }
    }
    setQuestionAnswerer(previousAnswerer);
    // Every message of the three commits came up in some run.
    for (const CommentCase& c : commentCases())
        for (const QString& message : c.failures)
            EXPECT_TRUE(seen.contains(message)) << message.toStdString();
    std::cout << "comment commits: 3 commands x 4 errors, " << runs << " runs\n";
    EXPECT_GT(runs, 100);
}
