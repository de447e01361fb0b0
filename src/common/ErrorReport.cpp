#include "common/ErrorReport.h"

#include "common/MessageBox.h"
#include "imaging/UserError.h"

#include <QApplication>

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
    MessageBox box(QMessageBox::Critical, QStringLiteral("ザヴィオ"), message, QMessageBox::Ok, parent);
    box.exec();
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
    MessageBox box(QMessageBox::NoIcon, QStringLiteral("ザヴィオ"), message, QMessageBox::Ok, parent);
    box.exec();
}

namespace {

QuestionAnswerer& installedAnswerer()
{
    static QuestionAnswerer answerer;
    return answerer;
}

} // namespace

bool askYesNo(QWidget* parent, const QString& title, const QString& question)
{
    if (const QuestionAnswerer& answerer = installedAnswerer())
        return answerer(title, question);
    MessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QuestionAnswerer setQuestionAnswerer(QuestionAnswerer answerer)
{
    return std::exchange(installedAnswerer(), std::move(answerer));
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
