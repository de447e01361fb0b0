#pragma once

#include "common/WindowActivation.h"
#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QDialog>
#include <functional>

class QFileDialog;
class QMenu;
class QAction;
class QScrollArea;

namespace zavio {

class CanvasImage;
class TPixelImage;

// The result window "結果": the turned picture, which it saves under a new
// name or over the picture's own file. Not modal: it stays usable beside the
// modal rotation window, of which it is a child window.
class TdispForm : public QDialog {
    Q_OBJECT

public:
    explicit TdispForm(QWidget* parent);
    ~TdispForm() override;

    // Draws picture, loaded from the file source (a full path), turned by
    // angle degrees into a new result picture, and keeps source as the file
    // that the overwrite command writes to. The old result is dropped first:
    // a picture that holds nothing, or a turn that runs out of memory, leaves
    // the result empty, which neither save command writes.
    void ShowRotated(const TPixelImage* picture, float angle, const FilePath& source);
    // The picture now shown (white where the turn wrote nothing), empty when
    // there is none.
    const TBitmap& result() const { return result_; }
    // The file the result was turned from.
    const FilePath& source() const { return source_; }

    // The save dialog; tests answer it instead of a user.
    using SaveNameAsker = std::function<QString(QFileDialog& dialog)>;
    void setSaveNameAsker(SaveNameAsker asker) { askSaveName_ = std::move(asker); }

    void FileMenuSaveClick();
    void FileMenuCloseClick();
    void C1Click();

signals:
    // The window became the active one: the user went over to it.
    void activated();
    // The window was closed, by one of its commands or its close box; not
    // when the rotation window hides it to show a new turn.
    void closed();

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    // Esc does not close the window: the result would be lost with it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QFileDialog* SavePictureDialog1 = nullptr;

    QScrollArea* ScrollBox = nullptr;
    CanvasImage* ResultImage = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* FileMenuSave = nullptr;
    QAction* FileMenuClose = nullptr;
    QAction* C1 = nullptr;

    void showResult();
    // The refusal of both save commands on an empty result, with the reason
    // the turn could not be made when there is one.
    QString nothingToSaveMessage() const;

    TBitmap result_;
    QString emptyReason_;
    FilePath source_;
    SaveNameAsker askSaveName_;
    WindowActivation activation_;
};

} // namespace zavio
