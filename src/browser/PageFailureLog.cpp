#include "browser/PageFailureLog.h"

#include <QStringList>

namespace zavio {

QString pageFailureHeading(int count)
{
    return count == 1 ? QStringLiteral("表示できない画像があります。")
                      : QStringLiteral("表示できない画像が %1 枚あります。").arg(count);
}

QString PageFailureLog::reportOnce(const std::vector<PageFailure>& failures)
{
    QStringList parts;
    for (const PageFailure& failure : failures) {
        const QString told = failure.name.text() + u'\n' + failure.message;
        if (!told_.contains(told)) {
            told_.insert(told);
            parts.append(failure.message);
        }
    }
    if (parts.isEmpty())
        return QString();
    return pageFailureHeading(int(parts.size())) + QStringLiteral("\n\n") + parts.join(QStringLiteral("\n\n"));
}

} // namespace zavio
