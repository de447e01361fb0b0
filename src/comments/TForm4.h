#pragma once

#include "comments/CommentFile.h"
#include "common/WindowActivation.h"

#include <QByteArray>
#include <QDialog>
#include <functional>

class QPushButton;

namespace zavio {

class CommentMemo;
class Selection;

// The comment editor: writes a new comment for the picture of
// SelectedCommentKey, or edits or deletes the one it has. Made once and
// shown modally; every way of closing it switches both modes off.
class TForm4 : public QDialog {
    Q_OBJECT

public:
    explicit TForm4(Selection& selection, QWidget* parent = nullptr);
    ~TForm4() override;

    // Run when the editor closes: both mode boxes are cleared.
    void setOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }
    // Opens the comment help window ("説明").
    void setOpenHelp(std::function<void()> openHelp) { openHelp_ = std::move(openHelp); }

    // Looks the comment up, opens in the matching mode and waits until the
    // user closes the window.
    void ShowModal();
    // Opens "coment.txt" and sets the window up for the key. False when the
    // window must not open (the message is shown already).
    [[nodiscard]] bool FormActivate();

    bool editsExistingRecord() const { return match_.found; }
    // How long a commit waits for another program's lock on "coment.txt".
    void setLockWait(std::chrono::milliseconds wait) { file_.setLockWait(wait); }

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* Button1 = nullptr;
    CommentMemo* Memo1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;

    void FormCreate();
    void FormClose();
    void showMode(bool existing);
    // The text area's text as stored bytes.
    std::string storedText() const;

    Selection& selection_;
    std::function<void()> onClose_;
    std::function<void()> openHelp_;
    CommentFile file_;
    RecordMatch match_;
    // The key the record was found or made by, and the text it is shown as.
    QByteArray keyBytes_;
    QString keyText_;
    WindowActivation activation_{*this, WindowActivation::Moment::ModalOpening, [this] { return FormActivate(); }};
};

} // namespace zavio
