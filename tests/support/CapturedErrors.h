#pragma once

#include "common/ErrorReport.h"

#include <QStringList>

namespace zavio::fixtures {

// Collects the error reports a test provokes instead of showing message boxes.
struct CapturedErrors {
    QStringList messages;
    ErrorReporter previous;
    CapturedErrors() { previous = setErrorReporter([this](const QString& m) { messages.append(m); }); }
    ~CapturedErrors() { setErrorReporter(previous); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
};

} // namespace zavio::fixtures
