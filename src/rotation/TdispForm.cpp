#include "rotation/TdispForm.h"

#include "common/CanvasImage.h"
#include "common/CancelKey.h"
#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/JapaneseFont.h"
#include "imaging/PictureError.h"
#include "rotation/PictureSaver.h"
#include "rotation/Rotation.h"
#include "rotation/TPixelImage.h"

#include <QFileDialog>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <new>

namespace zavio {
namespace {

// A dialog, though never modal: only a dialog tells the window system which
// window it belongs to (WM_TRANSIENT_FOR, a Wayland parent), so that the
// system keeps it with the rotation window instead of as a stray window.
constexpr Qt::WindowFlags kResultFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
    | Qt::WindowCloseButtonHint;

// The dialog shows each filter by its name alone; the patterns in the last
// parentheses are what it matches.
const QString kPictureFilter = saveAsNameFilter();
const QString kAllFilter = QStringLiteral("全ファイル(*.*) (*)");

QString askWithDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

TdispForm::TdispForm(QWidget* parent)
    : QDialog(parent, kResultFrame),
      askSaveName_(askWithDialog),
      activation_(*this, WindowActivation::Moment::Activated, [this] { emit activated(); })
{
    setObjectName(QStringLiteral("dispForm"));
    setWindowTitle(QStringLiteral("結果"));
    setModal(false);
    setFont(japaneseFont(12));

    auto* menuBar = new QMenuBar(this);
    FileMenu = menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    FileMenuSave = FileMenu->addAction(QStringLiteral("別名で保存(&A)"), this, &TdispForm::FileMenuSaveClick);
    FileMenuClose = FileMenu->addAction(QStringLiteral("上書き保存(&S)"), this, &TdispForm::FileMenuCloseClick);
    C1 = FileMenu->addAction(QStringLiteral("閉じる(&C)"), this, &TdispForm::C1Click);
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    FileMenuSave->setObjectName(QStringLiteral("FileMenuSave"));
    FileMenuClose->setObjectName(QStringLiteral("FileMenuClose"));
    C1->setObjectName(QStringLiteral("C1"));

    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setFrameShape(QFrame::Panel);
    ScrollBox->setFrameShadow(QFrame::Sunken);
    ScrollBox->setLineWidth(1);
    ScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menuBar);
    layout->addWidget(ScrollBox);
    // The outer 317 x 276 less a usual frame.
    resize(309, 245);

    SavePictureDialog1 = new QFileDialog(this, QStringLiteral("名前を付けて保存"));
    SavePictureDialog1->setObjectName(QStringLiteral("SavePictureDialog1"));
    SavePictureDialog1->setOption(QFileDialog::DontUseNativeDialog);
    SavePictureDialog1->setOption(QFileDialog::HideNameFilterDetails);
    SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1->setFileMode(QFileDialog::AnyFile);
    SavePictureDialog1->setNameFilters({kPictureFilter, kAllFilter});
    SavePictureDialog1->selectNameFilter(kPictureFilter);
    SavePictureDialog1->setSizeGripEnabled(true);
}

TdispForm::~TdispForm() = default;

void TdispForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen whenever it is shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TdispForm::done(int result)
{
    QDialog::done(result);
    emit closed();
}

void TdispForm::keyPressEvent(QKeyEvent* event)
{
    if (!swallowCancelKey(event))
        QDialog::keyPressEvent(event);
}

void TdispForm::ShowRotated(const TPixelImage* picture, float angle, const FilePath& source)
{
    if (!picture)
        return;
    Hourglass hourglass;
    // The old result goes before anything else, so that no pixels of another
    // picture can remain to be shown or saved over this source.
    result_ = TBitmap();
    emptyReason_.clear();
    source_ = source;
    const QSize size = RotatedSize(*picture, angle);
    if (picture->Is24Bit() && !size.isEmpty()) {
        try {
            TBitmap turned(size.width(), size.height());
            turned.fill(255, 255, 255);
            RotateImage(*picture, angle, turned);
            result_ = std::move(turned);
        } catch (const PictureError& error) {
            // No memory for the result: it stays empty, and the save
            // commands tell why there is nothing to save.
            emptyReason_ = error.message();
        } catch (const std::bad_alloc&) {
            emptyReason_ = QStringLiteral("回転のためのメモリが足りません。");
        }
    }
    showResult();
}

QString TdispForm::nothingToSaveMessage() const
{
    return emptyReason_.isEmpty() ? kNothingToSave : kNothingToSave + u'\n' + emptyReason_;
}

void TdispForm::showResult()
{
    if (!ResultImage) {
        ResultImage = new CanvasImage(QStringLiteral("ResultImage"), nullptr);
        ScrollBox->setWidget(ResultImage);
    }
    ResultImage->resize(result_.width(), result_.height());
    ResultImage->setCanvas(result_);
    ResultImage->setAccessibleName(QStringLiteral("結果 %1*%2").arg(result_.width()).arg(result_.height()));
}

void TdispForm::FileMenuSaveClick()
{
    // Nothing to save is told before a name is asked for.
    if (result_.isEmpty()) {
        showMessage(this, nothingToSaveMessage());
        close();
        return;
    }
    const QString chosen = askSaveName_(*SavePictureDialog1);
    if (!chosen.isEmpty()) {
        // A failed write is told with the system's words and the window stays open.
        const bool written = runReportingErrors(this, [&] {
            QString refusal;
            {
                Hourglass hourglass;
                refusal = saveAs(result_, FilePath(chosen), source_);
            }
            if (!refusal.isEmpty())
                showMessage(this, refusal);
        });
        if (!written)
            return;
    }
    close();
}

void TdispForm::FileMenuCloseClick()
{
    const bool finished = runReportingErrors(this, [&] {
        OverwriteOutcome outcome;
        {
            Hourglass hourglass;
            outcome = overwrite(result_, source_);
        }
        // A name of no picture kind is written nothing, silently: the file
        // list offers none such.
        if (!outcome && !outcome.refusal.isEmpty())
            showMessage(this, result_.isEmpty() ? nothingToSaveMessage() : outcome.refusal);
    });
    if (finished)
        close();
}

void TdispForm::C1Click()
{
    close();
}

} // namespace zavio
