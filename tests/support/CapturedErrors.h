#pragma once

#include "common/ErrorReport.h"

#include <QStringList>

namespace zavio::fixtures {

// Collects the error reports and plain messages a test provokes instead of
// showing message boxes, and the program ends it asks for instead of ending.
struct CapturedErrors {
    QStringList messages;
    QList<int> endings;
    ErrorReporter previous;
    ProgramEnder previousEnder;
    CapturedErrors()
    {
        previous = setErrorReporter([this](const QString& m) { messages.append(m); });
        previousEnder = setProgramEnder([this](int status) { endings.append(status); });
    }
    ~CapturedErrors()
    {
        setErrorReporter(previous);
        setProgramEnder(previousEnder);
    }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
};

} // namespace zavio::fixtures
