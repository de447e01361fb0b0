#include "browser/TForm1.h"

#include "browser/ExtentListBox.h"
#include "browser/FileListBox.h"
#include "browser/FileListClick.h"
#include "browser/FolderRows.h"
#include "browser/FolderRules.h"
#include "browser/MountList.h"
#include "browser/PageButtons.h"
#include "common/CanvasImage.h"
#include "browser/ThumbLabel.h"
#include "common/ErrorReport.h"
#include "common/Hourglass.h"
#include "common/Selection.h"
#include "ProjectInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QWindow>

namespace zavio {
namespace {

constexpr int kClientWidth = 856;
constexpr int kClientHeight = 620;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                        int height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, width, height);
    return button;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(left, 20, 121, 21);
    return box;
}

} // namespace

// Feeds the page fill's drawing into the main window's cells and labels.
class TForm1::WindowPageSink : public PageSink {
public:
    explicit WindowPageSink(TForm1& form) : form_(form) {}
    void clearPage() override { form_.ClearPage(); }
    void drawCell(int cell, const TBitmap& image) override { form_.Images[size_t(cell - 1)]->setCanvas(image); }
    void setCaption(int cell, const FilePath& name) override { form_.setCellName(cell, name); }
    void disablePaging() override
    {
        form_.BitBtn1->setEnabled(false);
        form_.BitBtn2->setEnabled(false);
    }

private:
    TForm1& form_;
};

TForm1::TForm1(Selection& selection, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      selection_(selection)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(kClientWidth, kClientHeight);

    Label21 = new QLabel(this);
    Label21->setObjectName(QStringLiteral("Label21"));
    // Laid out at its place and size before the first count sizes it to its text.
    Label21->setGeometry(10, 20, 49, 15);

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(10, 60, 131, 21);
    DriveComboBox1->setAccessibleName(QStringLiteral("ドライブ"));
    connect(DriveComboBox1, &QComboBox::activated, this, &TForm1::DriveComboBox1Change);

    DirectoryListBox1 = new ExtentListBox(QStringLiteral("DirectoryListBox1"), 16, this);
    DirectoryListBox1->setGeometry(10, 90, 131, 311);
    DirectoryListBox1->setAccessibleName(QStringLiteral("フォルダ"));
    connect(DirectoryListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openFolderItem(DirectoryListBox1->row(item)); });

    FileListBox1 = new FileListBox(QStringLiteral("FileListBox1"), 15, this);
    FileListBox1->setGeometry(10, 410, 131, 191);
    FileListBox1->setAccessibleName(QStringLiteral("ファイル"));
    // Only a change of the selected file counts; focus moving onto the list
    // or a click on the selected file does not.
    connect(FileListBox1, &FileListBox::itemSelectionChanged, this, [this] { FileListBox1Change(); });
    connect(FileListBox1, &FileListBox::mouseReleased, this, &TForm1::FileListBox1MouseUp);

    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("前へ"), 150, 10, 71, 31);
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("次へ"), 230, 10, 71, 31);
    BitBtn5 = makeButton(this, "BitBtn5", QStringLiteral("50前へ"), 310, 10, 71, 31);
    BitBtn3 = makeButton(this, "BitBtn3", QStringLiteral("５０次へ"), 390, 10, 71, 31);
    BitBtn4 = makeButton(this, "BitBtn4", QStringLiteral("操作説明"), 730, 10, 94, 31);
    CheckBox1 = makeCheckBox(this, "CheckBox1", QStringLiteral("コメント処理"), 480);
    CheckBox2 = makeCheckBox(this, "CheckBox2", QStringLiteral("９０度回転"), 590);
    // Each runs whenever its box changes, by the user or by the program, so
    // ticking one while the other is ticked leaves both clear.
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);

    QPalette labelPalette;
    labelPalette.setColor(QPalette::WindowText, QColor(128, 0, 128));
    for (int n = 1; n <= kCellsPerPage; ++n) {
        const int col = (n - 1) % kCellColumns;
        const int row = (n - 1) / kCellColumns;
        auto* image = new CanvasImage(QStringLiteral("Image%1").arg(n), this);
        image->setGeometry(150 + 140 * col, 60 + 140 * row, 131, 101);
        Images[size_t(n - 1)] = image;
        connect(image, &CanvasImage::clicked, this, [this, n] { ImageClick(n); });

        auto* label = new ThumbLabel(QStringLiteral("Label%1").arg(n), this);
        label->setGeometry(150 + 140 * col, 170 + 140 * row, 131, 14);
        label->setPalette(labelPalette);
        Labels[size_t(n - 1)] = label;
        connect(label, &ThumbLabel::clicked, this, [this, n] { LabelClick(n); });
    }

    // Holds the picture being placed in the original layout; the fill keeps
    // only drawn cells, so this control stays empty and hidden.
    Image21 = new QWidget(this);
    Image21->setObjectName(QStringLiteral("Image21"));
    Image21->setGeometry(650, 20, 81, 21);
    Image21->hide();

    // The tab order of the top row, the help button fifth.
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn5);
    setTabOrder(BitBtn5, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);

    auto* reread = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(reread, &QShortcut::activated, this, &TForm1::rereadFolder);

    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    setWindowTitle(QStringLiteral("ザヴィオ\u3000Ver " ZAVIO_VERSION " Zavio Project"));
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    BitBtn3->hide();
    BitBtn5->hide();
    counters_.ListPosition = 1;
    counters_.CellNumber = 1;
    for (CanvasImage* image : Images)
        image->fillCanvas(192, 192, 192);
    FormActivate();
    refillDriveList();
}

