#pragma once

#include "browser/PageFiller.h"

#include <QCoreApplication>
#include <QImage>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

namespace zavio::fixtures {

inline bool onUiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The renderer's calls, by the thread they come from: the fills here run on
// one thread, so every call off the user-interface thread is background work.
struct RenderLog {
    std::mutex mutex;
    QStringList ui;
    QStringList background;
    std::chrono::milliseconds backgroundDelay{0};

    PageFiller::Renderer renderer()
    {
        return [this](const FilePath& path, int w, int h, TBitmap& scratch) {
            const QString name = path.fileName().text();
            {
                const std::lock_guard lock(mutex);
                (onUiThread() ? ui : background).append(name);
            }
            if (!onUiThread())
                std::this_thread::sleep_for(backgroundDelay);
            return renderThumbnailCell(path, w, h, scratch);
        };
    }
    QStringList takeUi()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(ui, {});
    }
    QStringList backgroundCalls()
    {
        const std::lock_guard lock(mutex);
        return background;
    }
};

// Handles events until the condition holds, for at most ten seconds.
template <typename Condition>
bool waitFor(Condition condition)
{
    using namespace std::chrono_literals;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

inline bool sameImage(const QImage& a, const QImage& b)
{
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

} // namespace zavio::fixtures
