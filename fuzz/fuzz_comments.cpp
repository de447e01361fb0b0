// Feeds arbitrary comment files, keys and texts to the comment file's lookups
// and rewrite, in memory and through the real file operations in a scratch
// folder, and checks each result against the file cut into records: a lookup
// finds the first record of the key, and a rewrite changes only that record.
//
// Input: one flag byte (bit 0: replace rather than delete; bit 1: also run the
// file operations), the key's length and bytes, the new text's length and
// bytes, then the file's contents.

#include "comments/CommentFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using namespace zavio;
constexpr char T = kRecordTerminator;

std::string folder;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_comments: %s\n", what);
        std::abort();
    }
}

bool hasKey(std::string_view record, std::string_view key)
{
    return !key.empty() && record.substr(0, key.size()) == key
        && (record.size() == key.size() || record[key.size()] == '\r' || record[key.size()] == '\n');
}

bool usable(std::string_view key)
{
    return !key.empty() && key.find_first_of(std::string_view("\r\n\x0E", 3)) == std::string_view::npos;
}

// The file as its list of records.
struct Records {
    std::vector<std::string> list;
    bool openEnd = false;

    explicit Records(std::string_view content)
    {
        std::size_t start = 0;
        while (start < content.size()) {
            const std::size_t end = std::min(content.find(T, start), content.size());
            list.emplace_back(content.substr(start, end - start));
            start = end + 1;
        }
        openEnd = !content.empty() && content.back() != T;
    }
    int find(std::string_view key) const
    {
        for (std::size_t i = 0; usable(key) && i < list.size(); ++i)
            if (hasKey(list[i], key))
                return int(i);
        return -1;
    }
    std::string bytes() const
    {
        std::string out;
        for (const std::string& record : list)
            out += record + T;
        if (openEnd)
            out.pop_back();
        return out;
    }
};

std::string withoutTerminators(std::string_view text)
{
    std::string out;
    for (const char c : text)
        if (c != T)
            out += c;
    return out;
}

void checkLines(std::string_view text)
{
    const std::string lines = TextToLines(text);
    check(lines.size() >= 2 && lines.substr(lines.size() - 2) == "\r\n", "lines end with CR LF");
    std::string kept;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == '\r')
            check(i + 1 < lines.size() && lines[i + 1] == '\n', "every CR starts a CR LF");
        else if (lines[i] == '\n')
            check(lines[i - 1] == '\r', "every LF ends a CR LF");
        else
            kept += lines[i];
    }
    std::string expected;
    for (const char c : text)
        if (c != '\r' && c != '\n')
            expected += c;
    check(kept == expected, "only line breaks change");
}

bool writeFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return ::close(fd) == 0 && written;
}

std::string readFile(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    check(fd >= 0, "coment.txt can be read back");
    char block[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, block, sizeof block)) > 0)
        bytes.append(block, std::size_t(n));
    ::close(fd);
    return bytes;
}

// The same work through the file operations, which must give the same bytes.
void checkFiles(std::string_view content, std::string_view key, std::string_view text, bool replace,
                const RecordMatch& match, const ViewComment& view, const std::string& expected)
{
    const std::string path = folder + '/' + kCommentFileName;
    if (!writeFile(path, content))
        return;
    CommentFile viewer;
    check(viewer.OpenForView(folder).ok(), "the viewer opens");
    const ViewComment viewed = viewer.FindCommentForView(key);
    check(viewed.found == view.found && viewed.comment == view.comment, "the viewer reads the file as in memory");
    viewer.CloseForView();

    CommentFile editor;
    check(editor.OpenForEdit(folder).ok(), "the editor opens");
    const RecordMatch found = editor.FindRecordForEdit(key);
    check(found.found == match.found && found.offset == match.offset && found.recordText == match.recordText,
          "the editor finds what the scan finds");
    if (found.found) {
        check(editor.BeginRewrite(found).ok(), "buftx.txt is written");
        check((replace ? editor.ReplaceRecord(text) : editor.DeleteRecord()).ok(), "the rewrite succeeds");
    } else {
        check(editor.AppendRecord(text).ok(), "the append succeeds");
    }
    editor.CloseForEdit();
    check(readFile(path) == expected, "the file holds what the rewrite promised");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char shm[] = "/dev/shm/zavio-fuzz-comments-XXXXXX";
    char tmp[] = "/tmp/zavio-fuzz-comments-XXXXXX";
    const char* made = ::mkdtemp(shm);
    if (!made)
        made = ::mkdtemp(tmp);
    check(made != nullptr, "a scratch folder");
    folder = made;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.size() < 3)
        return 0;
    const auto flags = std::uint8_t(input[0]);
    const std::size_t keyLength = std::uint8_t(input[1]);
    input.remove_prefix(2);
    if (input.size() < keyLength + 1)
        return 0;
    const std::string_view key = input.substr(0, keyLength);
    const std::size_t textLength = std::uint8_t(input[keyLength]);
    input.remove_prefix(keyLength + 1);
    if (input.size() < textLength)
        return 0;
    const std::string_view text = input.substr(0, textLength);
    const std::string_view content = input.substr(textLength);
    const bool replace = flags & 1;

    const Records records(content);
    check(records.bytes() == content, "the file is its records");
    const int index = records.find(key);
    const RecordMatch match = findRecordIn(content, key);
    check(match.found == (index >= 0), "found exactly when a record starts with the key");
    if (match.found) {
        check(match.recordText == records.list[std::size_t(index)], "the first record of the key");
        check(match.offset == 0 || content[match.offset - 1] == T, "the match starts a record");
        check(content.substr(match.offset, match.length) == match.recordText, "offset and length");
        check(match.terminated == (match.offset + match.length < content.size()), "terminated");
        check(match.matchedKey == key, "matched key");
    }

    const ViewComment view = findCommentIn(content, key);
    check(view.found == !view.comment.empty(), "a comment is found when it has a byte");
    check(view.comment.find_first_of(std::string_view("\x0E\0", 2)) == std::string::npos,
          "a comment stays within its record and before any 0x00");
    check(!view.found || (match.found && view.comment.size() <= match.length - key.size()),
          "the viewer finds only what the editor finds, CR LF as LF");

    checkLines(text);

    Records expected = records;
    if (index >= 0) {
        if (std::size_t(index) + 1 == expected.list.size())
            expected.openEnd = false;
        expected.list.erase(expected.list.begin() + index);
    }
    const bool appending = replace || index < 0;
    if (appending) {
        expected.list.push_back(withoutTerminators(text));
        expected.openEnd = false;
    }
    const std::string rewritten =
        rewrittenContent(content, match, appending ? std::optional<std::string_view>(text) : std::nullopt);
    check(rewritten == expected.bytes(), "only the record of the key changes");

    if (flags & 2)
        checkFiles(content, key, text, replace, match, view, rewritten);
    return 0;
}
