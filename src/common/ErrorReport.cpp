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

ProgramEnder& installedEnder()
{
    static ProgramEnder ender;
    return ender;
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

void showMessage(QWidget* parent, const QString& message)
{
    if (const ErrorReporter& reporter = installedReporter()) {
        reporter(message);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ザヴィオ"), message, QMessageBox::Ok, parent);
    box.exec();
}

void endProgram(int status)
{
    if (const ProgramEnder& ender = installedEnder()) {
        ender(status);
        return;
    }
    // Leaves the main event loop and every nested one, so the windows close
    // and are destroyed as at any end; main returns the status.
    QCoreApplication::exit(status);
}

ProgramEnder setProgramEnder(ProgramEnder ender)
{
    return std::exchange(installedEnder(), std::move(ender));
}

} // namespace zavio
