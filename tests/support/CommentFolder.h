#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace zavio::fixtures {

// A picture folder seen by the comment file tests: "coment.txt" and the
// scratch file as raw bytes, read and written with plain POSIX calls.
class CommentFolder {
public:
    explicit CommentFolder(const QString& path);

    // The folder as native path bytes, as the comment file takes it.
    const std::string& path() const { return path_; }
    std::string filePath(std::string_view name) const;
    bool has(std::string_view name) const;

    // The bytes of "coment.txt"; the test fails when it cannot be read.
    std::string comments() const;
    void setComments(std::string_view bytes) const;
    // The permission bits of "coment.txt".
    unsigned mode() const;

private:
    std::string path_;
};

} // namespace zavio::fixtures
