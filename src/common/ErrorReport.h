#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

class QWidget;

namespace zavio {

// The text of an exception, as the user is to read it.
QString errorText(const std::exception& error);

// Shows an error that escaped a handler's work in a critical message box with
// its own text. Every box of this file is a MessageBox: centred on parent's
// window (or the active window or the screen) and wide enough for its title.
// Tests replace the box with their own reporter.
void reportError(QWidget* parent, const QString& message);
using ErrorReporter = std::function<void(const QString& message)>;
// Installs reporter and returns the previous one; an empty one restores the box.
// The reporter also receives the plain messages below.
ErrorReporter setErrorReporter(ErrorReporter reporter);

// Shows one of the program's own fixed messages ("書き込みエラー", "削除Error",
// ...) in a plain message box with an OK button, and waits for it.
void showMessage(QWidget* parent, const QString& message);

// Asks a yes-or-no question with a question icon; true for Yes. Tests answer
// through setQuestionAnswerer instead of a user.
[[nodiscard]] bool askYesNo(QWidget* parent, const QString& title, const QString& question);
using QuestionAnswerer = std::function<bool(const QString& title, const QString& question)>;
QuestionAnswerer setQuestionAnswerer(QuestionAnswerer answerer);

// Ends the program with status once the current handler returns: every event
// loop, modal ones included, is left. Tests replace it.
void endProgram(int status);
using ProgramEnder = std::function<void(int status)>;
ProgramEnder setProgramEnder(ProgramEnder ender);

// Runs a handler's work; an exception that escapes it is reported and the rest
// of the work is skipped, so no exception ever crosses Qt's event loop.
template <typename Work>
bool runReportingErrors(QWidget* parent, Work&& work)
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception& error) {
        reportError(parent, errorText(error));
    } catch (...) {
        reportError(parent, QStringLiteral("予期しないエラーが起きました。"));
    }
    return false;
}

} // namespace zavio
