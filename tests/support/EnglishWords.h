#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <string>

namespace zavio::fixtures {

// The text with the given names taken out has no English word left: "JPEG"
// is the one Latin word the reasons use. Gives the first word found, or "".
inline std::string englishIn(QString text, const QStringList& names = {})
{
    for (const QString& name : names)
        text.remove(name);
    text.remove(QStringLiteral("JPEG"));
    const QRegularExpressionMatch word = QRegularExpression(QStringLiteral("[A-Za-z]{2,}")).match(text);
    return word.hasMatch() ? word.captured().toStdString() : std::string();
}

} // namespace zavio::fixtures