void TForm1::FormActivate()
{
    // The cells are drawn at the size they take on the screen, in device
    // pixels, so that thumbnails stay sharp on a scaled screen.
    const QSize cell = Images[0]->deviceSize();
    CellWidth = cell.width();
    CellHeight = cell.height();
    pageFiller_.setCellSize(CellWidth, CellHeight);
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!firstShow_)
        return;
    firstShow_ = false;
    if (QScreen* screen = QApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // The file list reads the folder that is current when the program starts
    // once the window is on the screen, so that the window is drawn before a
    // slow first page and a message about a picture appears over it.
    if (!currentFolder_.isEmpty())
        return;
    if (QWindow* window = windowHandle(); window && !window->isExposed())
        window->installEventFilter(this);
    else
        QTimer::singleShot(0, this, &TForm1::startBrowsing);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, &TForm1::startBrowsing);
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::startBrowsing()
{
    if (browsingStarted_ || !currentFolder_.isEmpty())
        return;
    browsingStarted_ = true;
    paintBeforeFill_ = true;
    openFolder(QDir::currentPath());
}

void TForm1::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void TForm1::ClearPage()
{
    for (CanvasImage* image : Images) {
        image->fillCanvas(192, 192, 192);
        image->setAccessibleName(QString());
    }
    for (ThumbLabel* label : Labels)
        label->setName(QString());
    cellNames_.fill(FilePath());
    cellErrors_.fill(QString());
}

void TForm1::setCellName(int n, const FilePath& name)
{
    Labels[size_t(n - 1)]->setName(name.text());
    Images[size_t(n - 1)]->setAccessibleName(name.text());
    cellNames_[size_t(n - 1)] = name;
}

std::vector<PageFailure> TForm1::FillPage()
{
    if (paintBeforeFill_) {
        // The lists, the count and the silver cells are on the screen before
        // the first page's pictures are decoded.
        paintBeforeFill_ = false;
        repaint();
    }
    // The screen's scale may have changed since the window was last activated.
    FormActivate();
    Hourglass hourglass;
    WindowPageSink sink(*this);
    std::vector<PageFailure> failures = pageFiller_.fill(counters_, fileNames_, currentFolder_, sink);
    for (const PageFailure& failure : failures) {
        cellErrors_[size_t(failure.cell - 1)] = failure.message;
        Images[size_t(failure.cell - 1)]->setAccessibleName(
            QStringLiteral("%1（表示できません）").arg(failure.name.text()));
    }
    // While the user looks at this page, its neighbours are drawn ahead.
    pageFiller_.prefetchAround(counters_, fileNames_, currentFolder_);
    return failures;
}

void TForm1::reportPageFailures(const std::vector<PageFailure>& failures)
{
    if (const QString report = toldFailures_.reportOnce(failures); !report.isEmpty())
        reportError(this, report);
}

PageButtonStates TForm1::buttonStates() const
{
    return {BitBtn1->isEnabled(), BitBtn2->isEnabled(), !BitBtn5->isHidden(),
            BitBtn5->isEnabled(), !BitBtn3->isHidden(), BitBtn3->isEnabled()};
}

void TForm1::applyButtonStates(const PageButtonStates& states)
{
    BitBtn1->setEnabled(states.previousEnabled);
    BitBtn2->setEnabled(states.nextEnabled);
    BitBtn5->setVisible(states.back50Visible);
    BitBtn5->setEnabled(states.back50Enabled);
    BitBtn3->setVisible(states.forward50Visible);
    BitBtn3->setEnabled(states.forward50Enabled);
}

