#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <type_traits>

class QDialog;
class QWidget;
class QWindow;

namespace zavio {

// A window's activation step (its FormActivate), run at one kind of moment
// that makes the window the one the user works in. The window owns it as a
// member. Every run is under the error guard: what the step throws is
// reported over the window, once.
class WindowActivation : public QObject {
    Q_OBJECT

public:
    enum class Moment {
        // Each time the window is shown, as it is shown, and when it comes
        // back from being minimised.
        Shown,
        // Each time the window becomes the active one, once until it is left
        // again: when Qt makes it the active window, and also when the window
        // system gives it the keyboard focus while Qt, busy with a popup menu,
        // leaves another window the active one.
        Activated,
        // Each time openModal opens the window, before it is shown: a step
        // that returns false or throws keeps it closed.
        ModalOpening,
    };
    // The step tells whether the window may open; only a ModalOpening step
    // is asked.
    using Step = std::function<bool()>;

    WindowActivation(QWidget& window, Moment moment, Step step);
    // A step that returns nothing always lets the window open.
    template <typename F>
        requires std::is_void_v<std::invoke_result_t<F&>> WindowActivation(QWidget& window, Moment moment, F step)
            : WindowActivation(window, moment, Step([step = std::move(step)]() mutable {
                                   step();
                                   return true;
                               }))
        {}

        // Runs the step now. Returns whether it ran through and said yes.
        bool activate();
        // For a ModalOpening dialog: runs the step, and only after one that said
        // yes runs place and shows the dialog modally, waiting until it closes.
        // Returns whether it showed.
        bool openModal(const std::function<void()>& place = {});

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;

    private:
        // The native window's focus events come to the QWindow, which exists from
        // the first showing on.
        void watchWindowHandle();
        void entered();

        QWidget& window_;
        const Moment moment_;
        Step step_;
        QPointer<QWindow> handle_;
        bool active_ = false;
};

} // namespace zavio
