#include "common/WindowActivation.h"

#include "common/ErrorReport.h"

#include <QDialog>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace zavio {

WindowActivation::WindowActivation(QWidget& window, Moment moment, Step step)
    : window_(window), moment_(moment), step_(std::move(step))
{
    if (moment_ != Moment::ModalOpening)
        window_.installEventFilter(this);
    if (moment_ == Moment::Activated)
        watchWindowHandle();
}

bool WindowActivation::activate()
{
    bool yes = true;
    const bool ran = runReportingErrors(&window_, [&] { yes = step_(); });
    return ran && yes;
}

bool WindowActivation::openModal(const std::function<void()>& place)
{
    auto* dialog = qobject_cast<QDialog*>(&window_);
    Q_ASSERT(dialog && moment_ == Moment::ModalOpening);
    if (!activate())
        return false;
    if (place)
        place();
    dialog->exec();
    return true;
}

void WindowActivation::watchWindowHandle()
{
    QWindow* handle = window_.windowHandle();
    if (!handle || handle == handle_)
        return;
    if (handle_)
        handle_->removeEventFilter(this);
    handle_ = handle;
    handle_->installEventFilter(this);
}

void WindowActivation::entered()
{
    if (active_)
        return;
    active_ = true;
    activate();
}

bool WindowActivation::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == &window_) {
        if (moment_ == Moment::Shown && type == QEvent::Show) {
            activate();
        } else if (moment_ == Moment::Activated) {
            if (type == QEvent::Show || type == QEvent::WinIdChange)
                watchWindowHandle();
            if (type == QEvent::WindowActivate)
                entered();
            else if (type == QEvent::WindowDeactivate || type == QEvent::Hide)
                active_ = false;
        }
    } else if (watched == handle_) {
        if (type == QEvent::FocusIn)
            entered();
        else if (type == QEvent::FocusOut)
            active_ = false;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zavio
