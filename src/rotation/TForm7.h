#pragma once

#include "common/WindowActivation.h"
#include "imaging/TBitmap.h"
#include "rotation/TPixelImage.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QScrollArea;
class QStatusBar;

namespace zavio {

class CanvasImage;
class Selection;
class TdispForm;

// The rotation window "画像回転処理": the picture of SelectedPicture (a full
// path) previewed with its size, turned 90 degrees right or left into the
// result window on command. Shown modally over the main window; its child,
// the result window, stays usable beside it.
class TForm7 : public QDialog {
    Q_OBJECT

public:
    explicit TForm7(const Selection& selection, QWidget* parent = nullptr);
    ~TForm7() override;

    TdispForm* dispForm() const { return dispForm_; }
    // Run when the window closes: rotation mode is switched off.
    void setOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }
    // The window this one is centred on when it opens (the main window), used
    // while it has no parent; with a parent it is centred on the parent's window.
    void setCentreOn(QWidget* window) { centreOn_ = window; }

    // Shows the window centred on the main window, loads the picture,
    // previews it and waits until the user closes the window. What the
    // loading has to tell appears over the window.
    void ShowModal();
    // Loads SelectedPicture into the TPixelImage and the preview.
    void FormActivate();
    void ShowPreview();
    void RotateAndShow(const TPixelImage* picture, float angle);

    const TPixelImage* pixelImage() const { return pixelImage_.get(); }
    // The file loaded at the last activation, which the turns come from.
    const FilePath& pictureFile() const { return pictureFile_; }
    QString statusText() const;
    // The rectangle of the last preview, in the 317 x 237 box (in device
    // pixels, as the preview is drawn).
    QRect previewRect() const { return previewRect_; }

    void N2Click();
    void N3Click();
    void N4Click();

protected:
    void done(int result) override;
    // Esc does not close the window; its close box and "閉じる(&C)" do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QScrollArea* ScrollBox1 = nullptr;
    CanvasImage* Image1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;

    // Moves the window's frame to the middle of the main window's.
    void placeOnCentre();
    void FormCreate();
    // The result window closed: the focus comes back here, and so does the
    // user, which reloads the picture.
    void resultClosed();
    // A return from the result window, by its closing or by this window
    // becoming the active one again, reloads the picture from its file, so
    // that a picture just saved over shows as saved; once for each visit.
    void reloadOnReturn();
    void FormClose();
    void showOwnMessage(const QString& message, bool error);

    const Selection& selection_;
    std::function<void()> onClose_;
    QPointer<QWidget> centreOn_;
    std::unique_ptr<TPixelImage> pixelImage_;
    FilePath pictureFile_;
    // The preview's picture, decoded once per activation, its buffer kept.
    TBitmap previewBitmap_;
    QString previewError_;
    QRect previewRect_;
    TdispForm* dispForm_ = nullptr;
    // The user went to the result window; coming back reloads the picture.
    bool returnReloads_ = false;
    WindowActivation activation_;
};

} // namespace zavio