void TForm1::FileListBox1Change()
{
    runReportingErrors(this, [this] {
        counters_.PictureCount = 0;
        counters_.ListPosition = 0;
        counters_.ItemCount = 0;
        counters_.ItemCount = int(fileNames_.size());
        Label21->setText(QString());
        // The walk reads the names the window holds; the list keeps each
        // text's width, so only names new to it are measured.
        FileListBox1->measureTexts([](const FilePath& name) { return isCountedPicture(name.text()); });
        const FileCount count = countPictures(fileNames_, [this](int row) { return FileListBox1->textWidth(row); });
        counters_.PictureCount = count.pictures;
        counters_.ListPosition = counters_.ItemCount;
        FileListBox1->setHorizontalExtent(count.extent);
        Label21->setText(QStringLiteral("ファイル数 = %1").arg(counters_.PictureCount));
        Label21->adjustSize();
        applyButtonStates(buttonsAfterCount(counters_.PictureCount, buttonStates()));
        counters_.ListPosition = 1;
        counters_.CellNumber = 1;
        reportPageFailures(FillPage());
    });
}

void TForm1::applySelectionChange(ListSelectionChange change)
{
    // The paging buttons move the selection without it counting as the
    // user's choice, so the list's change handler does not run.
    const QSignalBlocker blocker(FileListBox1);
    if (change == ListSelectionChange::SelectFirst)
        FileListBox1->selectRow(0);
    else if (change == ListSelectionChange::Clear)
        FileListBox1->selectRow(-1);
}

void TForm1::pageBackward(BackwardStep step)
{
    runReportingErrors(this, [this, step] {
        PageButtonStates buttons = buttonStates();
        const ListSelectionChange change = step(counters_, buttons, FileListBox1->selectedRow() >= 0);
        applyButtonStates(buttons);
        applySelectionChange(change);
        reportPageFailures(FillPage());
    });
}

void TForm1::pageForward(ForwardStep step)
{
    runReportingErrors(this, [this, step] {
        if (step)
            step(counters_);
        const std::vector<PageFailure> failures = FillPage();
        PageButtonStates buttons = buttonStates();
        buttonsAfterForwardFill(counters_, buttons);
        applyButtonStates(buttons);
        reportPageFailures(failures);
    });
}

void TForm1::BitBtn1Click()
{
    pageBackward(previousPageBeforeFill);
}

void TForm1::BitBtn2Click()
{
    pageForward(nullptr);
}

void TForm1::BitBtn3Click()
{
    pageForward(forward50BeforeFill);
}

void TForm1::BitBtn5Click()
{
    pageBackward(back50BeforeFill);
}

namespace {

// Runs an opener that was handed over; one that was not opens nothing.
void runOpener(const std::function<void()>& opener)
{
    if (opener)
        opener();
}

} // namespace

void TForm1::BitBtn4Click()
{
    runOpener(openers_.help);
}

void TForm1::ImageClick(int n)
{
    // Every click copies the name, also an empty one; only a name opens.
    const size_t cell = size_t(n - 1);
    selection_.SelectedPicture = cellNames_[cell];
    if (selection_.SelectedPicture.isEmpty())
        return;
    // A picture that could not be shown on the page opens nothing; its error
    // is told again.
    if (!cellErrors_[cell].isEmpty()) {
        reportError(this, cellErrors_[cell]);
        return;
    }
    runOpener(openers_.zoom);
}

void TForm1::LabelClick(int n)
{
    const size_t cell = size_t(n - 1);
    selection_.SelectedCommentKey = cellNames_[cell];
    if (selection_.SelectedCommentKey.isEmpty())
        return;
    if (CheckBox1->isChecked())
        openCommentEditor();
    else
        runOpener(openers_.commentViewer);
}

void TForm1::openCommentEditor()
{
    // A record with an empty key would belong to no picture.
    if (!selection_.SelectedCommentKey.isEmpty())
        runOpener(openers_.commentEditor);
}

void TForm1::clearModes()
{
    CheckBox1->setChecked(false);
    CheckBox2->setChecked(false);
}

void TForm1::clearRotationMode()
{
    CheckBox2->setChecked(false);
}

void TForm1::focusHelpButton()
{
    BitBtn4->setFocus();
}

void TForm1::CheckBox1Click()
{
    CheckBox2->setChecked(false);
}

void TForm1::CheckBox2Click()
{
    CheckBox1->setChecked(false);
}

