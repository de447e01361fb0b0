#include "viewer/TForm2.h"

#include "app/ErrorReport.h"
#include "app/Hourglass.h"
#include "app/SharedState.h"
#include "imaging/PictureError.h"
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

constexpr Qt::WindowFlags kResizableFrame = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags kFixedFrame = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

QSize primaryScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

Qt::ScrollBarPolicy barPolicy(bool shown)
{
    return shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
}

} // namespace

TForm2::TForm2(QWidget* parent) : TForm2(primaryScreenSize(), parent) {}

TForm2::TForm2(QSize screenSize, QWidget* parent) : QDialog(parent, kResizableFrame), screenSize_(screenSize)
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
    if (SelectedPicture.isEmpty())
        return;
    if (FormActivate())
        exec();
}

bool TForm2::FormActivate()
{
    const bool loaded = runReportingErrors(this, [this] { loadSelectedPicture(); });
    if (!loaded) {
        // Nothing of an earlier picture stays behind a failed one.
        bitmap_ = TBitmap();
        Image1->clearPicture();
        Image1->setAccessibleName(QString());
    }
    return loaded;
}

void TForm2::loadSelectedPicture()
{
    // Let go of the shown picture first, so the decoder can reuse its pixels.
    Image1->clearPicture();
    {
        Hourglass hourglass;
        if (!loadPictureInto(SelectedPicture, bitmap_))
            throw PictureError(QStringLiteral("この種類のファイルは表示できません: %1").arg(SelectedPicture));
    }
    Image1->setPicture(bitmap_);
    Image1->setAccessibleName(SelectedPicture);
    const int width = bitmap_.width();
    const int height = bitmap_.height();
    setWindowTitle(openingCaption(width, height, SelectedPicture));

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
    setClientSize(QSize(layout.followsWidth() ? layout.image.width() : width(),
        layout.followsHeight() ? layout.image.height() : height()));
    ScrollBox1->setHorizontalScrollBarPolicy(barPolicy(layout.horizontalBar));
    ScrollBox1->setVerticalScrollBarPolicy(barPolicy(layout.verticalBar));
    setWindowTitle(layout.caption);
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::FormClose()
{
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
