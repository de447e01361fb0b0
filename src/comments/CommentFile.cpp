#include "comments/CommentFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zavio {

namespace {

constexpr std::size_t kReadBlock = std::size_t(1) << 20;
// How often a lock is taken again when the file was replaced while waiting for it.
constexpr int kLockAttempts = 100;

// A file descriptor, closed when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
    }
    // Closes and reports whether the last writes were accepted.
    bool close()
    {
        return ::close(std::exchange(fd_, -1)) == 0;
    }

private:
    int fd_ = -1;
};

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

// Writes all of data; false (errno set) when the file takes less.
bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
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
            const ssize_t n = ::pread(fd, out.data() + size, std::min(capacity - size, kReadBlock), off_t(size));
            if (n < 0 && errno == EINTR)
                continue;
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

// The picture folder, whose files are then opened relative to it; an empty
// path is the current folder.
UniqueFd openFolder(std::string_view folder)
{
    const std::string path(folder.empty() ? std::string_view(".") : folder);
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Opens name in dir without blocking on anything that is not a plain file,
// and refuses anything that is not one.
UniqueFd openRegular(int dir, const char* name, int flags)
{
    UniqueFd fd(::openat(dir, name, flags | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd)
        return fd;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fd.reset();
        errno = EISDIR;
    }
    return fd;
}

// Adds read and write permission for the owner of name if it exists, as the
// read-only attribute is cleared on other systems; failure is not an error.
void makeWritable(int dir, const char* name)
{
    struct stat st {};
    if (::fstatat(dir, name, &st, 0) == 0 && S_ISREG(st.st_mode)
        && (st.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR))
        ::fchmodat(dir, name, (st.st_mode & 07777) | S_IRUSR | S_IWUSR, 0);
}

// "coment.txt" as it is at its path now, open for reading and writing and
// locked exclusively against other editors of the folder until it is closed.
// A file replaced while waiting for the lock is opened and locked again.
// Where the file system has no locks, the file is used unlocked.
UniqueFd openLocked(int dir, bool create)
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        UniqueFd fd = openRegular(dir, kCommentFileName, O_RDWR | (create ? O_CREAT : 0));
        if (!fd)
            return fd;
        while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {}
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.get(), &held) == 0 && ::fstatat(dir, kCommentFileName, &named, 0) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
    }
    errno = EAGAIN;
    return UniqueFd();
}

