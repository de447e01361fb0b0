#include "browser/PageFiller.h"
#include "browser/TForm1.h"
#include "browser/ThumbnailCache.h"
#include "common/Selection.h"
#include "imaging/DecodeCancel.h"
#include "imaging/JpegCodec.h"
#include "support/BackgroundWork.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <utility>

#include <fcntl.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::onUiThread;
using zavio::fixtures::RenderLog;
using zavio::fixtures::sameImage;
using zavio::fixtures::waitFor;
using zavio::fixtures::PictureFolder;
using namespace std::chrono_literals;

namespace {

struct ButtonState {
    bool previousEnabled, nextEnabled, back50Visible, back50Enabled, forward50Visible, forward50Enabled;
    bool operator==(const ButtonState&) const = default;
};

// Everything a paging click leaves on the screen and in the counters.
struct Shown {
    QStringList captions;
    std::vector<QImage> cells;
    BrowseCounters counters;
    ButtonState buttons{};
    QStringList errors;
    bool operator==(const Shown&) const = default;
};

Shown shownBy(const TForm1& form, const CapturedErrors& errors)
{
    Shown shown;
    for (int n = 1; n <= kCellsPerPage; ++n) {
        shown.captions.append(form.cellCaption(n));
        shown.cells.push_back(form.cellImage(n).convertToFormat(QImage::Format_RGB32));
    }
    shown.counters = form.counters();
    const auto button = [&form](const char* name) { return control<QPushButton>(form, name); };
    shown.buttons = {button("BitBtn1")->isEnabled(), button("BitBtn2")->isEnabled(), !button("BitBtn5")->isHidden(),
                     button("BitBtn5")->isEnabled(), !button("BitBtn3")->isHidden(), button("BitBtn3")->isEnabled()};
    shown.errors = errors.messages;
    return shown;
}

// Pictures of every band of the fit, JPEG and BMP, in a folder of count.
void writeVariedPictures(PictureFolder& folder, int count, const QString& prefix)
{
    const int sizes[][2] = {{64, 30}, {40, 30}, {30, 40}, {33, 33}, {5, 100}, {90, 20}, {48, 36}};
    for (int i = 1; i <= count; ++i) {
        const auto& size = sizes[i % 7];
        const QString name =
            QStringLiteral("%1%2.%3").arg(prefix).arg(i, 3, 10, QLatin1Char('0')).arg(i % 5 ? "jpg" : "bmp");
        if (i % 5)
            folder.writeJpeg(name, size[0], size[1], i);
        else
            folder.writeBmp(name, size[0], size[1], i);
    }
}

TBitmap renderedNow(const PictureFolder& folder, const QString& name)
{
    TBitmap scratch;
    return *renderThumbnailCell(FilePath(folder.filePath(name)), 131, 101, scratch);
}

} // namespace

TEST(PagePrefetchWindow, PagingWithBackgroundWorkShowsExactlyWhatPagingWithoutItShows)
{
    PictureFolder folder;
    writeVariedPictures(folder, 130, QStringLiteral("p"));
    // A broken picture on the second page: the background meets it first, the
    // fill must still tell it once when its page is shown.
    folder.writeBytes(QStringLiteral("p030.jpg"), QByteArray("\xff\xd8\xff\xe0 broken"));
    const QString start = QDir::currentPath();

    enum Button { Previous, Next, Back50, Forward50 };
    const Button clicks[] = {Next,     Next,     Previous, Next,      Next,      Forward50, Next,     Back50, Previous,
                             Previous, Previous, Next,     Forward50, Forward50, Next,      Previous, Back50, Next};

    auto page = [&](bool background, RenderLog& log, std::vector<QStringList>* uiRenders) {
        CapturedErrors errors;
        Selection selection;
        TForm1 form(selection);
        form.setDecodeThreads(1);
        form.setBackgroundDecoding(background);
        form.setThumbnailRenderer(log.renderer());
        form.openFolder(folder.path());
        std::vector<Shown> steps{shownBy(form, errors)};
        QPushButton* buttons[] = {control<QPushButton>(form, "BitBtn1"), control<QPushButton>(form, "BitBtn2"),
                                  control<QPushButton>(form, "BitBtn5"), control<QPushButton>(form, "BitBtn3")};
        for (Button button : clicks) {
            if (background) {
                EXPECT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));
            }
            log.takeUi();
            buttons[button]->click();
            if (uiRenders)
                uiRenders->push_back(log.takeUi());
            steps.push_back(shownBy(form, errors));
        }
        QDir::setCurrent(start);
        return steps;
    };

    RenderLog withoutLog;
    const std::vector<Shown> without = page(false, withoutLog, nullptr);
    EXPECT_TRUE(withoutLog.backgroundCalls().isEmpty()) << "switched off, nothing is drawn ahead";
    RenderLog withLog;
    std::vector<QStringList> uiRenders;
    const std::vector<Shown> with = page(true, withLog, &uiRenders);

    ASSERT_EQ(with.size(), without.size());
    for (size_t i = 0; i < with.size(); ++i) {
        EXPECT_EQ(with[i].captions, without[i].captions) << "step " << i;
        EXPECT_EQ(with[i].counters, without[i].counters) << "step " << i;
        EXPECT_TRUE(with[i].buttons == without[i].buttons) << "step " << i;
        EXPECT_EQ(with[i].errors, without[i].errors) << "step " << i;
        for (int n = 0; n < kCellsPerPage; ++n)
            EXPECT_TRUE(with[i].cells[size_t(n)] == without[i].cells[size_t(n)]) << "step " << i << " cell " << n + 1;
    }
    ASSERT_FALSE(without.back().errors.isEmpty());
    EXPECT_EQ(without.back().errors.size(), 1) << "the broken picture is told once";

    // After a look at the first page, "次へ" decodes only the picture that
    // failed in the background; every other cell was drawn ahead. The same
    // holds for the page after, and for "前へ" back to the second page.
    EXPECT_EQ(uiRenders[0], QStringList{QStringLiteral("p030.jpg")});
    EXPECT_EQ(uiRenders[1], QStringList{}) << "the third page was drawn ahead";
    EXPECT_EQ(uiRenders[2], QStringList{QStringLiteral("p030.jpg")});
    EXPECT_TRUE(withLog.backgroundCalls().contains(QStringLiteral("p030.jpg")));
}

