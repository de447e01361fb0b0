#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>
#include <stdexcept>

namespace zavio::fixtures {

// A window's control of type T found by its object name, as the window names
// its controls. A missing control fails the test and ends it, rather than
// crashing on a null pointer.
template <class T>
T* control(const QObject& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found) {
        const QString message =
            QStringLiteral("%1 has no control named %2 of the type asked for").arg(window.objectName(), name);
        ADD_FAILURE() << message.toStdString();
        throw std::runtime_error(message.toStdString());
    }
    return found;
}

template <class T>
T* control(const QObject& window, const char* name)
{
    return control<T>(window, QString::fromLatin1(name));
}

} // namespace zavio::fixtures
