#pragma once

#include "imaging/TBitmap.h"

#include <QDialog>
#include <functional>

class QFileDialog;
class QMenu;
class QAction;
class QScrollArea;

namespace zavio {

class CanvasImage;
class Selection;
class TPixelImage;

// The result window "結果": the turned picture, which it saves under a new
// name or over the picture's own file. Not modal: it stays usable beside the
// modal rotation window, of which it is a child window.
class TdispForm : public QDialog {
    Q_OBJECT

public:
    TdispForm(const Selection& selection, QWidget* parent);
    ~TdispForm() override;

    // Draws picture turned by angle degrees into a new result picture. A
    // failure while drawing is swallowed: what was drawn so far stays.
    void ShowRotated(const TPixelImage* picture, float angle);
    // The picture now shown (white where the turn wrote nothing).
    const TBitmap& result() const { return result_; }

    // The save dialog; tests answer it instead of a user.
    using SaveNameAsker = std::function<QString(QFileDialog& dialog)>;
    void setSaveNameAsker(SaveNameAsker asker) { askSaveName_ = std::move(asker); }
    QFileDialog* SavePictureDialog1 = nullptr;

    QScrollArea* ScrollBox = nullptr;
    CanvasImage* ResultImage = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* FileMenuSave = nullptr;
    QAction* FileMenuClose = nullptr;
    QAction* C1 = nullptr;

    void FileMenuSaveClick();
    void FileMenuCloseClick();
    void C1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    const Selection& selection_;
    TBitmap result_;
    SaveNameAsker askSaveName_;
};

} // namespace zavio
