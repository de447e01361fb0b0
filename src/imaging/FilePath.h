#pragma once

#include <QByteArray>
#include <QString>

namespace zavio {

// A file's name or path as the file system stores it (bytes, opened as they
// are) together with the text the user is shown for it. The two differ only
// for names that are not UTF-8, such as Shift-JIS names from Japanese Windows
// machines: those are opened by their own bytes and shown decoded.
class FilePath {
public:
    FilePath() = default;
    // A path typed or shown as text: its bytes are its UTF-8 form.
    FilePath(const QString& text); // NOLINT(google-explicit-constructor): text paths convert freely
    FilePath(const char* text) : FilePath(QString::fromUtf8(text)) {}
    // A path with its own bytes and display text.
    FilePath(QByteArray native, QString text) : native_(std::move(native)), text_(std::move(text)) {}

    const QByteArray& native() const { return native_; }
    const QString& text() const { return text_; }
    bool isEmpty() const { return native_.isEmpty(); }
    bool isAbsolute() const { return native_.startsWith('/'); }

    // name inside this folder, with one "/" between them.
    FilePath child(const FilePath& name) const;
    // The last part of the path, after its last "/".
    FilePath fileName() const;

    friend bool operator==(const FilePath& a, const FilePath& b) { return a.native_ == b.native_; }

private:
    QByteArray native_;
    QString text_;
};

} // namespace zavio
