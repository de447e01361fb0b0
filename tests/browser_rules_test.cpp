// The main window's rules that need no window: the failures told once, the
// folder list's rows, the file list's click and the last folder per drive.
#include "browser/FileListClick.h"
#include "browser/FolderRows.h"
#include "browser/LastFolderOnMount.h"
#include "browser/PageFailureLog.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zavio;

namespace {

PageFailure failure(int cell, const char* name, const QString& message)
{
    return {cell, FilePath(QString::fromLatin1(name)), message};
}

} // namespace

TEST(PageFailureLog, TellsEachFailureOnceUntilTheFolderIsReadAgain)
{
    PageFailureLog log;
    const QString broken = QStringLiteral("壊れています: a.jpg");
    EXPECT_EQ(log.reportOnce({failure(3, "a.jpg", broken)}),
              QStringLiteral("表示できない画像があります。\n\n") + broken);
    EXPECT_TRUE(log.reportOnce({failure(3, "a.jpg", broken)}).isEmpty()) << "coming back to the page";
    EXPECT_TRUE(log.reportOnce({failure(7, "a.jpg", broken)}).isEmpty()) << "the same picture in another cell";
    EXPECT_TRUE(log.reportOnce({}).isEmpty());

    // Only what is new is told, in cell order, with the count in the heading.
    const QString cut = QStringLiteral("途中で終わっています: b.jpg");
    const QString empty = QStringLiteral("空のファイルです: c.jpg");
    EXPECT_EQ(log.reportOnce({failure(1, "a.jpg", broken), failure(2, "b.jpg", cut), failure(5, "c.jpg", empty)}),
              QStringLiteral("表示できない画像が 2 枚あります。\n\n") + cut + QStringLiteral("\n\n") + empty);

    // The same picture failing for another reason is told again.
    const QString gone = QStringLiteral("読めません: a.jpg");
    EXPECT_EQ(log.reportOnce({failure(3, "a.jpg", gone)}), QStringLiteral("表示できない画像があります。\n\n") + gone);

    log.clear();
    EXPECT_FALSE(log.reportOnce({failure(3, "a.jpg", broken)}).isEmpty()) << "told again after a new read";
}

TEST(PageFailureLog, HeadingCountsThePicturesAfterTheFirst)
{
    EXPECT_EQ(pageFailureHeading(1), QStringLiteral("表示できない画像があります。"));
    EXPECT_EQ(pageFailureHeading(2), QStringLiteral("表示できない画像が 2 枚あります。"));
    EXPECT_EQ(pageFailureHeading(20), QStringLiteral("表示できない画像が 20 枚あります。"));
}

TEST(FolderRows, AncestorsOpenFromTheRootThenTheSubfoldersClosed)
{
    const FolderRows list =
        folderRows(QStringLiteral("/home/user/写真"), {QStringLiteral("2023"), QStringLiteral("b")});
    const std::vector<FolderRow> expected{
        {QStringLiteral("/"), QStringLiteral("/"), 0, true},
        {QStringLiteral("home"), QStringLiteral("/home"), 1, true},
        {QStringLiteral("user"), QStringLiteral("/home/user"), 2, true},
        {QStringLiteral("写真"), QStringLiteral("/home/user/写真"), 3, true},
        {QStringLiteral("2023"), QStringLiteral("/home/user/写真/2023"), 4, false},
        {QStringLiteral("b"), QStringLiteral("/home/user/写真/b"), 4, false},
    };
    EXPECT_EQ(list.rows, expected);
    EXPECT_EQ(list.currentRow, 3);
}

TEST(FolderRows, TheRootIsItsOwnOnlyAncestor)
{
    const FolderRows root = folderRows(QStringLiteral("/"), {QStringLiteral("etc")});
    const std::vector<FolderRow> expected{
        {QStringLiteral("/"), QStringLiteral("/"), 0, true},
        {QStringLiteral("etc"), QStringLiteral("/etc"), 1, false},
    };
    EXPECT_EQ(root.rows, expected);
    EXPECT_EQ(root.currentRow, 0);

    const FolderRows leaf = folderRows(QStringLiteral("/mnt"), {});
    ASSERT_EQ(leaf.rows.size(), 2u);
    EXPECT_EQ(leaf.currentRow, 1);
    EXPECT_TRUE(leaf.rows[1].open);
}

TEST(FileListClick, RoutesByModeAndSelection)
{
    struct Case {
        bool fileSelected, commentMode, rotationMode;
        FileListOpen opens;
    };
    const Case cases[] = {
        {true, false, false, FileListOpen::Zoom},
        {false, false, false, FileListOpen::Zoom},
        {true, false, true, FileListOpen::Rotation},
        // Rotation mode needs a file; without one the zoom window opens.
        {false, false, true, FileListOpen::Zoom},
        {true, true, false, FileListOpen::CommentEditor},
        {false, true, false, FileListOpen::Nothing},
    };
    for (const Case& route : cases) {
        EXPECT_EQ(fileListClickOpens(route.fileSelected, route.commentMode, route.rotationMode), route.opens)
            << route.fileSelected << route.commentMode << route.rotationMode;
    }
}

TEST(LastFolderOnMount, GoesBackToTheLastFolderWhileItIsThere)
{
    QTemporaryDir mount;
    ASSERT_TRUE(mount.isValid());
    const QString root = mount.path();
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("a/b")));
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("c")));

    LastFolderOnMount last;
    EXPECT_EQ(last.folderToOpen(root), root) << "a drive not visited opens at its mount point";
    last.remember(root, root + QStringLiteral("/a/b"));
    EXPECT_EQ(last.folderToOpen(root), root + QStringLiteral("/a/b"));
    EXPECT_EQ(last.folderToOpen(QStringLiteral("/")), QStringLiteral("/")) << "each drive for itself";
    last.remember(root, root + QStringLiteral("/c"));
    EXPECT_EQ(last.folderToOpen(root), root + QStringLiteral("/c")) << "the latest folder counts";

    // A folder removed since opens the mount point instead.
    ASSERT_TRUE(QDir(root + QStringLiteral("/c")).removeRecursively());
    EXPECT_EQ(last.folderToOpen(root), root);
}
