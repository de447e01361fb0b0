#include "comments/CommentFile.h"

#include "common/AtomicFile.h"
#include "imaging/FileHandle.h"
#include "imaging/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zavio {

namespace {

constexpr std::size_t kReadBlock = std::size_t(1) << 20;
// How often a lock is taken again when the file was replaced while waiting for it.
constexpr int kLockAttempts = 100;
// How often a held lock is tried again while waiting for it.
constexpr std::chrono::milliseconds kLockPoll{20};

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// A key that can stand at the start of a record: not empty, all on one line
// and within one record.
bool usableKey(std::string_view key)
{
    return !key.empty() && key.find_first_of(std::string_view("\r\n\x0E", 3)) == std::string_view::npos;
}

// The end of the record that starts at start: the position of its terminator,
// or limit when it has none.
std::size_t recordEnd(std::string_view content, std::size_t start, std::size_t limit)
{
    const void* hit = std::memchr(content.data() + start, kRecordTerminator, limit - start);
    return hit ? std::size_t(static_cast<const char*>(hit) - content.data()) : limit;
}

// The start of the first record within [0, limit) whose key is key, or npos.
// end receives the end of that record.
std::size_t findRecordStart(std::string_view content, std::string_view key, std::size_t limit, std::size_t& end)
{
    if (!usableKey(key))
        return std::string_view::npos;
    for (std::size_t start = 0; start < limit; start = end + 1) {
        end = recordEnd(content, start, limit);
        const std::size_t afterKey = start + key.size();
        if (afterKey <= end && content.compare(start, key.size(), key) == 0
            && (afterKey == end || isLineBreak(content[afterKey])))
            return start;
    }
    return std::string_view::npos;
}

// What a text-mode stream delivers for these bytes: each CR LF as LF.
std::string textModeBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        out += bytes[i];
    }
    return out;
}

// The bytes a new record adds: a terminator first when the file's last record
// lacks one, then the text without any terminator of its own, then the terminator.
std::string newRecordBytes(std::string_view text, bool closeLastRecord)
{
    std::string out;
    out.reserve(text.size() + 2);
    if (closeLastRecord)
        out += kRecordTerminator;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != kRecordTerminator; });
    out += kRecordTerminator;
    return out;
}

// True when a record appended after these bytes would run on from the last one.
bool lastRecordOpen(std::string_view content)
{
    return !content.empty() && content.back() != kRecordTerminator;
}

// The parts of a file kept by a rewrite, and whether a record appended after
// them must first close the last one.
struct RewritePlan {
    std::string_view before;
    std::string_view after;
    bool closeLastRecord = false;
};

RewritePlan planRewrite(std::string_view content, const RecordMatch& match)
{
    RewritePlan plan{content, {}, lastRecordOpen(content)};
    const std::size_t removed = match.length + (match.terminated ? 1 : 0);
    if (!match.found || match.offset > content.size() || removed > content.size() - match.offset)
        return plan;
    plan.before = content.substr(0, match.offset);
    plan.after = content.substr(match.offset + removed);
    plan.closeLastRecord = lastRecordOpen(plan.after.empty() ? plan.before : plan.after);
    return plan;
}

// The whole file, read from its start in blocks of up to kReadBlock bytes
// into a buffer sized from the file's length (and grown should it grow).
bool readAll(int fd, std::string& out)
{
    out.clear();
    try {
        struct stat st {};
        std::size_t capacity = ::fstat(fd, &st) == 0 && st.st_size > 0 ? std::size_t(st.st_size) + 1 : 4096;
        std::size_t size = 0;
        out.resize(capacity);
        for (;;) {
            if (size == capacity) {
                capacity *= 2;
                out.resize(capacity);
            }
            const ssize_t n = io::preadSome(fd, out.data() + size, std::min(capacity - size, kReadBlock), off_t(size));
            if (n < 0) {
                out.clear();
                return false;
            }
            if (n == 0)
                break;
            size += std::size_t(n);
        }
        out.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        out = std::string();
        errno = ENOMEM;
        return false;
    }
}

bool writeAll(int fd, std::string_view data)
{
    return io::writeAll(fd, QByteArrayView(data.data(), qsizetype(data.size())));
}

QByteArrayView bytesOf(std::string_view data)
{
    return {data.data(), qsizetype(data.size())};
}

