#pragma once

#include <QString>
#include <stdexcept>

namespace zavio {

// A failure the user is told about: its message is Japanese, names the file
// where one is known, and is shown as it stands. Every error of the program's
// own (pictures, Shift-JIS text, comments, saving) derives from it.
class UserError : public std::runtime_error {
public:
    explicit UserError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace zavio
