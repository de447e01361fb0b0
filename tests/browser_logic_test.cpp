#include "browser/FolderRules.h"
#include "browser/MountList.h"
#include "browser/PageButtons.h"
#include "browser/ThumbnailCache.h"
#include "rotation/PictureSaver.h"
#include "support/PictureFolder.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zavio;

TEST(FolderRules, CountsEveryPictureExtensionInAnyCase)
{
    for (const char* name : {"a.jpg", "b.JPG", "c.Jpg", "d.jPeG", "e.JPEG", "f.bmp", "g.BMP", "h.bMp", "x.y.jpg"})
        EXPECT_TRUE(isCountedPicture(QString::fromUtf8(name))) << name;
    for (const char* name : {"a.png", "noext", "x.jpg.txt", "jpg", "a.jpgx", "a.", "写真.gif"})
        EXPECT_FALSE(isCountedPicture(QString::fromUtf8(name))) << name;
    EXPECT_TRUE(isCountedPicture(QStringLiteral("写真.JPG")));
}

TEST(FolderRules, ListsPicturesSortedWithoutCaseAndSkipsTheRest)
{
    fixtures::PictureFolder folder;
    for (const char* name : {"b.JPG", "a.jpg", "C.bmp", "d.Jpeg", "B.jpg", "notes.txt", ".hidden.jpg", "e.png"})
        folder.writeBytes(QString::fromUtf8(name), "x");
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.jpg")));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Zeta")));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("alpha")));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral(".git")));

    // Case-insensitive order, ties broken by bytes: "B.jpg" < "b.JPG" ("B" < "b").
    const FolderListing listing = readFolder(FilePath(folder.path()));
    EXPECT_EQ(textsOf(listing.pictures), QStringList({"a.jpg", "B.jpg", "b.JPG", "C.bmp", "d.Jpeg"}));
    EXPECT_EQ(listing.subfolders, QStringList({"alpha", "folder.jpg", "Zeta"}));
}

TEST(FolderRules, ExtentRisesOnlyPastTheRunningWidth)
{
    EXPECT_EQ(horizontalExtent({100, 150, 170}, 60), 236);
    EXPECT_EQ(horizontalExtent({100, 150, 170}, 20), 176);
    EXPECT_EQ(horizontalExtent({100, 115}, 60), 166);
    EXPECT_EQ(horizontalExtent({}, 20), 6);
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("a.jpg")), QStringLiteral("/a.jpg"));
    EXPECT_EQ(joinPath(QStringLiteral("/p"), QStringLiteral("a.jpg")), QStringLiteral("/p/a.jpg"));
}

TEST(PageButtons, ThresholdsAtTwentyAndNinetyNine)
{
    struct Case {
        int count;
        bool paging;
        bool fifty;
    };
    for (const Case& c : {Case{0, false, false}, Case{7, false, false}, Case{19, false, false}, Case{20, true, false},
                          Case{98, true, false}, Case{99, true, true}, Case{500, true, true}}) {
        PageButtonStates before;
        before.back50Enabled = false;
        before.forward50Enabled = false;
        const PageButtonStates after = buttonsAfterCount(c.count, before);
        EXPECT_EQ(after.previousEnabled, c.paging) << c.count;
        EXPECT_EQ(after.nextEnabled, c.paging) << c.count;
        EXPECT_EQ(after.back50Visible, c.fifty) << c.count;
        EXPECT_EQ(after.forward50Visible, c.fifty) << c.count;
        // Shown buttons are enabled; hidden ones keep whatever they had.
        EXPECT_EQ(after.back50Enabled, c.fifty) << c.count;
        EXPECT_EQ(after.forward50Enabled, c.fifty) << c.count;
    }
}

TEST(MountList, KeepsWhatAUserPicksFrom)
{
    const QString mounts = QStringLiteral("overlay / overlay rw 0 0\n"
                                          "proc /proc proc rw 0 0\n"
                                          "tmpfs /run tmpfs rw 0 0\n"
                                          "sysfs /sys sysfs rw 0 0\n"
                                          "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
                                          "/dev/sda2 /home ext4 rw 0 0\n"
                                          "/dev/sda1 /boot/efi vfat rw 0 0\n"
                                          "/dev/sdb1 /media/user/CAMERA\\040CARD vfat rw 0 0\n"
                                          "/dev/sdc1 /run/media/user/USB exfat rw 0 0\n"
                                          "/dev/sdd1 /mnt ext4 rw 0 0\n"
                                          "server:/photos /srv/photos nfs4 rw 0 0\n"
                                          "//nas/share /data/share cifs rw 0 0\n"
                                          "tmpfs /mnt/ram tmpfs rw 0 0\n"
                                          "/dev/sda2 /home ext4 rw 0 0\n");
    const QStringList picked = userMountPoints(mounts);
    EXPECT_EQ(picked,
              QStringList({"/", "/data/share", "/home", "/media/user/CAMERA CARD", "/mnt", "/run/media/user/USB",
                           "/srv/photos"}));
    EXPECT_EQ(mountPointOf(QStringLiteral("/home/user/pics"), picked), QStringLiteral("/home"));
    EXPECT_EQ(mountPointOf(QStringLiteral("/homework"), picked), QStringLiteral("/"));
    EXPECT_EQ(mountPointOf(QStringLiteral("/media/user/CAMERA CARD/DCIM"), picked),
              QStringLiteral("/media/user/CAMERA CARD"));
}