// The path of name in folder; an empty folder is the current one.
std::string pathIn(const std::string& folder, const char* name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// Opens path without blocking on anything that is not a plain file, and
// refuses anything that is not one.
FileHandle openRegular(const std::string& path, int flags)
{
    FileHandle fd(io::openAt(AT_FDCWD, path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd)
        return fd;
    struct stat st {};
    if (::fstat(fd.fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fd.reset();
        errno = EISDIR;
    }
    return fd;
}

// Adds read and write permission for the owner of path if it exists, as the
// read-only attribute is cleared on other systems. Where that is refused the
// open that follows tells the user.
void makeWritable(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
        && (st.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR)
        && ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0) {
        // A read-only medium or another user's file: opening it reports that.
    }
}

// Takes the exclusive lock on fd, waiting at most wait for another program
// to let it go. False, with errno EWOULDBLOCK, when it is held longer. Where
// the file system has no locks, the file is used unlocked.
bool lockWithin(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (io::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
            return true;
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

// "coment.txt" as it is at its path now, open for reading and writing and
// locked exclusively against other editors of the folder until it is closed.
// A file replaced while waiting for the lock is opened and locked again.
// Empty with errno EWOULDBLOCK when another program holds the lock too long.
FileHandle openLocked(const std::string& path, bool create, std::chrono::milliseconds wait)
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        FileHandle fd = openRegular(path, O_RDWR | (create ? O_CREAT : 0));
        if (!fd)
            return fd;
        if (!lockWithin(fd.fd(), wait))
            return FileHandle();
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.fd(), &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev
            && held.st_ino == named.st_ino)
            return fd;
    }
    errno = EAGAIN;
    return FileHandle();
}

// Appends a new record to the locked file in one write. On failure the file
// is cut back to its old length, so no part of the record stays.
bool appendTo(int fd, std::string_view text)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    char last = kRecordTerminator;
    if (st.st_size > 0 && io::preadSome(fd, &last, 1, st.st_size - 1) != 1)
        return false;
    const std::string record = newRecordBytes(text, last != kRecordTerminator);
    if (::lseek(fd, st.st_size, SEEK_SET) == st.st_size && writeAll(fd, record) && io::fsync(fd) == 0)
        return true;
    const int error = errno;
    if (io::ftruncate(fd, st.st_size) != 0 && io::ftruncate(fd, st.st_size) != 0) {
        // The disk took part of the record and will not give it back; the
        // caller reports the failed write all the same.
    }
    errno = error;
    return false;
}

CommentOutcome failure(CommentMessageId id, std::string key = {}, std::string detail = {})
{
    CommentOutcome outcome;
    outcome.messages.push_back({id, std::move(key), std::move(detail)});
    outcome.done = false;
    return outcome;
}

// A lock that another program holds too long (error EWOULDBLOCK), or the
// message for any other failure to open the file.
CommentOutcome openFailure(int error, CommentMessageId id, std::string key = {}, std::string detail = {})
{
    if (error == EWOULDBLOCK)
        return failure(CommentMessageId::FileBusy);
    return failure(id, std::move(key), std::move(detail));
}

// Why the editor cannot open on a folder, where the folder's medium or
// permissions are the reason.
std::string unwritableFolderDetail(int error)
{
    if (error == EROFS || error == EACCES || error == EPERM)
        return "このフォルダーには書き込めないため（読み取り専用のメディアか、書き込みの権限がありません）、"
               "コメントを書けません。";
    return {};
}
} // namespace

std::string_view commentMessageText(CommentMessageId id)
{
    switch (id) {
    case CommentMessageId::FileOpenError:
        return "FileOpen Error";
    case CommentMessageId::WriteError:
        return "書き込みエラー";
    case CommentMessageId::EditError:
        return "編集ERROR";
    case CommentMessageId::ComentFileOpenError:
        return "comentFileOpen Error";
    case CommentMessageId::EditWriteError:
        return "編集書き込みエラー";
    case CommentMessageId::DeleteError:
        return "削除Error";
    case CommentMessageId::Eror1:
        return "EROR1";
    case CommentMessageId::Eror2:
        return "EROR2";
    case CommentMessageId::FileBusy:
        return "コメントファイル（coment."
               "txt）はほかのプログラムが使用中のため、書き込めません。しばらくしてからもう一度試してください。";
    }
    return {};
}

RecordMatch findRecordIn(std::string_view content, std::string_view key)
{
    RecordMatch match;
    std::size_t end = 0;
    const std::size_t start = findRecordStart(content, key, content.size(), end);
    if (start == std::string_view::npos)
        return match;
    match.found = true;
    match.recordText = std::string(content.substr(start, end - start));
    match.matchedKey = std::string(key);
    match.offset = start;
    match.length = end - start;
    match.terminated = end < content.size();
    return match;
}

ViewComment findCommentIn(std::string_view content, std::string_view key)
{
    ViewComment view;
    // A key with 0x00 cannot be read past the end of the text stream.
    if (key.find('\0') != std::string_view::npos)
        return view;
    const void* nul = std::memchr(content.data(), '\0', content.size());
    const std::size_t limit = nul ? std::size_t(static_cast<const char*>(nul) - content.data()) : content.size();
    std::size_t end = 0;
    const std::size_t start = findRecordStart(content, key, limit, end);
    if (start == std::string_view::npos)
        return view;
    view.comment = textModeBytes(content.substr(start + key.size(), end - start - key.size()));
    view.found = !view.comment.empty();
    return view;
}

