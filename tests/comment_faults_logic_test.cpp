// The comment file where the folder works against it, without the editor: a
// linked "coment.txt" and a file of another user shared through its group.
#include "comments/CommentFile.h"
#include "support/CommentFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zavio;
using zavio::fixtures::CommentFolder;

namespace {

constexpr char T = kRecordTerminator;

std::string withoutScratch(const CommentFolder& folder)
{
    EXPECT_FALSE(folder.has(kScratchFileName));
    return folder.comments();
}

} // namespace

// A "coment.txt" that links to a file shared by several folders stays a link:
// the shared file is rewritten in its own folder, and no scratch file stays.
TEST(CommentFaults, ALinkedCommentFileStaysLinked)
{
    QTemporaryDir dir;
    const CommentFolder shared(dir.filePath(QStringLiteral("shared")));
    const CommentFolder pictures(dir.filePath(QStringLiteral("pictures")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shared")) && QDir(dir.path()).mkdir(QStringLiteral("pictures")));
    shared.setComments(std::string("a.jpg\r\na") + T + "b.jpg\r\nb" + T);
    ASSERT_EQ(::symlink("../shared/coment.txt", pictures.filePath(kCommentFileName).c_str()), 0);

    CommentFile file;
    ASSERT_TRUE(file.OpenForEdit(pictures.path()).ok());
    ASSERT_TRUE(file.BeginRewrite(file.FindRecordForEdit("a.jpg")).ok());
    EXPECT_TRUE(file.ReplaceRecord("a.jpg\r\nA").ok());
    file.CloseForEdit();
    ASSERT_TRUE(file.OpenForEdit(pictures.path()).ok());
    ASSERT_TRUE(file.BeginRewrite(file.FindRecordForEdit("b.jpg")).ok());
    EXPECT_TRUE(file.DeleteRecord().ok());
    file.CloseForEdit();

    struct stat link {};
    ASSERT_EQ(::lstat(pictures.filePath(kCommentFileName).c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode)) << "the link was replaced by a plain file";
    EXPECT_EQ(withoutScratch(shared), std::string("a.jpg\r\nA") + T);
    EXPECT_FALSE(pictures.has(kScratchFileName));
}

// A user who shares a folder through a group rewrites another member's
// "coment.txt": the file keeps its group and mode, so the others can still
// write it. Needs root to make the two users.
TEST(CommentFaults, ARewriteByAnotherMemberKeepsTheGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    constexpr uid_t kOwner = 4242, kMember = 4243;
    constexpr gid_t kShared = 4343, kMembersOwn = 4344;
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const CommentFolder folder(dir.path());
    folder.setComments(std::string("a.jpg\r\na") + T + "b.jpg\r\nb" + T);
    const std::string path = folder.filePath(kCommentFileName);
    ASSERT_EQ(::chown(path.c_str(), kOwner, kShared), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The member: its own primary group, the shared one besides.
        const gid_t groups[] = {kShared};
        if (::setgroups(1, groups) != 0 || ::setgid(kMembersOwn) != 0 || ::setuid(kMember) != 0)
            ::_exit(2);
        CommentFile file;
        if (!file.OpenForEdit(folder.path()).ok() || !file.BeginRewrite(file.FindRecordForEdit("a.jpg")).ok())
            ::_exit(3);
        const bool replaced = file.ReplaceRecord("a.jpg\r\nA").ok();
        file.CloseForEdit();
        ::_exit(replaced ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(withoutScratch(folder), std::string("b.jpg\r\nb") + T + "a.jpg\r\nA" + T);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, kShared) << "the group that shares the file";
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}
