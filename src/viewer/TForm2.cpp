#include "viewer/TForm2.h"

#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/Selection.h"
#include "common/WindowCentre.h"
#include "imaging/PictureLoader.h"
#include "viewer/MagnifierCursor.h"
#include "viewer/ZoomImage.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

namespace zavio {
namespace {

// A dialog, so that the window system keeps it above the main window it is
// modal over.
constexpr Qt::WindowFlags kResizableFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags kFixedFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

QSize primaryScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

QRect primaryAvailableArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), primaryScreenSize());
}

Qt::ScrollBarPolicy barPolicy(bool shown)
{
    return shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
}

} // namespace

TForm2::TForm2(const Selection& selection, QWidget* parent) : TForm2(selection, primaryScreenSize(), parent)
{
    availableArea_ = primaryAvailableArea();
}

TForm2::TForm2(const Selection& selection, QSize screenSize, QWidget* parent)
    : QDialog(parent, kResizableFrame),
      selection_(selection),
      screenSize_(screenSize),
      availableArea_(QPoint(0, 0), screenSize)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("元サイズ表示"));

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    Image1 = new ZoomImage;
    ScrollBox1->setWidget(Image1);
    connect(Image1, &ZoomImage::pressed, this, &TForm2::Image1MouseDown);
    connect(Image1, &ZoomImage::released, this, &TForm2::Image1MouseUp);

    FormCreate();
}

TForm2::~TForm2() = default;

void TForm2::FormCreate()
{
    Image1->setCursor(magnifierCursor());
    resize(5, 5);
    factor_.reset();
    baseSize_ = QSize(1, 1);
    recordedSize_ = size();
}

void TForm2::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ScrollBox1->setGeometry(rect());
}

void TForm2::ShowModal()
{
    if (selection_.SelectedPicture.isEmpty())
        return;
    // The first opening is in the middle of the screen, sized to its
    // picture; later ones keep the place where the user left the window.
    activation_.openModal([this] {
        if (lastPosition_)
            move(*lastPosition_);
        else
            centreOnScreen(*this);
    });
}

bool TForm2::FormActivate()
{
    return activation_.activate();
}

void TForm2::loadSelectedPicture()
{
    // Let go of the shown picture first, so the decoder can reuse its pixels.
    Image1->clearPicture();
    const QString& name = selection_.SelectedPicture.text();
    try {
        Hourglass hourglass;
        loadShownPictureInto(selection_.picturePath(), bitmap_);
    } catch (...) {
        // Nothing of an earlier picture stays behind a failed one.
        bitmap_ = TBitmap();
        Image1->setAccessibleName(QString());
        throw;
    }
    Image1->setPicture(bitmap_);
    Image1->setAccessibleName(name);
    const int width = bitmap_.width();
    const int height = bitmap_.height();
    setWindowTitle(openingCaption(width, height, name));

    setClientSize(openingClientSize(width, height));
    baseSize_ = size();
    Image1->resize(baseSize_);
}

void TForm2::Image1MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        factor_.enlarge();
    else if (button == Qt::RightButton)
        factor_.reduce(baseSize_.width());
}

void TForm2::Image1MouseUp()
{
    // From the first click the frame holds the size the zoom gives it.
    setFrameFixed(true);
    const ZoomLayout layout = zoomLayout(baseSize_, factor_.tenths(), screenSize_);
    Image1->resize(layout.image);
    const QSize frame = frameGeometry().size() - size();
    const ZoomClient client = zoomClient(layout, size(), availableArea_.size() - frame);
    ScrollBox1->setHorizontalScrollBarPolicy(barPolicy(client.horizontalBar));
    ScrollBox1->setVerticalScrollBarPolicy(barPolicy(client.verticalBar));
    setWindowTitle(layout.caption);
    if (compositorPlacesWindows()) {
        // The program can neither see nor choose where the window is, so once
        // it reaches the screen's limits the compositor lays it over the
        // whole work area, which it alone knows, and the picture scrolls.
        const bool atLimits = client.horizontalBar || client.verticalBar;
        if (atLimits != isMaximized())
            setMaximized(atLimits);
        if (atLimits)
            return;
    }
    setClientSize(client.size);
    keepOnScreen();
}

bool TForm2::compositorPlacesWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TForm2::setMaximized(bool maximized)
{
    if (maximized) {
        // A maximised window takes the size the compositor gives it.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showMaximized();
    } else {
        showNormal();
    }
}

void TForm2::keepOnScreen()
{
    const QRect frame = frameGeometry();
    QPoint shift;
    if (frame.right() > availableArea_.right())
        shift.rx() = availableArea_.right() - frame.right();
    if (frame.left() + shift.x() < availableArea_.left())
        shift.rx() = availableArea_.left() - frame.left();
    if (frame.bottom() > availableArea_.bottom())
        shift.ry() = availableArea_.bottom() - frame.bottom();
    if (frame.top() + shift.y() < availableArea_.top())
        shift.ry() = availableArea_.top() - frame.top();
    if (!shift.isNull())
        move(pos() + shift);
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::FormClose()
{
    if (isVisible())
        lastPosition_ = pos();
    setFrameFixed(false);
    factor_.reset();
    resize(recordedSize_);
    if (isMaximized())
        showNormal();
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TForm2::setFrameFixed(bool fixed)
{
    if (fixed == frameFixed_)
        return;
    frameFixed_ = fixed;
    const Qt::WindowFlags flags = fixed ? kFixedFrame : kResizableFrame;
    if (fixed) {
        setFixedSize(size());
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    // Changing the flags through QWidget would hide the open window; the
    // native window takes them as they are.
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle())
        window->setFlags(flags);
}

void TForm2::setClientSize(QSize size)
{
    if (frameFixed_)
        setFixedSize(size);
    else
        resize(size);
}

} // namespace zavio
