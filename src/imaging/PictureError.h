#pragma once

#include <QString>
#include <stdexcept>

namespace zavio {

// A picture that cannot be read, decoded, held or written. The text is shown to
// the user as it stands, so it is Japanese and names the file where one is known.
class PictureError : public std::runtime_error {
public:
    explicit PictureError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace zavio