std::string rewrittenContent(std::string_view content, const RecordMatch& match,
                             std::optional<std::string_view> newText)
{
    const RewritePlan plan = planRewrite(content, match);
    std::string out;
    out.reserve(content.size() + (newText ? newText->size() + 2 : 0));
    out.append(plan.before).append(plan.after);
    if (newText)
        out += newRecordBytes(*newText, plan.closeLastRecord);
    return out;
}

std::string TextToLines(std::string_view text)
{
    std::string whole(text);
    whole += "\r\n";
    std::string out;
    out.reserve(whole.size() + whole.size() / 8);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const char c = whole[i];
        if (!isLineBreak(c)) {
            out += c;
            continue;
        }
        out += "\r\n";
        if (c == '\r' && i + 1 < whole.size() && whole[i + 1] == '\n')
            ++i;
    }
    return out;
}

struct CommentFile::Impl {
    std::chrono::milliseconds lockWait = kDefaultLockWait;

    // The editor's session.
    bool editing = false;
    std::string folder; // fixed at OpenForEdit
    std::string snapshot; // the file's contents at OpenForEdit
    std::string lookupKey; // the key of the last FindRecordForEdit, for messages
    std::string rewriteKey; // the key of the record BeginRewrite was given

    // The viewer's open file; empty when there is none (read-only medium).
    FileHandle viewFile;

    std::string commentPath() const { return pathIn(folder, kCommentFileName); }
    CommentOutcome rewrite(std::optional<std::string_view> newText);
    CommentOutcome keepByAppending(int file, std::string_view text, CommentOutcome outcome) const;
};

CommentFile::CommentFile() : d_(std::make_unique<Impl>()) {}

CommentFile::~CommentFile()
{
    if (d_->editing)
        CloseForEdit();
}

std::chrono::milliseconds CommentFile::lockWait() const
{
    return d_->lockWait;
}

void CommentFile::setLockWait(std::chrono::milliseconds wait)
{
    d_->lockWait = wait;
}

CommentOutcome CommentFile::OpenForEdit(std::string_view folder)
{
    CloseForEdit();
    d_->folder = std::string(folder);
    const std::string path = d_->commentPath();
    makeWritable(path);
    const FileHandle file = openLocked(path, true, d_->lockWait);
    if (!file) {
        const int error = errno;
        return openFailure(error, CommentMessageId::FileOpenError, {}, unwritableFolderDetail(error));
    }
    if (!readAll(file.fd(), d_->snapshot))
        return failure(CommentMessageId::FileOpenError);
    d_->editing = true;
    return {};
}

RecordMatch CommentFile::FindRecordForEdit(std::string_view key)
{
    d_->lookupKey = std::string(key);
    return findRecordIn(d_->snapshot, key);
}

CommentOutcome CommentFile::AppendRecord(std::string_view text)
{
    if (!d_->editing)
        return failure(CommentMessageId::WriteError, d_->lookupKey);
    const FileHandle file = openLocked(d_->commentPath(), true, d_->lockWait);
    if (!file)
        return openFailure(errno, CommentMessageId::WriteError, d_->lookupKey);
    if (!appendTo(file.fd(), text))
        return failure(CommentMessageId::WriteError, d_->lookupKey);
    return {};
}

