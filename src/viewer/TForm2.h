#pragma once

#include "common/WindowActivation.h"
#include "imaging/TBitmap.h"
#include "viewer/ZoomRules.h"

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class QScrollArea;

namespace zavio {

class Selection;
class ZoomImage;

// The zoom window: one picture, opened at its own size or fitted to the
// screen's usual room, made a tenth larger at each left click and a tenth
// smaller at each right click. Made once and shown modally for each picture.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    // Reads the primary screen's size once, now. The picture is the
    // selection's SelectedPicture.
    explicit TForm2(const Selection& selection, QWidget* parent = nullptr);
    // As above with a given screen size, for a screen other than this one;
    // the window then keeps inside that size from the origin.
    TForm2(const Selection& selection, QSize screenSize, QWidget* parent = nullptr);
    ~TForm2() override;

    // The screen's area that windows may take, for a screen other than this
    // one; zoom steps keep the window's frame within its size.
    void setAvailableArea(QRect area) { availableArea_ = area; }

    // Opens the picture named by SelectedPicture and waits until the user
    // closes the window. An empty name opens nothing; a picture that cannot be
    // loaded is reported and opens nothing either.
    void ShowModal();
    // Loads SelectedPicture, sets the caption and sizes the window at the
    // current factor's base. Returns false, with the window emptied, after
    // reporting a picture that cannot be loaded.
    [[nodiscard]] bool FormActivate();

    int zoomTenths() const { return factor_.tenths(); }
    QSize baseSize() const { return baseSize_; }
    QSize screenSize() const { return screenSize_; }
    bool frameIsFixed() const { return frameFixed_; }
    const TBitmap& picture() const { return bitmap_; }

protected:
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QScrollArea* ScrollBox1 = nullptr;
    ZoomImage* Image1 = nullptr;

    void FormCreate();
    void loadSelectedPicture();
    void Image1MouseDown(Qt::MouseButton button);
    void Image1MouseUp();
    void FormClose();
    void setFrameFixed(bool fixed);
    void setClientSize(QSize size);
    // Moves the window just far enough that its frame lies inside the
    // screen's available area, so both scroll bars can be reached.
    void keepOnScreen();
    // On Wayland a program cannot place its windows.
    static bool compositorPlacesWindows();
    void setMaximized(bool maximized);

    const Selection& selection_;
    ZoomFactor factor_;
    QSize baseSize_{1, 1};
    QSize screenSize_;
    QRect availableArea_;
    // Where the user left the window, kept for its next opening.
    std::optional<QPoint> lastPosition_;
    QSize recordedSize_;
    TBitmap bitmap_;
    bool frameFixed_ = false;
    WindowActivation activation_{*this, WindowActivation::Moment::ModalOpening, [this] { loadSelectedPicture(); }};
};

} // namespace zavio
