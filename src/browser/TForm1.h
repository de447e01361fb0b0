#pragma once

#include "browser/BrowseCounters.h"
#include "browser/PageButtons.h"
#include "browser/PageFiller.h"
#include "browser/Paging.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QPushButton;

namespace zavio {

class ExtentListBox;
class TForm2;
class ThumbImage;
class ThumbLabel;

// The main browser window: drive, folder and file lists on the left, the
// picture count, the paging buttons and mode check boxes on top, and the page
// of twenty thumbnails with their file names.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Makes path the current folder, as opening it in the folder list does:
    // the file list is re-read, counted and its first page drawn.
    void openFolder(const QString& path);

    // Draws the page that starts at ListPosition into cells CellNumber onward.
    // Throws PictureError on a picture that cannot be shown.
    void FillPage();
    // Paints all twenty cells silver and empties their labels.
    void ClearPage();

    // The windows a click opens: the zoom window for a thumbnail, the help
    // window for "操作説明". Not owned.
    void setZoomWindow(TForm2* zoom) { zoomWindow_ = zoom; }
    void setHelpWindow(QDialog* help) { helpWindow_ = help; }

    BrowseCounters& counters() { return counters_; }
    const BrowseCounters& counters() const { return counters_; }
    void clearThumbnailCache() { pageFiller_.clearCache(); }
    // Worker threads of the page fill; 1 decodes one picture after the other.
    void setDecodeThreads(int threads) { pageFiller_.setThreads(threads); }

    // Cell n, 1 to 20: its caption and its drawn pixels.
    QString cellCaption(int n) const;
    QImage cellImage(int n) const;
    QStringList fileListItems() const;
    QStringList folderListItems() const;
    int fileListExtent() const;
    int folderListExtent() const;

    QLabel* Label21 = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    ExtentListBox* DirectoryListBox1 = nullptr;
    ExtentListBox* FileListBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    std::array<ThumbImage*, kCellsPerPage> Images{};
    std::array<ThumbLabel*, kCellsPerPage> Labels{};
    QWidget* Image21 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    void FormActivate();
    void FileListBox1Change();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(int index);
    void openFolderItem(int row);
    void refillDriveList();
    void refillFolderList(const QString& folder);
    void refillFileList(const QString& folder);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void ImageClick(int n);
    // A paging click: its step over the counters, the page fill, and for the
    // forward buttons the states after the fill, which a failed fill skips.
    using BackwardStep = ListSelectionChange (*)(BrowseCounters&, PageButtonStates&, bool fileSelected);
    using ForwardStep = void (*)(BrowseCounters&);
    void pageBackward(BackwardStep step);
    void pageForward(ForwardStep step);
    void applySelectionChange(ListSelectionChange change);
    PageButtonStates buttonStates() const;
    void applyButtonStates(const PageButtonStates& states);

    BrowseCounters counters_;
    int CellWidth = 0;
    int CellHeight = 0;
    PageFiller pageFiller_;
    QString currentFolder_;
    // The mount points the drive box lists, read once at start-up.
    QStringList mounts_;
    QHash<QString, QString> lastFolderOnMount_;
    bool firstShow_ = true;
    TForm2* zoomWindow_ = nullptr;
    QDialog* helpWindow_ = nullptr;
};

} // namespace zavio
