#include "support/CommentFolder.h"

#include "comments/CommentFile.h"

#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zavio::fixtures {

CommentFolder::CommentFolder(const QString& path) : path_(QFile::encodeName(path).toStdString()) {}

std::string CommentFolder::filePath(std::string_view name) const
{
    return path_ + '/' + std::string(name);
}

bool CommentFolder::has(std::string_view name) const
{
    struct stat st {};
    return ::stat(filePath(name).c_str(), &st) == 0;
}

std::string CommentFolder::comments() const
{
    std::string bytes;
    const int fd = ::open(filePath(kCommentFileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << filePath(kCommentFileName);
        return bytes;
    }
    char block[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, block, sizeof block)) > 0)
        bytes.append(block, std::size_t(n));
    ::close(fd);
    return bytes;
}

void CommentFolder::setComments(std::string_view bytes) const
{
    const int fd = ::open(filePath(kCommentFileName).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << filePath(kCommentFileName);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    ::close(fd);
}

unsigned CommentFolder::mode() const
{
    struct stat st {};
    EXPECT_EQ(::stat(filePath(kCommentFileName).c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace zavio::fixtures