// Creates an empty "buftx.txt", replacing whatever stood under that name.
UniqueFd createScratch(int dir)
{
    ::unlinkat(dir, kScratchFileName, 0);
    return UniqueFd(::openat(dir, kScratchFileName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

// Appends a new record to the locked file. On failure the file is cut back
// to its old length, so no part of the record stays.
bool appendTo(int fd, std::string_view text)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    char last = kRecordTerminator;
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1)
        return false;
    const std::string record = newRecordBytes(text, last != kRecordTerminator);
    if (::lseek(fd, st.st_size, SEEK_SET) == st.st_size && writeAll(fd, record) && ::fsync(fd) == 0)
        return true;
    const int error = errno;
    while (::ftruncate(fd, st.st_size) != 0 && errno == EINTR) {}
    errno = error;
    return false;
}

CommentOutcome failure(CommentMessageId id, bool fatal = false, std::string key = {})
{
    CommentOutcome outcome;
    outcome.messages.push_back({id, std::move(key)});
    outcome.fatal = fatal;
    return outcome;
}

// Writes the kept parts of a rewrite to scratch: "EROR1" when the part before
// the record fails, "EROR2" when the part after it does.
std::optional<CommentMessageId> writeKept(int scratch, const RewritePlan& plan)
{
    if (!writeAll(scratch, plan.before))
        return CommentMessageId::Eror1;
    if (!writeAll(scratch, plan.after))
        return CommentMessageId::Eror2;
    return std::nullopt;
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
    // The editor's session.
    UniqueFd editDir;
    std::string snapshot;   // the file's contents at OpenForEdit
    std::string lookupKey;  // the key of the last FindRecordForEdit, for messages
    std::string rewriteKey; // the key of the record BeginRewrite was given

    // The viewer's open file; empty when there is none (read-only medium).
    UniqueFd viewFile;

    CommentOutcome rewrite(std::optional<std::string_view> newText);
    CommentOutcome keepByAppending(int file, std::string_view text, CommentOutcome outcome) const;
};

CommentFile::CommentFile() : d_(std::make_unique<Impl>()) {}

CommentFile::~CommentFile()
{
    if (d_->editDir)
        CloseForEdit();
}

CommentOutcome CommentFile::OpenForEdit(std::string_view folder)
{
    CloseForEdit();
    d_->editDir = openFolder(folder);
    if (!d_->editDir)
        return failure(CommentMessageId::FileOpenError, true);
    makeWritable(d_->editDir.get(), kCommentFileName);
    const UniqueFd file = openLocked(d_->editDir.get(), true);
    if (!file || !readAll(file.get(), d_->snapshot)) {
        d_->editDir.reset();
        return failure(CommentMessageId::FileOpenError, true);
    }
    return {};
}

RecordMatch CommentFile::FindRecordForEdit(std::string_view key)
{
    d_->lookupKey = std::string(key);
    return findRecordIn(d_->snapshot, key);
}

CommentOutcome CommentFile::AppendRecord(std::string_view text)
{
    const UniqueFd file = openLocked(d_->editDir.get(), true);
    if (!file || !appendTo(file.get(), text))
        return failure(CommentMessageId::WriteError, false, d_->lookupKey);
    return {};
}

CommentOutcome CommentFile::BeginRewrite(const RecordMatch& match)
{
    d_->rewriteKey = match.found ? match.matchedKey : std::string();
    // Held only so that no other editor's commit is under way on "buftx.txt".
    const UniqueFd lock = openLocked(d_->editDir.get(), false);
    const UniqueFd scratch = createScratch(d_->editDir.get());
    if (!scratch)
        return failure(CommentMessageId::FileOpenError, true);
    const RewritePlan plan = planRewrite(d_->snapshot, findRecordIn(d_->snapshot, d_->rewriteKey));
    if (const std::optional<CommentMessageId> error = writeKept(scratch.get(), plan))
        return failure(*error);
    return {};
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
    const bool editing = newText.has_value();
    const int dir = editDir.get();
    const UniqueFd file = openLocked(dir, editing);
    std::string content;
    if (!file || !readAll(file.get(), content)) {
        if (!editing && errno == ENOENT)
            return {}; // the file is gone, and the record with it
        return editing ? failure(CommentMessageId::ComentFileOpenError, true)
                       : failure(CommentMessageId::DeleteError);
    }
    const RecordMatch target = findRecordIn(content, rewriteKey);
    if (!editing && !target.found)
        return {};
    const RewritePlan plan = planRewrite(content, target);
    const CommentMessageId notInPlace = editing ? CommentMessageId::EditError : CommentMessageId::DeleteError;

    UniqueFd scratch = createScratch(dir);
    if (!scratch)
        return editing ? keepByAppending(file.get(), *newText, failure(notInPlace)) : failure(notInPlace);
    std::optional<CommentMessageId> writeError = writeKept(scratch.get(), plan);
    if (!writeError && editing && !writeAll(scratch.get(), newRecordBytes(*newText, plan.closeLastRecord)))
        writeError = CommentMessageId::EditWriteError;
    if (writeError) {
        scratch.reset();
        ::unlinkat(dir, kScratchFileName, 0);
        return failure(*writeError, false, *writeError == CommentMessageId::EditWriteError ? lookupKey : "");
    }

    // The new file takes the old one's owner (where allowed) and permissions.
    struct stat st {};
    if (::fstat(file.get(), &st) == 0) {
        [[maybe_unused]] const int owned = ::fchown(scratch.get(), st.st_uid, st.st_gid);
        ::fchmod(scratch.get(), st.st_mode & 07777);
    }
    const bool durable = ::fsync(scratch.get()) == 0 && scratch.close();
    if (!durable || ::renameat(dir, kScratchFileName, dir, kCommentFileName) != 0) {
        ::unlinkat(dir, kScratchFileName, 0);
        return editing ? keepByAppending(file.get(), *newText, failure(notInPlace)) : failure(notInPlace);
    }
    ::fsync(dir);
    return {};
}

// After "編集ERROR": the edited text is appended to the old file so that what
// the user typed is kept.
CommentOutcome CommentFile::Impl::keepByAppending(int file, std::string_view text, CommentOutcome outcome) const
{
    if (!appendTo(file, text))
        outcome.messages.push_back({CommentMessageId::EditWriteError, lookupKey});
    return outcome;
}

void CommentFile::CloseForEdit()
{
    if (d_->editDir) {
        const UniqueFd lock = openLocked(d_->editDir.get(), false);
        ::unlinkat(d_->editDir.get(), kScratchFileName, 0);
    }
    d_->editDir.reset();
    d_->snapshot = std::string();
    d_->lookupKey.clear();
    d_->rewriteKey.clear();
}

CommentOutcome CommentFile::OpenForView(std::string_view folder)
{
    CloseForView();
    const UniqueFd dir = openFolder(folder);
    if (!dir)
        return failure(CommentMessageId::FileOpenError);
    makeWritable(dir.get(), kCommentFileName);
    d_->viewFile = openRegular(dir.get(), kCommentFileName, O_RDONLY | O_CREAT);
    if (!d_->viewFile)
        d_->viewFile = openRegular(dir.get(), kCommentFileName, O_RDONLY);
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
    if (!readAll(d_->viewFile.get(), content)) {
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
