#pragma once

#include "common/ErrorReport.h"

#include <QDialog>

namespace zavio {

// How a secondary window opens: it fills itself from the selection under the
// error guard, and only a fill that succeeded shows it modally. A fill that
// fails is reported once and leaves the window closed. Returns whether it showed.
template <typename Fill>
bool fillAndShowModal(QDialog& window, Fill&& fill)
{
    if (!runReportingErrors(&window, std::forward<Fill>(fill)))
        return false;
    window.exec();
    return true;
}

} // namespace zavio
