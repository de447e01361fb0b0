#include "comments/TForm6.h"

#include "comments/CommentFile.h"
#include "comments/CommentMessages.h"
#include "comments/CommentText.h"
#include "common/CanvasImage.h"
#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/Memo.h"
#include "common/Selection.h"
#include "common/WindowCentre.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"

#include <QLabel>
#include <QPalette>

namespace zavio {
namespace {

constexpr Qt::WindowFlags kViewerFrame =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
const QColor kCream(255, 251, 240);

} // namespace

TForm6::TForm6(const Selection& selection, QWidget* parent) : QDialog(parent, kViewerFrame), selection_(selection)
{
    setObjectName(QStringLiteral("Form6"));
    setFixedSize(574, 586);

    Memo1 = new Memo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(10, 450, 551, 131);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setAccessibleName(QStringLiteral("コメント"));

    Image1 = new CanvasImage(QStringLiteral("Image1"), this);
    Image1->setGeometry(0, 0, 571, 421);
    Image1->setCursor(Qt::PointingHandCursor);
    connect(Image1, &CanvasImage::clicked, this, &TForm6::Image1Click);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(300, 430);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    Label2->move(20, 430);

    FormCreate();
}

TForm6::~TForm6() = default;

void TForm6::FormCreate()
{
    setWindowTitle(QStringLiteral("画像参照\u3000（画面クリックで戻ります。）"));
}

void TForm6::ShowModal()
{
    // It opens in the middle of the screen, not of the main window.
    activation_.openModal([this] { centreOnScreen(*this); });
}

void TForm6::FormActivate()
{
    // The picture is drawn at the area's size on the screen, in device pixels.
    const QSize area = Image1->deviceSize();
    areaWidth_ = area.width();
    areaHeight_ = area.height();
    showComment();
    DrawPicture();
}

void TForm6::showComment()
{
    const FilePath& key = selection_.SelectedCommentKey;
    Label2->setText(key.text());
    Label2->adjustSize();
    // A name without a code page 932 form can have no comment.
    ViewComment view;
    if (const std::optional<QByteArray> bytes = commentKeyOf(key)) {
        CommentFile file;
        const QByteArray& folder = selection_.folder().native();
        // A file that cannot be read is told, and the picture is shown without a comment.
        showCommentMessages(this, file.OpenForView({folder.constData(), size_t(folder.size())}));
        view = file.FindCommentForView({bytes->constData(), size_t(bytes->size())});
        showCommentMessages(this, view.outcome);
        file.CloseForView();
    }
    // The area always starts with an empty line: what is left of the key's
    // line, or of an empty text.
    QString shown =
        view.found ? commentTextOf(QByteArrayView(view.comment.data(), qsizetype(view.comment.size()))) : QString();
    if (!view.found)
        shown += QStringLiteral("\n\u3000コメントは書き込まれていません。");
    QPalette colours = Memo1->palette();
    colours.setColor(QPalette::Base, kCream);
    Memo1->setPalette(colours);
    Memo1->setPlainText(shown);
    Memo1->showReadOnly();
}

void TForm6::DrawPicture()
{
    Hourglass hourglass;
    TBitmap canvas(areaWidth_, areaHeight_);
    canvas.fill(192, 192, 192);
    pictureRect_ = QRect();
    Label1->clear();
    Image1->setAccessibleName(selection_.SelectedCommentKey.text());
    // A picture that cannot be loaded is told, and the comment stays readable
    // beside a silver area.
    runReportingErrors(this, [&] {
        loadShownPictureInto(selection_.inFolder(selection_.SelectedCommentKey), bitmap_);
        const int w = bitmap_.width();
        const int h = bitmap_.height();
        Label1->setText(QStringLiteral("サイズ＝%1*%2").arg(w).arg(h));
        Label1->adjustSize();
        const FitRect rect = PreviewFit(w, h, areaWidth_, areaHeight_, kPreviewMargins);
        stretchDraw(canvas, rect, bitmap_);
        pictureRect_ = QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
    });
    Image1->setCanvas(canvas);
}

void TForm6::Image1Click()
{
    // Closing gives the focus back (FormClose).
    close();
}

void TForm6::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm6::FormClose()
{
    Memo1->clear();
    if (focusOnClose_)
        focusOnClose_();
}

} // namespace zavio
