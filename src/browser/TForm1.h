#pragma once

#include "browser/BrowseCounters.h"
#include "browser/LastFolderOnMount.h"
#include "browser/PageFailureLog.h"
#include "browser/PageButtons.h"
#include "browser/PageFiller.h"
#include "browser/Paging.h"
#include "browser/WindowOpeners.h"
#include "common/WindowActivation.h"
#include "imaging/FilePath.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zavio {

class ExtentListBox;
class FileListBox;
class Selection;
class CanvasImage;
class ThumbLabel;

// The main browser window: drive, folder and file lists on the left, the
// picture count, the paging buttons and mode check boxes on top, and the page
// of twenty thumbnails with their file names.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // Writes what the user chooses into selection, which outlives the window.
    explicit TForm1(Selection& selection, QWidget* parent = nullptr);
    ~TForm1() override;

    // Makes path the current folder, as opening it in the folder list does:
    // the file list is re-read, counted and its first page drawn.
    void openFolder(const QString& path);
    // Reads the current folder again (F5), as opening it again does.
    void rereadFolder();

    // Draws the page that starts at ListPosition into cells CellNumber onward.
    // A picture that cannot be shown gets the broken mark; the fill goes on.
    // Returns the failures, which the handler reports once after its work.
    std::vector<PageFailure> FillPage();
    // Paints all twenty cells silver and empties their labels.
    void ClearPage();
    // Writes a picture's name under cell n.
    void setCellName(int n, const FilePath& name);

    // The windows the clicks open.
    void setOpeners(WindowOpeners openers) { openers_ = std::move(openers); }
    Selection& selection() { return selection_; }

    BrowseCounters& counters() { return counters_; }
    const BrowseCounters& counters() const { return counters_; }
    void clearThumbnailCache() { pageFiller_.clearCache(); }
    // Worker threads of the page fill; 1 decodes one picture after the other.
    void setDecodeThreads(int threads) { pageFiller_.setThreads(threads); }
    // Whether the pages before and after the shown one are drawn ahead into
    // the cache while the user looks at it; on by default.
    void setBackgroundDecoding(bool on) { pageFiller_.setBackgroundWork(on); }
    bool backgroundDecodingIdle() const { return pageFiller_.backgroundIdle(); }
    // Replaces how the page fill draws a cell from a file.
    void setThumbnailRenderer(PageFiller::Renderer renderer) { pageFiller_.setRenderer(std::move(renderer)); }

    // Cell n, 1 to 20: its caption, its drawn pixels, and why its picture
    // could not be shown (empty for a drawn or empty cell).
    QString cellCaption(int n) const;
    QImage cellImage(int n) const;
    QString cellError(int n) const { return cellErrors_[size_t(n - 1)]; }
    QStringList fileListItems() const;
    QStringList folderListItems() const;
    int fileListExtent() const;
    int folderListExtent() const;

    // Comment mode and rotation mode both end, as when the comment editor closes.
    void clearModes();
    // Rotation mode ends, as when the rotation window closes.
    void clearRotationMode();
    // The keyboard focus goes to "操作説明", as when the comment viewer closes.
    void focusHelpButton();

signals:
    // The user closed the main window: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Draws the page fill into the cells and stops the paging buttons.
    class WindowPageSink;

    QLabel* Label21 = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    ExtentListBox* DirectoryListBox1 = nullptr;
    FileListBox* FileListBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    std::array<CanvasImage*, kCellsPerPage> Images{};
    std::array<ThumbLabel*, kCellsPerPage> Labels{};
    QWidget* Image21 = nullptr;

    void FormCreate();
    void FormActivate();
    // Reads the start folder once the window is on the screen and drawn.
    void startBrowsing();
    void FileListBox1Change();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(int index);
    void openFolderItem(int row);
    void refillDriveList();
    void refillFolderList(const QString& folder, const QStringList& subfolders);
    void refillFileList(std::vector<FilePath> pictures);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void ImageClick(int n);
    // Label1Click to Label20Click: the comment of cell n's picture, in the
    // viewer, or in the editor in comment mode.
    void LabelClick(int n);
    void CheckBox1Click();
    void CheckBox2Click();
    // A mouse button released over the file list: the selected file opens in
    // the rotation window (rotation mode), the comment editor on its name
    // (comment mode; nothing without a selected file) or the zoom window.
    void FileListBox1MouseUp();
    // The comment editor on SelectedCommentKey; nothing when the key is empty.
    void openCommentEditor();
    // One standard error report naming every picture of the last page that
    // could not be shown and was not told since the folder was read.
    void reportPageFailures(const std::vector<PageFailure>& failures);
    // A paging click: its step over the counters, the page fill, and for the
    // forward buttons the states after the fill, which a failed fill skips.
    using BackwardStep = ListSelectionChange (*)(BrowseCounters&, PageButtonStates&, bool fileSelected);
    using ForwardStep = void (*)(BrowseCounters&);
    void pageBackward(BackwardStep step);
    void pageForward(ForwardStep step);
    void applySelectionChange(ListSelectionChange change);
    PageButtonStates buttonStates() const;
    void applyButtonStates(const PageButtonStates& states);

    Selection& selection_;
    WindowOpeners openers_;
    BrowseCounters counters_;
    int CellWidth = 0;
    int CellHeight = 0;
    PageFiller pageFiller_;
    QString currentFolder_;
    // The file list's names with their own bytes, row by row.
    std::vector<FilePath> fileNames_;
    // What each cell's label names, with the name's own bytes.
    std::array<FilePath, kCellsPerPage> cellNames_;
    std::array<QString, kCellsPerPage> cellErrors_;
    // The failures told since the folder was last read.
    PageFailureLog toldFailures_;
    // The mount points the drive box lists, read once at start-up.
    QStringList mounts_;
    LastFolderOnMount lastFolderOnMount_;
    bool firstShow_ = true;
    bool browsingStarted_ = false;
    // The first page is drawn after the window has painted itself once.
    bool paintBeforeFill_ = false;
    WindowActivation activation_{*this, WindowActivation::Moment::Activated, [this] { FormActivate(); }};
};

} // namespace zavio