TEST(ThumbnailCache, DropsTheLeastRecentlyUsedAndMissesAChangedFile)
{
    fixtures::PictureFolder folder;
    folder.writeBytes(QStringLiteral("a.jpg"), "first");
    const QString path = folder.filePath(QStringLiteral("a.jpg"));
    const auto key = CellKey::of(path, 131, 101);
    ASSERT_TRUE(key);
    EXPECT_FALSE(CellKey::of(folder.filePath(QStringLiteral("gone.jpg")), 131, 101));
    EXPECT_FALSE(CellKey::of(folder.path(), 131, 101)) << "a folder is no picture";

    ThumbnailCache cache(2);
    TBitmap cell(2, 2);
    cache.store(*key, cell);
    EXPECT_TRUE(cache.find(*key));
    CellKey otherSize = *key;
    otherSize.cellWidth = 100;
    EXPECT_FALSE(cache.find(otherSize));

    folder.writeBytes(QStringLiteral("a.jpg"), "second, longer");
    const auto changed = CellKey::of(path, 131, 101);
    ASSERT_TRUE(changed);
    EXPECT_FALSE(cache.find(*changed));

    CellKey b = *key, c = *key;
    b.path += "b";
    c.path += "c";
    cache.store(b, cell);
    EXPECT_TRUE(cache.find(*key)); // a is now the most recent, b the least
    cache.store(c, cell);
    EXPECT_EQ(cache.size(), 2);
    EXPECT_FALSE(cache.find(b));
    EXPECT_TRUE(cache.find(*key));
    EXPECT_TRUE(cache.find(c));
}

TEST(ThumbnailCache, AFileRewrittenToTheSameSizeAndTimeIsStillChanged)
{
    fixtures::PictureFolder folder;
    folder.writeBytes(QStringLiteral("a.jpg"), "first");
    const QString path = folder.filePath(QStringLiteral("a.jpg"));
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    ASSERT_EQ(::stat(native.constData(), &before), 0);
    const auto key = CellKey::of(path, 131, 101);
    ASSERT_TRUE(key);

    // Rewritten in place, same size, its modification time put back.
    folder.writeBytes(QStringLiteral("a.jpg"), "other");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
    const auto rewritten = CellKey::of(path, 131, 101);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->size, key->size);
    EXPECT_EQ(rewritten->modifiedNs, key->modifiedNs);
    EXPECT_NE(rewritten->text(), key->text()) << "the change time tells";

    // Replaced by another file renamed over it: another inode.
    folder.writeBytes(QStringLiteral("b.jpg"), "third");
    ASSERT_EQ(::rename(QFile::encodeName(folder.filePath(QStringLiteral("b.jpg"))).constData(), native.constData()), 0);
    const auto replaced = CellKey::of(path, 131, 101);
    ASSERT_TRUE(replaced);
    EXPECT_NE(replaced->inode, key->inode);
}

TEST(FolderRules, NamesFromDiskAreShownAsUtf8ThenShiftJisThenWithReplacements)
{
    EXPECT_EQ(nameFromDisk("写真.jpg").text(), QStringLiteral("写真.jpg"));
    EXPECT_EQ(nameFromDisk("\x8e\xca\x90\x5e.jpg").text(), QStringLiteral("写真.jpg")) << "Shift-JIS bytes";
    EXPECT_EQ(nameFromDisk("\x8e\xca\x90\x5e.jpg").native(), QByteArray("\x8e\xca\x90\x5e.jpg"));
    const FilePath garbled = nameFromDisk("\xff.jpg");
    EXPECT_EQ(garbled.text(), QStringLiteral("\uFFFD.jpg"));
    EXPECT_EQ(garbled.native(), QByteArray("\xff.jpg"));
    EXPECT_EQ(FilePath(QStringLiteral("/p")).child(garbled).native(), QByteArray("/p/\xff.jpg"));
    EXPECT_EQ(FilePath(QStringLiteral("/")).child(garbled).text(), QStringLiteral("/\uFFFD.jpg"));
}

TEST(ThumbnailCache, SeesAPictureSavedOverItAsChangedAtTheSameSizeAndTime)
{
    fixtures::PictureFolder folder;
    const QString path = folder.filePath(QStringLiteral("turned.bmp"));
    savePicture(fixtures::PictureFolder::pattern(30, 20, 1), path, PictureKind::Bmp, {});
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    const auto key = CellKey::of(path, 131, 101);
    ASSERT_TRUE(key);

    // The same size, and the modification time put back to the very same instant.
    EXPECT_TRUE(overwrite(fixtures::PictureFolder::pattern(30, 20, 2), path));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    const auto saved = CellKey::of(path, 131, 101);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size, key->size);
    EXPECT_EQ(saved->modifiedNs, key->modifiedNs);
    EXPECT_NE(saved->inode, key->inode);
    EXPECT_NE(saved->text(), key->text());

    ThumbnailCache cache;
    cache.store(*key, TBitmap(2, 2));
    EXPECT_FALSE(cache.find(*saved));
}