TEST(PagePrefetchWindow, AFolderChangeStopsTheWorkOfTheOldFolder)
{
    PictureFolder oldFolder;
    oldFolder.writeNumberedJpegs(60, QStringLiteral("old"), 40, 30);
    oldFolder.writeBytes(QStringLiteral("old025.jpg"), QByteArray("not a jpeg"));
    PictureFolder newFolder;
    newFolder.writeNumberedJpegs(30, QStringLiteral("new"), 30, 40);
    const QString start = QDir::currentPath();

    CapturedErrors errors;
    RenderLog log;
    log.backgroundDelay = 30ms;
    Selection selection;
    TForm1 form(selection);
    form.setDecodeThreads(1);
    form.setThumbnailRenderer(log.renderer());
    form.openFolder(oldFolder.path());
    ASSERT_TRUE(waitFor([&] { return log.backgroundCalls().size() >= 2; })) << "the next page is drawn ahead";
    const qsizetype before = log.backgroundCalls().size();
    form.openFolder(newFolder.path());
    ASSERT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));

    // At most the picture in hand when the folder changed was still decoded.
    int oldAfter = 0;
    for (const QString& name : log.backgroundCalls().mid(before))
        oldAfter += name.startsWith(QStringLiteral("old"));
    EXPECT_LE(oldAfter, 1);

    auto expectNewFolderOnly = [&](int first) {
        for (int n = 1; n <= kCellsPerPage; ++n) {
            const QString name = QStringLiteral("new%1.jpg").arg(first + n - 1, 3, 10, QLatin1Char('0'));
            ASSERT_EQ(form.cellCaption(n), first + n - 1 <= 30 ? name : QString()) << n;
            if (first + n - 1 <= 30) {
                EXPECT_TRUE(sameImage(form.cellImage(n), renderedNow(newFolder, name).image())) << n;
            }
        }
    };
    expectNewFolderOnly(1);
    control<QPushButton>(form, "BitBtn2")->click();
    expectNewFolderOnly(20);
    for (const QString& message : errors.messages)
        EXPECT_FALSE(message.contains(QStringLiteral("old"))) << message.toStdString();
    EXPECT_TRUE(errors.messages.isEmpty());
    QDir::setCurrent(start);
}

TEST(PagePrefetchWindow, APictureChangedAfterItWasDrawnAheadShowsItsNewContent)
{
    PictureFolder folder;
    folder.writeNumberedJpegs(25, QStringLiteral("pic"), 40, 30);
    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("pic022.jpg"))));
    folder.writeBmp(QStringLiteral("pic022.bmp"), 60, 40, 1);
    const QString start = QDir::currentPath();

    CapturedErrors errors;
    RenderLog log;
    Selection selection;
    TForm1 form(selection);
    form.setDecodeThreads(1);
    form.setThumbnailRenderer(log.renderer());
    form.openFolder(folder.path());
    ASSERT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));
    ASSERT_TRUE(log.backgroundCalls().contains(QStringLiteral("pic022.bmp")));
    const QImage old = renderedNow(folder, QStringLiteral("pic022.bmp")).image();

    // Written over in place to the same size, its modification time put back:
    // only the change time tells the new content from the old.
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("pic022.bmp")));
    struct stat was {};
    ASSERT_EQ(::stat(path.constData(), &was), 0);
    std::this_thread::sleep_for(10ms);
    folder.writeBmp(QStringLiteral("pic022.bmp"), 60, 40, 3);
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    struct stat now {};
    ASSERT_EQ(::stat(path.constData(), &now), 0);
    ASSERT_EQ(now.st_size, was.st_size);
    ASSERT_EQ(now.st_ino, was.st_ino);
    ASSERT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);

    log.takeUi();
    control<QPushButton>(form, "BitBtn2")->click();
    EXPECT_EQ(log.takeUi(), QStringList{QStringLiteral("pic022.bmp")}) << "the rest was drawn ahead";
    ASSERT_EQ(form.cellCaption(3), QStringLiteral("pic022.bmp"));
    const QImage fresh = renderedNow(folder, QStringLiteral("pic022.bmp")).image();
    EXPECT_FALSE(sameImage(fresh, old));
    EXPECT_TRUE(sameImage(form.cellImage(3), fresh));
    EXPECT_TRUE(errors.messages.isEmpty());
    QDir::setCurrent(start);
}
