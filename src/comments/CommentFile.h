#pragma once

// The comment file "coment.txt" of a picture folder: one record per picture,
// each its text (first line: the picture's file name, the key) followed by the
// byte 0x0E, with nothing in between. Everything here works on raw bytes
// (Shift-JIS, code page 932, as stored); the windows convert to and from
// Unicode. Bytes that are not valid Shift-JIS are never looked at as text and
// are kept as they are.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zavio {

inline constexpr char kRecordTerminator = '\x0E';
inline constexpr char kCommentFileName[] = "coment.txt";
inline constexpr char kScratchFileName[] = "buftx.txt";

// The messages the comment windows show, each in a plain message box with OK.
enum class CommentMessageId {
    FileOpenError, // "FileOpen Error"
    WriteError, // "書き込みエラー" + key
    EditError, // "編集ERROR"
    ComentFileOpenError, // "comentFileOpen Error"
    EditWriteError, // "編集書き込みエラー" + key
    DeleteError, // "削除Error"
    Eror1, // "EROR1"
    Eror2, // "EROR2"
    FileBusy, // our own: another program holds the file's lock
};

// The fixed part of a message, UTF-8.
std::string_view commentMessageText(CommentMessageId id);

struct CommentMessage {
    CommentMessageId id;
    // For WriteError and EditWriteError: the key's Shift-JIS bytes, shown
    // directly after text() once the window has decoded them. Empty otherwise.
    std::string key;
    // A sentence of our own (UTF-8) shown on a line of its own after the
    // message, saying why; empty for most messages.
    std::string detail;

    std::string_view text() const { return commentMessageText(id); }
    friend bool operator==(const CommentMessage&, const CommentMessage&) = default;
};

// What an operation asks the window to show, the messages in order, and
// whether it took effect. A commit that did not take effect has left the file
// as it was, so the editor stays open with the text; one that did may still
// have a message (after "編集ERROR" the text is appended to the old file).
struct [[nodiscard]] CommentOutcome {
    std::vector<CommentMessage> messages;
    bool done = true;

    bool ok() const { return messages.empty(); }
};

// The editor's lookup result.
struct RecordMatch {
    bool found = false;
    std::string recordText; // the record's bytes, key included, without its terminator
    std::string matchedKey; // the key bytes as found in the file; empty when not found
    std::size_t offset = 0; // bytes in the file before the record
    std::size_t length = 0; // bytes of recordText
    bool terminated = false; // a terminator follows (false for a last record cut short)
};

// The viewer's lookup result.
struct ViewComment {
    bool found = false;
    // The record's text after the key, read as text mode reads it (each CR LF
    // becomes LF); it starts with the line break that followed the key.
    std::string comment;
    CommentOutcome outcome; // never fatal
};

// The record of key in the bytes of a comment file. A record matches when it
// starts with the key byte for byte and the key is followed by CR, LF, the
// terminator or the end of the file; the first such record wins. An empty key,
// or one holding CR, LF or the terminator, matches nothing.
RecordMatch findRecordIn(std::string_view content, std::string_view key);

// The viewer's lookup in the bytes of a comment file. It reads them as a
// text-mode stream would: a 0x00 byte ends the file and CR LF arrives as LF.
// The first record matching as in findRecordIn decides; it is found only if
// at least one byte stands between its key and its end.
ViewComment findCommentIn(std::string_view content, std::string_view key);

// The whole new file after a rewrite: content without the record of match
// (match computed on content) and, when newText is given, newText appended as
// the last record. Untouched records keep every byte.
std::string rewrittenContent(std::string_view content, const RecordMatch& match,
                             std::optional<std::string_view> newText);

// The text as display lines: the text plus CR LF, with every CR or LF that is
// not part of a CR LF pair made into CR LF.
std::string TextToLines(std::string_view text);

