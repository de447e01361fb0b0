#include "rotation/TForm7.h"

#include "common/CanvasImage.h"
#include "common/CancelKey.h"
#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/JapaneseFont.h"
#include "common/Selection.h"
#include "common/WindowCentre.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"
#include "imaging/UserError.h"
#include "rotation/RotationNotice.h"
#include "rotation/TdispForm.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

namespace zavio {
namespace {

constexpr Qt::WindowFlags kRotationFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
// The preview's box; the picture control inside it is 313 x 233, so what is
// drawn beyond that is clipped.
constexpr int kBoxWidth = 317;
constexpr int kBoxHeight = 237;
constexpr int kImageWidth = 313;
constexpr int kImageHeight = 233;

} // namespace

TForm7::TForm7(const Selection& selection, QWidget* parent)
    : QDialog(parent, kRotationFrame),
      selection_(selection),
      activation_(*this, WindowActivation::Moment::Activated, [this] { reloadOnReturn(); })
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("画像回転処理"));
    setFont(japaneseFont(12));

    auto* menuBar = new QMenuBar(this);
    N1 = menuBar->addMenu(QStringLiteral("回転"));
    N2 = N1->addAction(QStringLiteral("右９０度(&R)"), this, &TForm7::N2Click);
    N3 = N1->addAction(QStringLiteral("左９０度(&L)"), this, &TForm7::N3Click);
    N4 = N1->addAction(QStringLiteral("閉じる(&C)"), this, &TForm7::N4Click);
    N1->setObjectName(QStringLiteral("N1"));
    N2->setObjectName(QStringLiteral("N2"));
    N3->setObjectName(QStringLiteral("N3"));
    N4->setObjectName(QStringLiteral("N4"));

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFixedSize(kBoxWidth, kBoxHeight);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette grey = ScrollBox1->palette();
    grey.setColor(QPalette::Window, QColor(160, 160, 164));
    ScrollBox1->setPalette(grey);
    ScrollBox1->setBackgroundRole(QPalette::Window);
    Image1 = new CanvasImage(QStringLiteral("Image1"), nullptr);
    Image1->resize(kImageWidth, kImageHeight);
    ScrollBox1->setWidget(Image1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(ScrollBox1);
    layout->addWidget(StatusBar1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    dispForm_ = new TdispForm(this);
    connect(dispForm_, &TdispForm::activated, this, [this] { returnReloads_ = true; });
    // Queued: the reload and its message boxes come after the result
    // window's command has finished closing it.
    connect(dispForm_, &TdispForm::closed, this, &TForm7::resultClosed, Qt::QueuedConnection);

    FormCreate();
}

TForm7::~TForm7() = default;

void TForm7::FormCreate()
{
    Image1->fillCanvas(192, 192, 192);
}

QString TForm7::statusText() const
{
    return StatusBar1->currentMessage();
}

void TForm7::ShowModal()
{
    returnReloads_ = false;
    placeOnCentre();
    setWindowModality(Qt::ApplicationModal);
    show();
    // The picture is loaded with the window on the screen, so that a message
    // about it appears over the window.
    runReportingErrors(this, [this] { FormActivate(); });
    if (isVisible())
        exec();
}

void TForm7::placeOnCentre()
{
    QWidget* on = parentWidget() ? parentWidget()->window() : centreOn_.data();
    if (!on || !on->isVisible())
        return;
    adjustSize();
    centreOnWindow(*this, on);
}

void TForm7::keyPressEvent(QKeyEvent* event)
{
    if (!swallowCancelKey(event))
        QDialog::keyPressEvent(event);
}

void TForm7::resultClosed()
{
    if (!isVisible())
        return;
    // The focus comes back here as a window manager would give it; without
    // one it would fall to the desktop.
    const QWindow* focus = QGuiApplication::focusWindow();
    if (!focus || focus == dispForm_->windowHandle())
        activateWindow();
    returnReloads_ = true;
    activation_.activate();
}

void TForm7::reloadOnReturn()
{
    if (!returnReloads_ || !isVisible())
        return;
    returnReloads_ = false;
    FormActivate();
}

void TForm7::FormActivate()
{
    const FilePath& path = selection_.SelectedPicture;
    // The picture of the last activation goes first: whatever fails below,
    // no turn can be made of it for this file.
    pixelImage_.reset();
    pictureFile_ = path;
    RotationLoad load;
    {
        Hourglass hourglass;
        pixelImage_ = std::make_unique<TPixelImage>();
        // One decode serves both the picture to turn and the preview.
        previewError_.clear();
        try {
            loadShownPictureInto(path, previewBitmap_);
        } catch (const UserError& error) {
            previewBitmap_ = TBitmap();
            previewError_ = error.message();
        }
        load.decoded = previewError_.isEmpty();
        load.nameAccepted = TPixelImage::AcceptsFileName(path.text());
        load.held24Bit =
            load.decoded && load.nameAccepted && pixelImage_->LoadBitmap(previewBitmap_) && pixelImage_->Is24Bit();
        load.greyPassMessage = pixelImage_->GreyPassMessage();
        StatusBar1->showMessage(path.fileName().text());
    }
    if (const QString notice = rotationNotice(load); !notice.isEmpty())
        showOwnMessage(notice, false);
    ShowPreview();
}

void TForm7::ShowPreview()
{
    // The preview is drawn at the screen's resolution: the picture control
    // and its box are taken at their sizes in device pixels.
    const QSize area = Image1->deviceSize();
    const QSize box = QSize(kBoxWidth, kBoxHeight) * Image1->devicePixelRatioF();
    TBitmap canvas(area.width(), area.height());
    canvas.fill(192, 192, 192);
    previewRect_ = QRect();
    if (!previewError_.isEmpty()) {
        Image1->setCanvas(canvas);
        // Told with the default cursor: nothing is being done while it waits.
        showOwnMessage(previewError_, true);
        return;
    }
    Hourglass hourglass;
    const int w = previewBitmap_.width();
    const int h = previewBitmap_.height();
    StatusBar1->showMessage(QStringLiteral("サイズ＝%1*%2").arg(w).arg(h));
    const FitRect rect = PreviewFit(w, h, box.width(), box.height(), kPreviewMargins);
    stretchDraw(canvas, rect, previewBitmap_);
    previewRect_ = QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
    Image1->setCanvas(canvas);
    Image1->setAccessibleName(selection_.SelectedPicture.fileName().text());
}

void TForm7::showOwnMessage(const QString& message, bool error)
{
    if (error)
        reportError(this, message);
    else
        showMessage(this, message);
}

void TForm7::RotateAndShow(const TPixelImage* picture, float angle)
{
    if (!picture)
        return;
    dispForm_->ShowRotated(picture, angle, pictureFile_);
    dispForm_->show();
}

// A turn hides the result window before it shows the new picture, so that the
// window system maps it afresh and brings it to the front as a newly opened
// window even when it was open behind another. RotateAndShow shows it already;
// the show() after it changes nothing and keeps the order of the steps.
void TForm7::N2Click()
{
    runReportingErrors(this, [this] {
        dispForm_->hide();
        RotateAndShow(pixelImage_.get(), 270.0f);
        dispForm_->show();
    });
}

void TForm7::N3Click()
{
    runReportingErrors(this, [this] {
        dispForm_->hide();
        RotateAndShow(pixelImage_.get(), 90.0f);
        dispForm_->show();
    });
}

void TForm7::N4Click()
{
    close();
}

void TForm7::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm7::FormClose()
{
    returnReloads_ = false;
    if (onClose_)
        onClose_();
}

} // namespace zavio
