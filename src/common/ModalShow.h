#pragma once

#include "common/ErrorReport.h"

#include <QDialog>
#include <type_traits>

namespace zavio {

// How a secondary window opens: it fills itself from the selection under the
// error guard, and only a fill that succeeded shows it modally. A fill that
// throws is reported once and leaves the window closed; a fill that returns
// false has told the user itself and leaves it closed too. Returns whether the
// window showed.
template <typename Fill>
bool fillAndShowModal(QDialog& window, Fill&& fill)
{
    bool ready = true;
    const bool filled = runReportingErrors(&window, [&] {
        if constexpr (std::is_same_v<std::invoke_result_t<Fill>, bool>)
            ready = fill();
        else
            fill();
    });
    if (!filled || !ready)
        return false;
    window.exec();
    return true;
}

} // namespace zavio
