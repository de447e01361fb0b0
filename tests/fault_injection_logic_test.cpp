// Saving a turned picture, made to fail at each of its file-system calls in
// turn: whatever call fails, the file is byte for byte the old one or the
// intended new one, the user is told at most once, and no scratch file is left.
#include "rotation/PictureSaver.h"
#include "support/FileBytes.h"
#include "support/IoFaults.h"
#include "support/PictureFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <iostream>

using namespace zavio;
using zavio::fixtures::readFileBytes;
using zavio::fixtures::writeFileBytes;
using zavio::fixtures::IoFaults;
using zavio::fixtures::kErrors;
using zavio::fixtures::kMostCalls;
using zavio::fixtures::namesIn;
using zavio::fixtures::PictureFolder;

// Saving a turned picture as JPEG and as BMP, over an existing picture and as
// a new file.
TEST(FaultInjection, EveryFailingCallOfAPictureSaveLosesNothing)
{
    const TBitmap picture = PictureFolder::pattern(40, 30, 7);
    int runs = 0;
    for (const PictureKind kind : {PictureKind::Jpeg, PictureKind::Bmp}) {
        for (const bool existing : {true, false}) {
            for (const int preferred : kErrors) {
                for (int failAt = 1;; ++failAt) {
                    ASSERT_LT(failAt, kMostCalls);
                    SCOPED_TRACE(QStringLiteral("kind %1, existing %2, call %3, errno %4")
                                     .arg(int(kind))
                                     .arg(existing)
                                     .arg(failAt)
                                     .arg(preferred)
                                     .toStdString());
                    PictureFolder folder;
                    const QString name = kind == PictureKind::Jpeg ? QStringLiteral("p.jpg") : QStringLiteral("p.bmp");
                    const QString target = folder.filePath(name);
                    const QByteArray old("the old picture");
                    if (existing)
                        writeFileBytes(target, old);
                    const QByteArray intended = encodePicture(picture, kind, FilePath(), FilePath(target));
                    QStringList told;
                    bool fired = false;
                    {
                        IoFaults faults(failAt, preferred);
                        try {
                            savePicture(picture, FilePath(target), kind, FilePath());
                        } catch (const WriteError& error) {
                            told.append(error.message());
                        }
                        fired = faults.fired();
                    }
                    ++runs;
                    const QByteArray now = existing ? readFileBytes(target)
                                                    : (QFile::exists(target) ? readFileBytes(target) : QByteArray());
                    if (now == intended) {
                        // Only a folder that could not be synced after the rename is told then.
                        EXPECT_LE(told.size(), 1);
                        if (!told.isEmpty()) {
                            EXPECT_TRUE(told.front().startsWith(QStringLiteral("ファイルは書き換えましたが")))
                                << told.front().toStdString();
                        }
                    } else {
                        EXPECT_EQ(now, existing ? old : QByteArray()) << "neither the old file nor the new one";
                        ASSERT_EQ(told.size(), 1);
                        EXPECT_TRUE(told.front().contains(name)) << "the message names the file";
                    }
                    const QStringList left = namesIn(folder.path());
                    EXPECT_TRUE(left.isEmpty() || left == QStringList{name}) << left.join(u' ').toStdString();
                    if (!fired)
                        break;
                }
            }
        }
    }
    std::cout << "picture saves: 2 kinds x 2 targets x 4 errors, " << runs << " runs\n";
    EXPECT_GT(runs, 100);
}