// The operations on "coment.txt" and the scratch file "buftx.txt" of one
// folder. The comment editor uses OpenForEdit, FindRecordForEdit, then either
// AppendRecord (nothing found) or BeginRewrite followed by ReplaceRecord,
// DeleteRecord or nothing, and always CloseForEdit. The comment viewer uses
// OpenForView, FindCommentForView, CloseForView. Each window owns its own
// object. Folders are native path bytes; keys and texts are Shift-JIS bytes.
//
// Every change is made under an advisory lock on "coment.txt" and applied to
// the file as it is at that moment, so records written meanwhile by another
// editor of the same folder are kept. The lock is waited for at most
// lockWait(); a lock held longer gives "FileBusy" and changes nothing. A
// replace or delete writes the new file to "buftx.txt" beside the real file
// (a linked "coment.txt" is rewritten in its target's folder) and puts it in
// place through FileReplacement: a failure anywhere leaves "coment.txt" as it
// was. An append writes the record in one piece and cuts the file back to its
// old length when that fails. No outcome ends the program.
class CommentFile {
public:
    static constexpr std::chrono::milliseconds kDefaultLockWait{3000};

    CommentFile();
    // Closes whatever is still open, as CloseForEdit and CloseForView do.
    ~CommentFile();
    CommentFile(const CommentFile&) = delete;
    CommentFile& operator=(const CommentFile&) = delete;

    // Makes "coment.txt" in folder readable and writable for its owner if it
    // exists, opens it (creating it empty if missing) and takes its contents
    // for the lookup. Fails with "FileOpen Error" (with a sentence saying that
    // the folder cannot be written, where that is why) or "FileBusy".
    [[nodiscard]] CommentOutcome OpenForEdit(std::string_view folder);

    // How long a change waits for another program's lock on the file.
    std::chrono::milliseconds lockWait() const;
    void setLockWait(std::chrono::milliseconds wait);

    // The record of key in the contents taken by OpenForEdit. The key is kept
    // for the messages of the operations that follow.
    RecordMatch FindRecordForEdit(std::string_view key);

    // Writes text and the terminator at the end of "coment.txt", after closing
    // a last record that lacks its terminator. Any 0x0E in text is dropped, so
    // the text stays one record. On failure "書き込みエラー" + key (or
    // "FileBusy"), and the file keeps its old length.
    [[nodiscard]] CommentOutcome AppendRecord(std::string_view text);

    // Starts the replace or delete of the found record: creates "buftx.txt"
    // holding the file without it. Not done, with "FileOpen Error", when it
    // cannot be created; "EROR1" or "EROR2" when the bytes before or after the
    // record cannot be written, which the commit writes again.
    [[nodiscard]] CommentOutcome BeginRewrite(const RecordMatch& match);

    // Replaces the record given to BeginRewrite by text, which becomes the
    // file's last record. The record is looked up again by its key in the file
    // as it is now; if it is gone meanwhile, text is simply appended.
    // Failures: "EROR1"/"EROR2"/"編集書き込みエラー" + key when "buftx.txt"
    // cannot be written (file unchanged); "編集ERROR" when it cannot be put in
    // place, after which text is appended to the old file (failing that,
    // "編集書き込みエラー" + key); "comentFileOpen Error" when "coment.txt"
    // cannot be opened at all; "FileBusy" when its lock is held too long.
    [[nodiscard]] CommentOutcome ReplaceRecord(std::string_view text);

    // Removes the record given to BeginRewrite, looked up again by its key
    // (nothing to do if it is gone). Failures leave the file unchanged:
    // "EROR1"/"EROR2" when "buftx.txt" cannot be written, "削除Error" when it
    // cannot be put in place or "coment.txt" cannot be opened, "FileBusy".
    [[nodiscard]] CommentOutcome DeleteRecord();

    // Ends the editing session and deletes "buftx.txt" if it exists.
    void CloseForEdit();

    // Makes "coment.txt" in folder readable and writable for its owner if it
    // exists and opens it for reading, creating it empty where it can. On a
    // read-only medium without the file, lookups simply find nothing. A file
    // that exists but cannot be opened gives "FileOpen Error" and no comment.
    [[nodiscard]] CommentOutcome OpenForView(std::string_view folder);

    // The comment of key in the file opened by OpenForView (read now).
    ViewComment FindCommentForView(std::string_view key);

    void CloseForView();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace zavio
