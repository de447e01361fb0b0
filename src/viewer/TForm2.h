#pragma once

#include "imaging/TBitmap.h"
#include "viewer/ZoomRules.h"

#include <QDialog>
#include <QSize>

class QScrollArea;

namespace zavio {

class ZoomImage;

// The zoom window: one picture, opened at its own size or fitted to the
// screen's usual room, made a tenth larger at each left click and a tenth
// smaller at each right click. Made once and shown modally for each picture.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    // Reads the primary screen's size once, now.
    explicit TForm2(QWidget* parent = nullptr);
    // As above with a given screen size, for a screen other than this one.
    explicit TForm2(QSize screenSize, QWidget* parent = nullptr);
    ~TForm2() override;

    // Opens the picture named by SelectedPicture and waits until the user
    // closes the window. An empty name opens nothing; a picture that cannot be
    // loaded is reported and opens nothing either.
    void ShowModal();
    // Loads SelectedPicture, sets the caption and sizes the window at the
    // current factor's base. Returns false, with the window emptied, after
    // reporting a picture that cannot be loaded.
    bool FormActivate();

    int zoomTenths() const { return factor_.tenths(); }
    QSize baseSize() const { return baseSize_; }
    QSize screenSize() const { return screenSize_; }
    bool frameIsFixed() const { return frameFixed_; }
    const TBitmap& picture() const { return bitmap_; }

    QScrollArea* ScrollBox1 = nullptr;
    ZoomImage* Image1 = nullptr;

protected:
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void loadSelectedPicture();
    void Image1MouseDown(Qt::MouseButton button);
    void Image1MouseUp();
    void FormClose();
    void setFrameFixed(bool fixed);
    void setClientSize(QSize size);

    ZoomFactor factor_;
    QSize baseSize_{1, 1};
    QSize screenSize_;
    QSize recordedSize_;
    TBitmap bitmap_;
    bool frameFixed_ = false;
};

} // namespace zavio
