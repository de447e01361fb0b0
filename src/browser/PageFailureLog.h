#pragma once

#include "browser/PageFiller.h"

#include <QSet>
#include <QString>
#include <vector>

namespace zavio {

// The heading of the report on pictures of a page that cannot be shown, for
// count pictures newly told.
QString pageFailureHeading(int count);

// Remembers which page failures the user was told since the folder was last
// read, so that coming back to a page, or selecting a file, shows the marks
// without the same message again. A failure is the same when both the file's
// name and the reason are.
class PageFailureLog {
public:
    // The folder was read again: every failure is new again.
    void clear() { told_.clear(); }
    // The one report on the failures of a fill not told before, the heading
    // first and each reason after it in cell order, and marks them told.
    // Empty when every failure was told already.
    QString reportOnce(const std::vector<PageFailure>& failures);

private:
    QSet<QString> told_;
};

} // namespace zavio
