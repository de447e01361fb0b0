#include "common/ErrorReport.h"

#include "imaging/UserError.h"

#include <QApplication>
#include <QMessageBox>

namespace zavio {
namespace {

ErrorReporter& installedReporter()
{
    static ErrorReporter reporter;
    return reporter;
}

} // namespace

QString errorText(const std::exception& error)
{
    if (const auto* told = dynamic_cast<const UserError*>(&error))
        return told->message();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return QStringLiteral("メモリが足りません。");
    return QString::fromUtf8(error.what());
}

void reportError(QWidget* parent, const QString& message)
{
    if (const ErrorReporter& reporter = installedReporter()) {
        reporter(message);
        return;
    }
    QMessageBox::critical(parent, QStringLiteral("ザヴィオ"), message);
}

ErrorReporter setErrorReporter(ErrorReporter reporter)
{
    return std::exchange(installedReporter(), std::move(reporter));
}

} // namespace zavio