void TForm1::FileListBox1MouseUp()
{
    const int row = FileListBox1->selectedRow();
    const FilePath name = row >= 0 ? fileNames_[size_t(row)] : FilePath();
    selection_.SelectedPicture = name;
    switch (fileListClickOpens(!name.isEmpty(), CheckBox1->isChecked(), CheckBox2->isChecked())) {
    case FileListOpen::Rotation:
        selection_.SelectedPicture = selection_.inFolder(name);
        runOpener(openers_.rotation);
        break;
    case FileListOpen::CommentEditor:
    case FileListOpen::Nothing:
        // The comment goes to the clicked picture, as after a label click;
        // with no file selected the key is emptied and nothing opens.
        selection_.SelectedCommentKey = name;
        openCommentEditor();
        break;
    case FileListOpen::Zoom:
        runOpener(openers_.zoom);
        break;
    }
}

void TForm1::DirectoryListBox1Change()
{
    std::vector<int> widths;
    for (int row = 0; row < DirectoryListBox1->count(); ++row)
        widths.push_back(DirectoryListBox1->textWidth(row));
    DirectoryListBox1->setHorizontalExtent(horizontalExtent(widths, 60));
}

void TForm1::rereadFolder()
{
    if (!currentFolder_.isEmpty())
        openFolder(currentFolder_);
}

void TForm1::openFolder(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    if (!QFileInfo(folder).isDir() || !QDir::setCurrent(folder)) {
        reportError(this, QStringLiteral("フォルダを開けません: %1").arg(folder));
        return;
    }
    // Pages of the folder left are no longer drawn ahead.
    pageFiller_.stopBackgroundWork();
    currentFolder_ = folder;
    selection_.setFolder(FilePath(folder));
    const QString mount = mountPointOf(folder, mounts_);
    lastFolderOnMount_.remember(mount, folder);
    if (const int index = DriveComboBox1->findData(mount); index >= 0) {
        const QSignalBlocker blocker(DriveComboBox1);
        DriveComboBox1->setCurrentIndex(index);
    }
    FolderListing listing = readFolder(FilePath(folder));
    refillFolderList(folder, listing.subfolders);
    refillFileList(std::move(listing.pictures));
    DirectoryListBox1Change();
    if (!QFileInfo(folder).isReadable())
        reportError(this, QStringLiteral("フォルダの中身を読めません: %1").arg(folder));
}

void TForm1::refillDriveList()
{
    const QSignalBlocker blocker(DriveComboBox1);
    DriveComboBox1->clear();
    mounts_ = userMountPoints();
    for (const QString& mount : mounts_)
        DriveComboBox1->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), mount, mount);
}

void TForm1::DriveComboBox1Change(int index)
{
    const QString mount = DriveComboBox1->itemData(index).toString();
    // Choosing the drive already shown changes nothing.
    if (!currentFolder_.isEmpty() && mount == mountPointOf(currentFolder_, mounts_))
        return;
    openFolder(lastFolderOnMount_.folderToOpen(mount));
}

void TForm1::refillFolderList(const QString& folder, const QStringList& subfolders)
{
    const FolderRows list = folderRows(folder, subfolders);
    QStringList texts;
    QList<int> indents;
    for (const FolderRow& row : list.rows) {
        texts.append(row.text);
        indents.append(row.indent);
    }
    const QSignalBlocker blocker(DirectoryListBox1);
    DirectoryListBox1->setItems(texts, indents);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (int row = 0; row < DirectoryListBox1->count(); ++row) {
        QListWidgetItem* item = DirectoryListBox1->item(row);
        item->setData(Qt::UserRole, list.rows[size_t(row)].path);
        item->setIcon(list.rows[size_t(row)].open ? open : closed);
    }
    DirectoryListBox1->setCurrentRow(list.currentRow);
}

void TForm1::openFolderItem(int row)
{
    if (QListWidgetItem* item = DirectoryListBox1->item(row))
        openFolder(item->data(Qt::UserRole).toString());
}

void TForm1::refillFileList(std::vector<FilePath> pictures)
{
    {
        const QSignalBlocker blocker(FileListBox1);
        fileNames_ = std::move(pictures);
        toldFailures_.clear();
        FileListBox1->setNames(fileNames_);
        FileListBox1->selectRow(-1);
    }
    // A refill reports a change, as a new selection does.
    FileListBox1Change();
}

QString TForm1::cellCaption(int n) const
{
    return Labels[size_t(n - 1)]->text();
}

QImage TForm1::cellImage(int n) const
{
    return Images[size_t(n - 1)]->canvas().image();
}

QStringList TForm1::fileListItems() const
{
    return textsOf(fileNames_);
}

QStringList TForm1::folderListItems() const
{
    QStringList items;
    for (int row = 0; row < DirectoryListBox1->count(); ++row)
        items.append(DirectoryListBox1->item(row)->text());
    return items;
}

int TForm1::fileListExtent() const
{
    return FileListBox1->horizontalExtent();
}

int TForm1::folderListExtent() const
{
    return DirectoryListBox1->horizontalExtent();
}

} // namespace zavio
