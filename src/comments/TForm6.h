#pragma once

#include "common/WindowActivation.h"
#include "imaging/TBitmap.h"

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;

namespace zavio {

class CanvasImage;
class Memo;
class Selection;

// The comment viewer: the picture of SelectedCommentKey fitted into a fixed
// area, its size and name, and its comment from "coment.txt". Made once and
// shown modally for each label click; a click on the picture closes it.
class TForm6 : public QDialog {
    Q_OBJECT

public:
    explicit TForm6(const Selection& selection, QWidget* parent = nullptr);
    ~TForm6() override;

    // Where the keyboard focus goes when the viewer closes (the main
    // window's "操作説明").
    void setFocusOnClose(std::function<void()> focus) { focusOnClose_ = std::move(focus); }

    // Fills the window from the selection and waits until the user closes it.
    void ShowModal();
    // Looks the comment up and draws the picture; a picture that cannot be
    // loaded is reported and leaves a silver area, the comment still shown.
    void FormActivate();

    // The rectangle the picture was last drawn into, in device pixels.
    QRect pictureRect() const { return pictureRect_; }

protected:
    void done(int result) override;

private:
    Memo* Memo1 = nullptr;
    CanvasImage* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;

    void FormCreate();
    void showComment();
    void DrawPicture();
    void Image1Click();
    void FormClose();

    const Selection& selection_;
    std::function<void()> focusOnClose_;
    // The decoded picture, its buffer kept from one showing to the next.
    TBitmap bitmap_;
    int areaWidth_ = 0;
    int areaHeight_ = 0;
    QRect pictureRect_;
    WindowActivation activation_{*this, WindowActivation::Moment::ModalOpening, [this] { FormActivate(); }};
};

} // namespace zavio
