// Runs the program's own windows on the desktop session it is started in
// (native Wayland or X11 through XWayland, as the program chooses) and drives
// them itself in a folder holding one picture of 1200 x 900 pixels: the main window draws its first page, a thumbnail click opens
// the zoom window, ten left clicks take it to 200 % where it must still fit
// the screen's available area and scroll, a click on the main window must not
// get through the modal zoom window, and the zoom window closes and the
// program ends cleanly. Prints what it measured, one "name value" a line.
// Usage: zavio_session_probe <folder>; the picture is written there first.
// Environment: ZAVIO_PROBE_SHOTS, a folder for grabs of both windows;
// ZAVIO_PROBE_HOLD_MS, a pause at the main window and at 200 % (after a
// "hold ..." line) for screenshots from outside.

#include "app/DesktopSession.h"
#include "app/Startup.h"
#include "app/Windows.h"
#include "common/CanvasImage.h"
#include "common/ErrorReport.h"
#include "viewer/ZoomImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++failures;
}

// A control the probe needs: without it nothing after could be measured, so
// the probe says which one is missing and ends.
template <typename T>
T& required(T* control, const char* what)
{
    check(control != nullptr, what);
    if (!control) {
        std::fflush(stdout);
        std::exit(1);
    }
    return *control;
}

