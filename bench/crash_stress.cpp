// Kills a process in the middle of writing, again and again, and checks that
// every file it was writing is afterwards the old content or the new one,
// never a mixture, and that a new editor opens the comment file.
//
//   crash_stress [kills] [seed]
//
// runs kills killed writes (default 2000) spread over four writers: a
// comment record replaced, a record appended and deleted, a picture saved as
// JPEG and one saved as BMP. Each writer runs in a child process (this same
// program, started with --child) that rewrites its file between two contents
// in a loop until it is killed with SIGKILL at a random moment. Prints
// "name value" lines and exits 1 when any file was found mixed.

#include "comments/CommentFile.h"
#include "common/AtomicFile.h"
#include "imaging/PictureLoader.h"
#include "rotation/PictureSaver.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace zavio;

namespace {

constexpr char T = kRecordTerminator;
// A child that is never killed stops by itself after this many rounds.
constexpr int kMostRounds = 1'000'000;

enum class Writer { Replace, AppendDelete, SaveJpeg, SaveBmp };
constexpr Writer kWriters[] = {Writer::Replace, Writer::AppendDelete, Writer::SaveJpeg, Writer::SaveBmp};

const char* nameOf(Writer writer)
{
    switch (writer) {
    case Writer::Replace:
        return "replace";
    case Writer::AppendDelete:
        return "append-delete";
    case Writer::SaveJpeg:
        return "save-jpeg";
    case Writer::SaveBmp:
        return "save-bmp";
    }
    return "";
}

// Records long enough to span more than one page of the file.
const std::string kOther = std::string("w.jpg\r\n") + std::string(3000, 'w') + T;
std::string recordOf(char fill)
{
    return "a.jpg\r\n" + std::string(5000, fill);
}
const std::string kNewRecord = "n.jpg\r\n" + std::string(5000, 'n');

TBitmap pictureOf(int seed)
{
    TBitmap bitmap(320, 240);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            bitmap.setPixel(x, y, std::uint8_t(x * seed), std::uint8_t(y + seed * 40), std::uint8_t((x ^ y) + seed));
    return bitmap;
}

PictureKind kindOf(Writer writer)
{
    return writer == Writer::SaveJpeg ? PictureKind::Jpeg : PictureKind::Bmp;
}

std::string targetOf(const std::string& folder, Writer writer)
{
    switch (writer) {
    case Writer::Replace:
    case Writer::AppendDelete:
        return folder + '/' + kCommentFileName;
    case Writer::SaveJpeg:
        return folder + "/p.jpg";
    case Writer::SaveBmp:
        return folder + "/p.bmp";
    }
    return {};
}

// The two contents a writer moves its file between.
std::pair<QByteArray, QByteArray> statesOf(const std::string& folder, Writer writer)
{
    switch (writer) {
    case Writer::Replace:
        return {QByteArray::fromStdString(kOther + recordOf('A') + T),
                QByteArray::fromStdString(kOther + recordOf('B') + T)};
    case Writer::AppendDelete:
        return {QByteArray::fromStdString(kOther), QByteArray::fromStdString(kOther + kNewRecord + T)};
    case Writer::SaveJpeg:
    case Writer::SaveBmp: {
        const FilePath target(QString::fromStdString(targetOf(folder, writer)));
        return {encodePicture(pictureOf(1), kindOf(writer), FilePath(), target),
                encodePicture(pictureOf(2), kindOf(writer), FilePath(), target)};
    }
    }
    return {};
}

bool writeFile(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool commit(const CommentOutcome& outcome)
{
    return outcome.ok();
}

// One round of a writer: its file goes from one state to the other and back.
bool writeRound(const std::string& folder, Writer writer, const TBitmap& first, const TBitmap& second)
{
    switch (writer) {
    case Writer::Replace:
        for (const char fill : {'B', 'A'}) {
            CommentFile file;
            if (!commit(file.OpenForEdit(folder)) || !commit(file.BeginRewrite(file.FindRecordForEdit("a.jpg")))
                || !commit(file.ReplaceRecord(recordOf(fill))))
                return false;
            file.CloseForEdit();
        }
        return true;
    case Writer::AppendDelete: {
        CommentFile file;
        if (!commit(file.OpenForEdit(folder)) || file.FindRecordForEdit("n.jpg").found
            || !commit(file.AppendRecord(kNewRecord)))
            return false;
        file.CloseForEdit();
        if (!commit(file.OpenForEdit(folder)) || !commit(file.BeginRewrite(file.FindRecordForEdit("n.jpg")))
            || !commit(file.DeleteRecord()))
            return false;
        file.CloseForEdit();
        return true;
    }
    case Writer::SaveJpeg:
    case Writer::SaveBmp: {
        const FilePath target(QString::fromStdString(targetOf(folder, writer)));
        savePicture(second, target, kindOf(writer), FilePath());
        savePicture(first, target, kindOf(writer), FilePath());
        return true;
    }
    }
    return false;
}

// The child: tells the parent it is ready with one byte, then writes until killed.
int runChild(const std::string& folder, Writer writer)
{
    const TBitmap first = pictureOf(1);
    const TBitmap second = pictureOf(2);
    if (::write(STDOUT_FILENO, "r", 1) != 1)
        return 2;
    for (int round = 0; round < kMostRounds; ++round)
        if (!writeRound(folder, writer, first, second))
            return 3;
    return 0;
}

struct Tally {
    int kills = 0;
    int midReplacement = 0; // kills that left a replacement's scratch file behind
    int mixed = 0;
    int unopened = 0;
};

// Starts a child on folder, kills it after delay, and checks what it left.
bool killOnce(const std::string& self, const std::string& folder, Writer writer,
              const std::pair<QByteArray, QByteArray>& states, std::chrono::microseconds delay, Tally& tally)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    const std::string writerName = nameOf(writer);
    char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>("--child"),
                    const_cast<char*>(writerName.c_str()), const_cast<char*>(folder.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (spawned != 0) {
        ::close(ready[0]);
        return false;
    }
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (started)
        std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!started)
        return false;
    ++tally.kills;

    const QByteArray now = readFile(targetOf(folder, writer));
    if (now != states.first && now != states.second) {
        ++tally.mixed;
        std::fprintf(stderr, "%s: a mixed file of %lld bytes after a kill at %lld us\n", nameOf(writer),
                     static_cast<long long>(now.size()), static_cast<long long>(delay.count()));
    }
    // A scratch file left behind shows the kill came in the middle of a
    // replacement; it is stale now, and cleared for the next child.
    const QDir dir(QString::fromStdString(folder));
    const QStringList scratch =
        dir.entryList({QStringLiteral(".zavio-*"), QString::fromLatin1(kScratchFileName)}, QDir::Files | QDir::Hidden);
    if (!scratch.isEmpty())
        ++tally.midReplacement;
    for (const QString& name : scratch)
        QFile::remove(dir.filePath(name));
    if (writer == Writer::Replace || writer == Writer::AppendDelete) {
        CommentFile editor;
        if (!editor.OpenForEdit(folder).ok() || !editor.FindRecordForEdit("w.jpg").found)
            ++tally.unopened;
        editor.CloseForEdit();
    } else {
        TBitmap picture;
        try {
            if (!loadPicture(FilePath(QString::fromStdString(targetOf(folder, writer))), picture) || picture.isEmpty())
                ++tally.unopened;
        } catch (const UserError& error) {
            std::fprintf(stderr, "%s: %s\n", nameOf(writer), qPrintable(error.message()));
            ++tally.unopened;
        }
    }
    return true;
}

int runDriver(const std::string& self, int kills, unsigned seed)
{
    std::mt19937 random(seed);
    // Most kills land within a few rounds of the start; some much later.
    std::uniform_int_distribution<int> delay(0, 20000);
    Tally tally;
    int failedStarts = 0;
    for (const Writer writer : kWriters) {
        const QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        const auto states = statesOf(folder, writer);
        if (!writeFile(targetOf(folder, writer), states.first))
            return 2;
        const int share = kills / int(std::size(kWriters));
        for (int i = 0; i < share; ++i)
            if (!killOnce(self, folder, writer, states, std::chrono::microseconds(delay(random)), tally))
                ++failedStarts;
    }
    std::printf("crash_kills %d\n", tally.kills);
    std::printf("crash_kills_inside_a_replacement %d\n", tally.midReplacement);
    std::printf("crash_mixed_files %d\n", tally.mixed);
    std::printf("crash_unopenable_files %d\n", tally.unopened);
    std::printf("crash_failed_starts %d\n", failedStarts);
    return tally.mixed == 0 && tally.unopened == 0 && failedStarts == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        for (const Writer writer : kWriters)
            if (std::strcmp(argv[2], nameOf(writer)) == 0)
                return runChild(argv[3], writer);
        return 2;
    }
    const int kills = argc > 1 ? std::atoi(argv[1]) : 2000;
    const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : std::random_device{}();
    std::printf("crash_seed %u\n", seed);
    return runDriver(self, kills, seed);
}
