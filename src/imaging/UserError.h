#pragma once

#include <QString>
#include <stdexcept>

namespace zavio {

// A failure the user is told about: its message is Japanese, names the file
// where one is known, and is shown as it stands. Pictures, Shift-JIS text and
// file writes throw kinds of it; the comment file returns its failures as
// message ids instead, and a stopped background decode is no failure at all.
class UserError : public std::runtime_error {
public:
    explicit UserError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace zavio
