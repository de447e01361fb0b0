#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zavio::fixtures {

// Waits, while a test's click runs a modal window's event loop, for each modal
// window to come up; hands it to inspect, then closes it as the user would.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> inspect = {}) : inspect_(std::move(inspect))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            ++opened_;
            if (inspect_)
                inspect_(modal);
            modal->close();
        });
        timer_.start(5);
    }
    int opened() const { return opened_; }

private:
    std::function<void(QWidget*)> inspect_;
    QTimer timer_;
    int opened_ = 0;
};

} // namespace zavio::fixtures
