#pragma once

#include "common/ErrorReport.h"

#include <QDialog>
#include <type_traits>

namespace zavio {

// How a secondary window opens: it fills itself from the selection under the
// error guard, and only a fill that succeeded shows it modally. A fill that
// throws is reported once and leaves the window closed; a fill that returns
// false has told the user itself and leaves it closed too. place, run after a
// fill that succeeded, puts the window where it opens; without it a window
// that has a parent opens centred on it. Returns whether the window showed.
template <typename Fill, typename Place = void (*)()>
bool fillAndShowModal(QDialog& window, Fill&& fill, Place&& place = [] {})
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
    place();
    window.exec();
    return true;
}

} // namespace zavio
