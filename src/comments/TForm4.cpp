#include "comments/TForm4.h"

#include "comments/CommentMemo.h"
#include "comments/CommentMessages.h"
#include "comments/CommentText.h"
#include "common/CancelKey.h"
#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/Selection.h"
#include "common/ShiftJis.h"
#include "common/WindowCentre.h"

#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QTextCursor>

namespace zavio {
namespace {

constexpr Qt::WindowFlags kEditorFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
    | Qt::MSWindowsFixedSizeDialogHint;
constexpr int kTextLimit = 2000;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

// Runs a comment file operation under the hourglass, which is gone again
// before any of its messages is shown.
template <typename Operation>
CommentOutcome withHourglass(Operation&& operation)
{
    const Hourglass hourglass;
    return std::forward<Operation>(operation)();
}

std::string_view bytesView(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

QString textOfBytes(const std::string& bytes)
{
    return fromShiftJis(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

TForm4::TForm4(Selection& selection, QWidget* parent) : QDialog(parent, kEditorFrame), selection_(selection)
{
    setObjectName(QStringLiteral("Form4"));
    setFixedSize(595, 240);

    Button1 = makeButton(this, "Button1", QStringLiteral("書き込み"), {496, 178, 81, 31});
    Memo1 = new CommentMemo(kTextLimit, this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 16, 473, 209);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setAccessibleName(QStringLiteral("コメント"));
    Button2 = makeButton(this, "Button2", QStringLiteral("編集"), {496, 16, 81, 31});
    Button3 = makeButton(this, "Button3", QStringLiteral("説明"), {514, 106, 51, 31});
    Button4 = makeButton(this, "Button4", QStringLiteral("削除"), {496, 56, 81, 31});
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm4::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);

    FormCreate();
}

TForm4::~TForm4() = default;

void TForm4::FormCreate()
{
    showMode(false);
}

void TForm4::showMode(bool existing)
{
    // "書き込み" for a new record; "編集", "説明" and "削除" only for one that exists.
    Button1->setEnabled(!existing);
    Button2->setVisible(existing);
    Button3->setVisible(existing);
    Button4->setVisible(existing);
}

void TForm4::ShowModal()
{
    // An editor that could not open closes all the same: the modes end. It
    // opens in the middle of the screen, not of the main window.
    if (!activation_.openModal([this] { centreOnScreen(*this); }))
        FormClose();
}

bool TForm4::FormActivate()
{
    // A record without a key would belong to no picture.
    if (selection_.SelectedCommentKey.isEmpty())
        return false;
    const std::optional<QByteArray> key = commentKeyOf(selection_.SelectedCommentKey);
    if (!key) {
        showMessage(this,
                    QStringLiteral("「%1」のファイル名は Shift-JIS で表せない文字を含むため、コメントを書けません。")
                        .arg(selection_.SelectedCommentKey.text()));
        return false;
    }
    if (!tellCommentOutcome(this,
                            withHourglass([&] { return file_.OpenForEdit(bytesView(selection_.folder().native())); })))
        return false;
    Memo1->allowEditing();
    Memo1->clear();
    QPalette white = Memo1->palette();
    white.setColor(QPalette::Base, Qt::white);
    Memo1->setPalette(white);

    match_ = file_.FindRecordForEdit(bytesView(*key));
    showMode(match_.found);
    keyBytes_ = match_.found ? QByteArray::fromStdString(match_.matchedKey) : *key;
    keyText_ = match_.found ? commentTextOf(keyBytes_) : selection_.SelectedCommentKey.text();
    if (!match_.found) {
        setWindowTitle(QStringLiteral("コメント作成\u3000"));
        Memo1->setPlainText(selection_.SelectedCommentKey.text() + u'\n');
        Memo1->moveCursor(QTextCursor::End);
    } else {
        setWindowTitle(QStringLiteral("コメント編集・削除\u3000") + textOfBytes(match_.matchedKey));
        if (!tellCommentOutcome(this, withHourglass([&] { return file_.BeginRewrite(match_); })))
            return false;
        const std::string lines = TextToLines(match_.recordText);
        Memo1->setPlainText(commentTextOf(QByteArrayView(lines.data(), qsizetype(lines.size()))));
        Memo1->moveCursor(QTextCursor::Start);
    }
    Memo1->setFocus();
    return true;
}

std::string TForm4::storedText() const
{
    // The key line keeps the bytes the record is found by, which the shown
    // text of a name that is not UTF-8 would not give back.
    return recordBytesOf(Memo1->toPlainText(), keyBytes_, keyText_).toStdString();
}

// A text that cannot be stored, or a write that fails, keeps the editor open
// with the text as typed, so the user can try again or copy it.
void TForm4::Button1Click()
{
    bool stored = false;
    runReportingErrors(this, [&] {
        const std::string text = storedText();
        stored = tellCommentOutcome(this, withHourglass([&] { return file_.AppendRecord(text); }));
    });
    if (stored)
        close();
}

void TForm4::Button2Click()
{
    bool stored = false;
    runReportingErrors(this, [&] {
        const std::string text = storedText();
        stored = tellCommentOutcome(this, withHourglass([&] { return file_.ReplaceRecord(text); }));
    });
    if (stored)
        close();
}

void TForm4::Button3Click()
{
    if (openHelp_)
        openHelp_();
}

void TForm4::Button4Click()
{
    if (askYesNo(this, QStringLiteral("確認"), QStringLiteral("削除していいですか？"))
        && !tellCommentOutcome(this, withHourglass([&] { return file_.DeleteRecord(); })))
        return; // the record is still there, and so is the editor
    close();
}

void TForm4::keyPressEvent(QKeyEvent* event)
{
    // Esc also cancels an input method's conversion: it never throws the comment away.
    if (!swallowCancelKey(event))
        QDialog::keyPressEvent(event);
}

void TForm4::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm4::FormClose()
{
    file_.CloseForEdit();
    selection_.SelectedCommentKey = FilePath();
    Memo1->clear();
    showMode(false);
    match_ = RecordMatch();
    keyBytes_.clear();
    keyText_.clear();
    if (onClose_)
        onClose_();
}

} // namespace zavio
