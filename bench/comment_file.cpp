// Measures the comment file on a generated "coment.txt" of 20,000 Japanese
// records (about 2 MB): the viewer's lookup of the last record, and a whole
// "編集" of it in the editor, its sync included. Prints "name value" lines.

#include "BenchStats.h"

#include "comments/CommentFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;

constexpr int kRecords = 20000;

// The Shift-JIS key of picture i, "写真_00001.jpg" and so on.
std::string keyOf(int i)
{
    char number[16];
    std::snprintf(number, sizeof number, "_%05d.jpg", i);
    return std::string("\x8E\xCA\x90\x5E") + number;
}

// A record with two or three lines of hiragana and kanji, about 100 bytes.
std::string recordOf(int i, std::mt19937& rng)
{
    std::string text = keyOf(i);
    for (int line = 0, lines = 2 + int(rng() % 2); line < lines; ++line) {
        text += "\r\n";
        for (int n = 10 + int(rng() % 14); n > 0; --n) {
            if (rng() % 3 == 0) {
                text += char(0x88 + rng() % 16); // a level-1 kanji
                text += char(0x9F + rng() % 94);
            } else {
                text += '\x82'; // a hiragana
                text += char(0x9F + rng() % 83);
            }
        }
    }
    return text;
}

bool writeCommentFile(const std::string& path, std::size_t& bytes)
{
    std::mt19937 rng(20000);
    std::string content;
    for (int i = 1; i <= kRecords; ++i)
        content += recordOf(i, rng) + zavio::kRecordTerminator;
    bytes = content.size();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    return ::close(fd) == 0 && written;
}

int run(const zavio::bench::BenchOptions& options)
{
    std::optional<QTemporaryDir> tempDir;
    QString folderText = options.folder;
    if (folderText.isEmpty()) {
        tempDir.emplace();
        folderText = tempDir->path();
    }
    QDir().mkpath(folderText);
    const std::string folder = QFile::encodeName(QDir(folderText).absolutePath()).toStdString();
    std::size_t bytes = 0;
    if (!writeCommentFile(folder + '/' + zavio::kCommentFileName, bytes)) {
        std::fprintf(stderr, "comment_file: cannot write coment.txt in %s\n", folder.c_str());
        return 1;
    }
    std::fprintf(stderr, "# coment.txt: %d records, %zu bytes\n", kRecords, bytes);
    const std::string lastKey = keyOf(kRecords);
    const int reps = std::max(options.reps, 11);

    std::vector<double> findMs;
    for (int r = 0; r < reps; ++r) {
        zavio::CommentFile viewer;
        const Clock::time_point start = Clock::now();
        const bool opened = viewer.OpenForView(folder).ok();
        const zavio::ViewComment view = viewer.FindCommentForView(lastKey);
        viewer.CloseForView();
        findMs.push_back(msSince(start));
        if (!opened || !view.found) {
            std::fprintf(stderr, "comment_file: the viewer did not find the last record\n");
            return 1;
        }
    }

    // Each "編集" writes the record back unchanged, so it stays the last one.
    std::vector<double> editMs;
    for (int r = 0; r < reps; ++r) {
        zavio::CommentFile editor;
        const Clock::time_point start = Clock::now();
        bool ok = editor.OpenForEdit(folder).ok();
        const zavio::RecordMatch match = editor.FindRecordForEdit(lastKey);
        ok = ok && match.found && editor.BeginRewrite(match).ok() && editor.ReplaceRecord(match.recordText).ok();
        editor.CloseForEdit();
        editMs.push_back(msSince(start));
        if (!ok) {
            std::fprintf(stderr, "comment_file: the edit of the last record failed\n");
            return 1;
        }
    }

    zavio::bench::printSamples("comment_find_ms", findMs);
    zavio::bench::printSamples("comment_edit_ms", editMs);
    zavio::bench::printFigure("comment_find_ms", zavio::bench::median(findMs), 2);
    zavio::bench::printFigure("comment_edit_ms", zavio::bench::median(editMs), 2);
    zavio::bench::printPeakRss();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "comment_file", "[folder] [--dir folder] [--reps n]", run);
}