CommentOutcome CommentFile::BeginRewrite(const RecordMatch& match)
{
    d_->rewriteKey = match.found ? match.matchedKey : std::string();
    // Held only so that no other editor's commit is under way on "buftx.txt";
    // the commit takes the lock again and writes the scratch file anew.
    const FileHandle lock = openLocked(d_->commentPath(), false, d_->lockWait);
    const std::string scratchPath = pathIn(d_->folder, kScratchFileName);
    io::unlinkAt(AT_FDCWD, scratchPath.c_str(), 0);
    FileHandle scratch(
        io::openAt(AT_FDCWD, scratchPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!scratch) {
        const int error = errno;
        return failure(CommentMessageId::FileOpenError, {}, unwritableFolderDetail(error));
    }
    const RewritePlan plan = planRewrite(d_->snapshot, findRecordIn(d_->snapshot, d_->rewriteKey));
    CommentOutcome outcome;
    if (!writeAll(scratch.fd(), plan.before))
        outcome.messages.push_back({CommentMessageId::Eror1, {}, {}});
    else if (!writeAll(scratch.fd(), plan.after))
        outcome.messages.push_back({CommentMessageId::Eror2, {}, {}});
    else if (!scratch.close())
        outcome.messages.push_back({CommentMessageId::Eror2, {}, {}});
    return outcome;
}

CommentOutcome CommentFile::ReplaceRecord(std::string_view text)
{
    return d_->rewrite(text);
}

CommentOutcome CommentFile::DeleteRecord()
{
    return d_->rewrite(std::nullopt);
}

// The commit of a replace (newText given) or delete, on the file as it is now.
CommentOutcome CommentFile::Impl::rewrite(std::optional<std::string_view> newText)
{
    const bool replacing = newText.has_value();
    if (!editing || rewriteKey.empty())
        return replacing ? failure(CommentMessageId::ComentFileOpenError) : failure(CommentMessageId::DeleteError);
    const std::string path = commentPath();
    const FileHandle file = openLocked(path, replacing, lockWait);
    std::string content;
    if (!file || !readAll(file.fd(), content)) {
        if (!replacing && errno == ENOENT)
            return {}; // the file is gone, and the record with it
        return openFailure(errno, replacing ? CommentMessageId::ComentFileOpenError : CommentMessageId::DeleteError);
    }
    const RecordMatch target = findRecordIn(content, rewriteKey);
    if (!replacing && !target.found)
        return {};
    const RewritePlan plan = planRewrite(content, target);
    const CommentMessageId notInPlace = replacing ? CommentMessageId::EditError : CommentMessageId::DeleteError;

    std::optional<FileReplacement> replacement;
    try {
        replacement.emplace(FilePath(QByteArray::fromStdString(path), QString::fromStdString(path)),
                            QByteArrayView(kScratchFileName));
    } catch (const WriteError&) {
        return replacing ? keepByAppending(file.fd(), *newText, failure(notInPlace)) : failure(notInPlace);
    }
    // Writing the new file: nothing has changed yet when it fails.
    CommentMessageId stage = CommentMessageId::Eror1;
    try {
        replacement->write(bytesOf(plan.before));
        stage = CommentMessageId::Eror2;
        replacement->write(bytesOf(plan.after));
        if (replacing) {
            stage = CommentMessageId::EditWriteError;
            replacement->write(bytesOf(newRecordBytes(*newText, plan.closeLastRecord)));
        }
    } catch (const WriteError&) {
        return failure(stage, stage == CommentMessageId::EditWriteError ? lookupKey : std::string());
    }
    // Putting it in place.
    try {
        replacement->commit();
    } catch (const WriteError& error) {
        if (error.replaced())
            return {}; // in place; only the folder's sync was in doubt
        return replacing ? keepByAppending(file.fd(), *newText, failure(notInPlace)) : failure(notInPlace);
    }
    return {};
}

// After "編集ERROR": the edited text is appended to the old file so that what
// the user typed is kept, and the editor may close.
CommentOutcome CommentFile::Impl::keepByAppending(int file, std::string_view text, CommentOutcome outcome) const
{
    if (appendTo(file, text))
        outcome.done = true;
    else
        outcome.messages.push_back({CommentMessageId::EditWriteError, lookupKey, {}});
    return outcome;
}

void CommentFile::CloseForEdit()
{
    if (d_->editing) {
        // Not while another editor's commit is writing it; a scratch file
        // left behind is made anew by the next rewrite.
        const FileHandle lock = openLocked(d_->commentPath(), false, d_->lockWait);
        if (lock || errno != EWOULDBLOCK)
            io::unlinkAt(AT_FDCWD, pathIn(d_->folder, kScratchFileName).c_str(), 0);
    }
    d_->editing = false;
    d_->folder.clear();
    d_->snapshot = std::string();
    d_->lookupKey.clear();
    d_->rewriteKey.clear();
}

CommentOutcome CommentFile::OpenForView(std::string_view folder)
{
    CloseForView();
    const std::string path = pathIn(std::string(folder), kCommentFileName);
    makeWritable(path);
    d_->viewFile = openRegular(path, O_RDONLY | O_CREAT);
    if (!d_->viewFile)
        d_->viewFile = openRegular(path, O_RDONLY);
    // No file and none can be made (a read-only medium): there is no comment.
    if (!d_->viewFile && errno != ENOENT)
        return failure(CommentMessageId::FileOpenError);
    return {};
}

ViewComment CommentFile::FindCommentForView(std::string_view key)
{
    if (!d_->viewFile)
        return {};
    std::string content;
    if (!readAll(d_->viewFile.fd(), content)) {
        ViewComment view;
        view.outcome = failure(CommentMessageId::FileOpenError);
        return view;
    }
    return findCommentIn(content, key);
}

void CommentFile::CloseForView()
{
    d_->viewFile.reset();
}

} // namespace zavio