QString text(QRect r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

void line(const char* name, const QString& value)
{
    std::printf("%s %s\n", name, value.toUtf8().constData());
}

void hold(const char* where)
{
    const int ms = qEnvironmentVariableIntValue("ZAVIO_PROBE_HOLD_MS");
    if (ms <= 0)
        return;
    std::printf("hold %s\n", where);
    std::fflush(stdout);
    QTest::qWait(ms);
}

void grab(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("ZAVIO_PROBE_SHOTS");
    if (folder.isEmpty())
        return;
    const QString path = QDir(folder).filePath(QGuiApplication::platformName() + "-" + name + ".png");
    check(window.grab().save(path), "grab saved");
    line("grab", path);
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The X11 window the window manager keeps the zoom window above.
unsigned long transientParent(QWidget& window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Window parent = 0;
    if (!x11 || !XGetTransientForHint(x11->display(), Window(window.winId()), &parent))
        return 0;
    return parent;
}

void zoomWindow(zavio::Windows& w)
{
    zavio::TForm2& zoom = *w.Form2;
    auto* picture =
        &required(zoom.findChild<zavio::ZoomImage*>(QStringLiteral("Image1")), "zoom window has its picture");
    check(QTest::qWaitForWindowExposed(&zoom, 10000), "zoom window shown");
    check(QApplication::activeModalWidget() == &zoom, "zoom window is the modal window");
    line("zoom-100-client", QStringLiteral("%1x%2").arg(zoom.width()).arg(zoom.height()));
    for (int i = 0; i < 10; ++i) {
        QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::qWait(20);
    }
    // The compositor answers the last resize with a configure of its own.
    QTest::qWait(300);
    check(zoom.zoomTenths() == 20, "zoom window at 200 %");
    const QRect available = zoom.screen()->availableGeometry();
    const QRect frame = zoom.frameGeometry();
    line("zoom-200-client", QStringLiteral("%1x%2").arg(zoom.width()).arg(zoom.height()));
    line("zoom-200-frame", text(frame));
    line("zoom-200-image", QStringLiteral("%1x%2").arg(picture->width()).arg(picture->height()));
    check(frame.width() <= available.width() && frame.height() <= available.height(),
          "zoom window's frame fits the available area");
    // Every part of the picture can be reached: what the viewport does not
    // show, its scroll bars reach.
    const QScrollArea& box =
        required(zoom.findChild<QScrollArea*>(QStringLiteral("ScrollBox1")), "zoom window has its scroll box");
    const QSize view = box.viewport()->size();
    check(box.horizontalScrollBar()->isVisible() && box.verticalScrollBar()->isVisible(),
          "both scroll bars show at 200 %");
    check(view.width() + box.horizontalScrollBar()->maximum() >= picture->width()
              && view.height() + box.verticalScrollBar()->maximum() >= picture->height(),
          "the scroll bars reach the whole picture");
    hold("zoom-200");
    grab(zoom, "zoom-200");

    // A click on the main window's comment box must not reach it while the
    // zoom window is open.
    QCheckBox& box1 =
        required(w.Form1->findChild<QCheckBox*>(QStringLiteral("CheckBox1")), "main window has its comment box");
    const QPoint at = box1.mapTo(w.Form1.get(), QPoint(6, box1.height() / 2));
    QTest::mouseClick(w.Form1->windowHandle(), Qt::LeftButton, {}, at);
    QTest::qWait(100);
    check(!box1.isChecked(), "a click on the main window does not get through");
    check(QApplication::activeModalWidget() == &zoom && zoom.isVisible(), "the zoom window stays open and modal");
    if (onX11())
        check(transientParent(zoom) == w.Form1->winId(), "the zoom window is transient for the main window");

    zoom.close();
}

void drive(zavio::Windows& w)
{
    zavio::TForm1& main = *w.Form1;
    check(QTest::qWaitForWindowExposed(&main, 10000), "main window shown");
    check(QTest::qWaitFor([&] { return !main.cellCaption(1).isEmpty(); }, 10000), "first page drawn");
    const QScreen* screen = main.screen();
    line("platform", QGuiApplication::platformName());
    line("input-method", qEnvironmentVariable("QT_IM_MODULE"));
    line("device-pixel-ratio", QString::number(main.devicePixelRatioF()));
    line("screen", text(screen->geometry()));
    line("available", text(screen->availableGeometry()));
    line("main-client", QStringLiteral("%1x%2").arg(main.width()).arg(main.height()));
    line("main-frame", text(main.frameGeometry()));
    hold("main");
    grab(main, "main");

    QTimer::singleShot(0, &main, [&w] { zoomWindow(w); });
    QTest::mouseClick(
        &required(main.findChild<zavio::CanvasImage*>(QStringLiteral("Image1")), "main window has its first cell"),
        Qt::LeftButton);
    check(!w.Form2->isVisible(), "zoom window closed");
    check(QApplication::activeModalWidget() == nullptr, "no modal window left");
    main.close();
}

} // namespace

// A picture with fine lines and text, whose edges show any scaling blur.
bool writePicture(const QString& folder)
{
    QImage picture(1200, 900, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (int x = 0; x < 1200; x += 4)
        painter.fillRect(x, 0, 1, 300, Qt::black);
    QFont font;
    font.setPixelSize(80);
    painter.setFont(font);
    painter.drawText(QRect(0, 300, 1200, 600), Qt::AlignCenter, QStringLiteral("Zavio 1200x900"));
    painter.end();
    return QDir::setCurrent(folder) && picture.save(QStringLiteral("a.jpg"), "JPEG", 95);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    zavio::applySessionPreferences(argc, argv);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int status = 0;
    zavio::setErrorReporter([](const QString& message) {
        std::printf("FAIL error report: %s\n", message.toUtf8().constData());
        ++failures;
    });
    const bool ran = zavio::runReportingErrors(nullptr, [&] {
        if (!writePicture(folder))
            throw std::runtime_error("cannot write the test picture in " + folder.toStdString());
        zavio::prepareApplication(app);
        const auto windows = zavio::createWindows();
        windows->Form1->show();
        QTimer::singleShot(0, windows->Form1.get(), [&] { drive(*windows); });
        // Nothing may keep the program from ending once its main window closes.
        QTimer::singleShot(60000, &app, [] {
            check(false, "the program ends within a minute");
            std::exit(1);
        });
        status = app.exec();
    });
    check(ran, "the program ran without an escaping error");
    check(status == 0, "the event loop ended with status 0");
    std::printf("%s\n", failures ? "FAILED" : "PASSED");
    return failures ? 1 : 0;
}
