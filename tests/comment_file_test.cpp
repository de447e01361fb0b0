#include "comments/CommentFile.h"
#include "common/ShiftJis.h"
#include "support/CommentFolder.h"
#include "support/ScratchMount.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zavio;
using zavio::fixtures::CommentFolder;
using zavio::fixtures::ScratchMount;

namespace {

constexpr char T = kRecordTerminator;

std::string sjis(const char16_t* text)
{
    return toShiftJis(QString::fromUtf16(text)).toStdString();
}

CommentMessage message(CommentMessageId id, std::string key = {}, std::string detail = {})
{
    return {id, std::move(key), std::move(detail)};
}

// The sentence that follows "FileOpen Error" when the folder cannot be written.
const std::string kUnwritableFolder =
    "このフォルダーには書き込めないため（読み取り専用のメディアか、書き込みの権限がありません）、"
    "コメントを書けません。";

std::vector<CommentMessage> messages(std::initializer_list<CommentMessage> list)
{
    return list;
}

// An editor session that finds key and starts its rewrite, as the editor's activation does.
RecordMatch beginEdit(CommentFile& file, const CommentFolder& folder, std::string_view key)
{
    EXPECT_TRUE(file.OpenForEdit(folder.path()).ok());
    RecordMatch match = file.FindRecordForEdit(key);
    EXPECT_TRUE(match.found) << key;
    EXPECT_TRUE(file.BeginRewrite(match).ok());
    return match;
}

// "coment.txt" bind-mounted from another folder: it can be read and written,
// but nothing can be renamed over it.
class PinnedCommentFile {
public:
    explicit PinnedCommentFile(const CommentFolder& folder)
        : source_(QFile::encodeName(elsewhere_.filePath(QStringLiteral("pinned.txt"))).toStdString()),
          target_(folder.filePath(kCommentFileName))
    {
        ::close(::open(source_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        // The contents move to the source, which then stands in for the file.
        const std::string old = folder.comments();
        mounted_ = ::mount(source_.c_str(), target_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted_)
            folder.setComments(old);
    }
    ~PinnedCommentFile()
    {
        if (mounted_)
            ::umount2(target_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    QTemporaryDir elsewhere_;
    std::string source_;
    std::string target_;
    bool mounted_ = false;
};

} // namespace

// The editor's lookup finds only the record that starts with the whole key,
// byte for byte, followed by a line break, the terminator or the file's end.
TEST(CommentScan, FindsOnlyTheRecordThatStartsWithTheWholeKey)
{
    const std::string kaki = sjis(u"かき.jpg");
    const std::string records[] = {
        "x.jpg.jpg\r\nlong name",
        kaki + "\r\n" + sjis(u"柿"),
        "b.jpg\r\nsee a.jpg\r\na.jpg\r\n",
        "A.JPG",
        "a.jpg\r\nfirst",
        "a.jpg\nsecond",
        "c.jpg\rcr only",
        "d.jpg\r\nno terminator",
    };
    std::string content;
    std::vector<std::size_t> offsets;
    for (const std::string& record : records) {
        offsets.push_back(content.size());
        content += record + T;
    }
    content.pop_back(); // the last record runs to the end of the file
    // The record each key finds, or -1.
    const std::pair<std::string, int> cases[] = {
        {"x.jpg.jpg", 0}, {"x.jpg", -1},        {sjis(u"あい.jpg"), -1},
        {kaki, 1},        {"A.JPG", 3},         {"a.jpg", 4},
        {"a.jp", -1},     {"c.jpg", 6},         {"d.jpg", 7},
        {"", -1},         {"b.jpg\r\nsee", -1}, {std::string("A.JPG") + T + "a.jpg", -1},
    };
    for (const auto& [key, index] : cases) {
        SCOPED_TRACE(key);
        const RecordMatch match = findRecordIn(content, key);
        EXPECT_EQ(match.found, index >= 0);
        if (index < 0) {
            EXPECT_TRUE(match.matchedKey.empty());
            EXPECT_TRUE(match.recordText.empty());
            continue;
        }
        EXPECT_EQ(match.matchedKey, key);
        EXPECT_EQ(match.recordText, records[index]);
        EXPECT_EQ(match.offset, offsets[index]);
        EXPECT_EQ(match.length, records[index].size());
        EXPECT_EQ(match.terminated, index != 7);
    }

    // No fixed buffers: a long key and a long record are found whole.
    const std::string longKey = std::string(300, 'k') + ".jpg";
    const std::string longText = longKey + "\r\n" + std::string(10000, '\x82');
    const RecordMatch match = findRecordIn(std::string("a") + T + longText + T, longKey);
    EXPECT_TRUE(match.found);
    EXPECT_EQ(match.recordText, longText);
}

// The viewer reads the file as a text-mode stream: CR LF as LF, 0x00 as the
// end; a record with nothing after its key shows as no comment.
TEST(CommentScan, ViewerReadsTheFileLikeATextModeStream)
{
    const std::string divide = "\x81\x80.jpg"; // ÷: a trail byte of 0x80
    const std::string content = std::string("a.jpg\r\nline 1\r\nline 2") + T + "e.jpg" + T + "e.jpg\r\nlater" + T
        + "n.jpg\r\n" + T + "r.jpg\rone\rtwo\r" + T + divide + "\r\n\x83\x80" + T + "z.jpg\r\nto the end";
    struct Case {
        std::string key;
        bool found;
        std::string comment;
    };
    const Case cases[] = {
        {"a.jpg", true, "\nline 1\nline 2"},
        {"e.jpg", false, ""},
        {"n.jpg", true, "\n"},
        {"r.jpg", true, "\rone\rtwo\r"},
        {divide, true, "\n\x83\x80"},
        {"z.jpg", true, "\nto the end"},
        {"line 1", false, ""},
        {std::string("a.jpg\0", 6), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const ViewComment view = findCommentIn(content, c.key);
        EXPECT_EQ(view.found, c.found);
        EXPECT_EQ(view.comment, c.comment);
    }

    // A 0x00 byte ends what the viewer sees, in the middle of a record or before one.
    const std::string cut = std::string("a.jpg\r\nab\0cd", 12) + T + "b.jpg\r\nb" + T;
    EXPECT_EQ(findCommentIn(cut, "a.jpg").comment, "\nab");
    EXPECT_FALSE(findCommentIn(cut, "b.jpg").found);
}

TEST(CommentScan, TextToLinesEndsEveryLineWithCrLf)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "\r\n"},
        {"abc", "abc\r\n"},
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\nb\rc", "a\r\nb\r\nc\r\n"},
        {"a\r", "a\r\n\r\n"},
        {"a\r\n", "a\r\n\r\n"},
        {"\n\r", "\r\n\r\n\r\n"},
        {"\x82\xa0\r\r\n", "\x82\xa0\r\n\r\n\r\n"},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(TextToLines(text), lines) << text;
}

// A new record: the file is created when missing, the text and the terminator
// are written as they are, and a last record that lacks its terminator is
// closed first.
TEST(CommentEditor, AppendsNewRecords)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    CommentFile file;
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_EQ(folder.comments(), "");
    EXPECT_FALSE(file.FindRecordForEdit("a.jpg").found);
    EXPECT_TRUE(file.AppendRecord("a.jpg\r\n").ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\n") + T);

    const std::string note = sjis(u"b.jpg\r\n夕焼け");
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_FALSE(file.FindRecordForEdit("b.jpg").found);
    // A 0x0E typed into the text would split the record: it is dropped.
    EXPECT_TRUE(file.AppendRecord(note + T).ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\n") + T + note + T);

    folder.setComments("a.jpg\r\nold");
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_TRUE(file.AppendRecord("b.jpg\r\nnew").ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\nold") + T + "b.jpg\r\nnew" + T);
    EXPECT_EQ(findRecordIn(folder.comments(), "a.jpg").recordText, "a.jpg\r\nold");
    EXPECT_FALSE(folder.has(kScratchFileName));
}

// "編集" puts the edited record last and "削除" removes it; every other byte,
// Shift-JIS or not, stays. The scratch file lives from activation to close.
TEST(CommentEditor, ReplacesAndDeletesByteExactly)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    const std::string a = "a.jpg\r\n\xFF\x80\xA0 not Shift-JIS";
    const std::string b = sjis(u"b.jpg\r\n一行目\r\n二行目");
    const std::string c = "c.jpg";
    const std::string original = a + T + b + T + c + T;
    folder.setComments(original);
    ::chmod(folder.filePath(kCommentFileName).c_str(), 0640);

    CommentFile file;
    const RecordMatch match = beginEdit(file, folder, "b.jpg");
    EXPECT_EQ(match.offset, a.size() + 1);
    EXPECT_EQ(match.recordText, b);
    ASSERT_TRUE(folder.has(kScratchFileName));
    EXPECT_EQ(folder.comments(), original);
    // Unchanged text comes back with the CR LF its display added.
    EXPECT_TRUE(file.ReplaceRecord(TextToLines(match.recordText)).ok());
    file.CloseForEdit();
    EXPECT_FALSE(folder.has(kScratchFileName));
    EXPECT_EQ(folder.comments(), a + T + c + T + b + "\r\n" + T);
    EXPECT_EQ(folder.mode(), 0640u);

    // The first record: nothing before it. A changed first line is the new key.
    beginEdit(file, folder, "a.jpg");
    EXPECT_TRUE(file.ReplaceRecord("z.jpg\r\nrenamed").ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), c + T + b + "\r\n" + T + "z.jpg\r\nrenamed" + T);

    beginEdit(file, folder, "b.jpg");
    EXPECT_TRUE(file.DeleteRecord().ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), c + T + "z.jpg\r\nrenamed" + T);

    // Closing without "編集" or "削除" changes nothing.
    beginEdit(file, folder, "c.jpg");
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), c + T + "z.jpg\r\nrenamed" + T);
    EXPECT_FALSE(folder.has(kScratchFileName));
}

// Same key twice, and a last record without its terminator.
TEST(CommentEditor, HandlesDuplicateKeysAndAnUnterminatedLastRecord)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    folder.setComments(std::string("d.jpg\r\n1") + T + "d.jpg\r\n2" + T + "e.jpg\r\nopen end");
    CommentFile file;
    beginEdit(file, folder, "d.jpg");
    EXPECT_TRUE(file.ReplaceRecord("d.jpg\r\n1 edited").ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("d.jpg\r\n2") + T + "e.jpg\r\nopen end" + T + "d.jpg\r\n1 edited" + T);

    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_EQ(file.FindRecordForEdit("d.jpg").recordText, "d.jpg\r\n2");
    file.CloseForEdit();

    folder.setComments(std::string("d.jpg\r\n2") + T + "e.jpg\r\nopen end");
    const RecordMatch open = beginEdit(file, folder, "e.jpg");
    EXPECT_FALSE(open.terminated);
    EXPECT_TRUE(file.DeleteRecord().ok());
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("d.jpg\r\n2") + T);
}

// Another editor of the same folder writes between this editor's activation
// and its commit: the commit applies to the file as it is then.
TEST(CommentEditor, KeepsRecordsWrittenMeanwhile)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    folder.setComments(std::string("a.jpg\r\na") + T + "b.jpg\r\nb" + T + "c.jpg\r\nc" + T);
    CommentFile editor;
    CommentFile other;
    beginEdit(editor, folder, "b.jpg");
    beginEdit(other, folder, "a.jpg");
    EXPECT_TRUE(other.ReplaceRecord("a.jpg\r\nA").ok());
    other.CloseForEdit();
    ASSERT_TRUE(other.OpenForEdit(folder.path()).ok());
    EXPECT_TRUE(other.AppendRecord("d.jpg\r\nd").ok());
    other.CloseForEdit();
    EXPECT_TRUE(editor.ReplaceRecord("b.jpg\r\nB").ok());
    editor.CloseForEdit();
    EXPECT_EQ(folder.comments(),
              std::string("c.jpg\r\nc") + T + "a.jpg\r\nA" + T + "d.jpg\r\nd" + T + "b.jpg\r\nB" + T);

    // The record was deleted meanwhile: a delete has nothing left to do and a
    // replace keeps the text as a new record.
    CommentFile replacer;
    beginEdit(editor, folder, "c.jpg");
    beginEdit(replacer, folder, "c.jpg");
    beginEdit(other, folder, "c.jpg");
    EXPECT_TRUE(other.DeleteRecord().ok());
    other.CloseForEdit();
    EXPECT_TRUE(editor.DeleteRecord().ok());
    editor.CloseForEdit();
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\nA") + T + "d.jpg\r\nd" + T + "b.jpg\r\nB" + T);
    EXPECT_TRUE(replacer.ReplaceRecord("c.jpg\r\nC").ok());
    replacer.CloseForEdit();
    EXPECT_EQ(folder.comments(),
              std::string("a.jpg\r\nA") + T + "d.jpg\r\nd" + T + "b.jpg\r\nB" + T + "c.jpg\r\nC" + T);
}

// A commit waits for the lock another editor holds on "coment.txt".
TEST(CommentEditor, WaitsForTheLockOfAnotherEditor)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    folder.setComments(std::string("a.jpg\r\na") + T);
    CommentFile editor;
    beginEdit(editor, folder, "a.jpg");

    const int held = ::open(folder.filePath(kCommentFileName).c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::atomic<bool> done = false;
    std::thread commit([&] {
        EXPECT_TRUE(editor.ReplaceRecord("a.jpg\r\nA").ok());
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(done);
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\na") + T);
    ::close(held);
    commit.join();
    EXPECT_EQ(folder.comments(), std::string("a.jpg\r\nA") + T);
}

// The viewer creates the file where it can and reads a read-only medium; the
// editor tells why it cannot open there. Neither asks for the process to end.
TEST(CommentViewer, OpensWhateverTheMediumAllows)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    CommentFile viewer;
    EXPECT_TRUE(viewer.OpenForView(folder.path()).ok());
    EXPECT_TRUE(folder.has(kCommentFileName));
    EXPECT_FALSE(viewer.FindCommentForView("a.jpg").found);
    folder.setComments(std::string("a.jpg\r\nhello\r\n") + T);
    EXPECT_EQ(viewer.FindCommentForView("a.jpg").comment, "\nhello\n");
    viewer.CloseForView();

    // "coment.txt" that is a folder: a message, but no end.
    QTemporaryDir odd;
    const CommentFolder oddFolder(odd.path());
    ASSERT_EQ(::mkdir(oddFolder.filePath(kCommentFileName).c_str(), 0755), 0);
    const CommentOutcome viewed = viewer.OpenForView(oddFolder.path());
    EXPECT_EQ(viewed.messages, messages({message(CommentMessageId::FileOpenError)}));
    EXPECT_FALSE(viewer.FindCommentForView("a.jpg").found);
    CommentFile editor;
    const CommentOutcome edited = editor.OpenForEdit(oddFolder.path());
    EXPECT_EQ(edited.messages, messages({message(CommentMessageId::FileOpenError)}));
    EXPECT_FALSE(edited.done);

    const auto mount = ScratchMount::tryMount(1 << 20);
    if (!mount)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const CommentFolder card(mount->path());
    card.setComments(std::string("b.jpg\r\nfrom the card") + T);
    ASSERT_TRUE(mount->setReadOnly(true));
    EXPECT_TRUE(viewer.OpenForView(card.path()).ok());
    EXPECT_EQ(viewer.FindCommentForView("b.jpg").comment, "\nfrom the card");
    viewer.CloseForView();
    const CommentOutcome onCard = editor.OpenForEdit(card.path());
    EXPECT_EQ(onCard.messages, messages({message(CommentMessageId::FileOpenError, {}, kUnwritableFolder)}));
    EXPECT_FALSE(onCard.done);

    ASSERT_TRUE(mount->setReadOnly(false));
    ASSERT_EQ(::unlink(card.filePath(kCommentFileName).c_str()), 0);
    ASSERT_TRUE(mount->setReadOnly(true));
    EXPECT_TRUE(viewer.OpenForView(card.path()).ok());
    EXPECT_FALSE(viewer.FindCommentForView("b.jpg").found);
    viewer.CloseForView();
    EXPECT_FALSE(card.has(kCommentFileName));
}

// A full disk: each failure shows its message once and "coment.txt" keeps
// every byte; nothing is left half-written.
TEST(CommentFaults, FullDiskLeavesTheFileAsItWas)
{
    const auto mount = ScratchMount::tryMount(256 * 1024);
    if (!mount)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const CommentFolder folder(mount->path());
    const std::string original = std::string("a.jpg\r\na") + T + "b.jpg\r\n" + std::string(3000, 'b') + T;
    folder.setComments(original);
    mount->fillUp();
    const std::string big(20000, 'x');

    CommentFile file;
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_FALSE(file.FindRecordForEdit("n.jpg").found);
    EXPECT_EQ(file.AppendRecord("n.jpg\r\n" + big).messages,
              messages({message(CommentMessageId::WriteError, "n.jpg")}));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original);

    // Bytes before the record cannot be copied ("EROR1"), at activation and again at "編集".
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    const RecordMatch b = file.FindRecordForEdit("b.jpg");
    EXPECT_EQ(file.BeginRewrite(b).messages, messages({message(CommentMessageId::Eror1)}));
    EXPECT_EQ(file.ReplaceRecord("b.jpg\r\nnew").messages, messages({message(CommentMessageId::Eror1)}));
    EXPECT_FALSE(folder.has(kScratchFileName));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original);

    // The first record: the bytes after it fail ("EROR2").
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_EQ(file.BeginRewrite(file.FindRecordForEdit("a.jpg")).messages,
              messages({message(CommentMessageId::Eror2)}));
    EXPECT_EQ(file.DeleteRecord().messages, messages({message(CommentMessageId::Eror2)}));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original);

    // Room for the kept records but not for the edited one: two pages free.
    const std::string filler = QFile::encodeName(mount->filePath(QStringLiteral("filler"))).toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(filler.c_str(), &st), 0);
    ASSERT_EQ(::truncate(filler.c_str(), st.st_size - 8192), 0);
    ASSERT_TRUE(file.OpenForEdit(folder.path()).ok());
    EXPECT_TRUE(file.BeginRewrite(file.FindRecordForEdit("a.jpg")).ok());
    EXPECT_EQ(file.ReplaceRecord("a.jpg\r\n" + big).messages,
              messages({message(CommentMessageId::EditWriteError, "a.jpg")}));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original);
}

// The medium turns read-only while the editor is open.
TEST(CommentFaults, ReadOnlyMediumLeavesTheFileAsItWas)
{
    const auto mount = ScratchMount::tryMount(1 << 20);
    if (!mount)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const CommentFolder folder(mount->path());
    const std::string original = std::string("a.jpg\r\na") + T;
    folder.setComments(original);
    CommentFile file;
    beginEdit(file, folder, "a.jpg");
    ASSERT_TRUE(mount->setReadOnly(true));
    const CommentOutcome replaced = file.ReplaceRecord("a.jpg\r\nA");
    EXPECT_EQ(replaced.messages, messages({message(CommentMessageId::ComentFileOpenError)}));
    EXPECT_FALSE(replaced.done);
    const CommentOutcome deleted = file.DeleteRecord();
    EXPECT_EQ(deleted.messages, messages({message(CommentMessageId::DeleteError)}));
    EXPECT_FALSE(deleted.done);
    EXPECT_EQ(file.AppendRecord("n.jpg").messages, messages({message(CommentMessageId::WriteError, "a.jpg")}));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original);
}

// "coment.txt" that cannot be replaced (a mount point): "編集" keeps the typed
// text by appending it to the old file, "削除" changes nothing.
TEST(CommentFaults, FileThatCannotBeReplaced)
{
    QTemporaryDir dir;
    const CommentFolder folder(dir.path());
    const std::string original = std::string("a.jpg\r\na") + T + "b.jpg\r\nb" + T;
    folder.setComments(original);
    const PinnedCommentFile pinned(folder);
    if (!pinned.mounted())
        GTEST_SKIP() << "no bind mount here";

    CommentFile file;
    beginEdit(file, folder, "a.jpg");
    EXPECT_EQ(file.DeleteRecord().messages, messages({message(CommentMessageId::DeleteError)}));
    EXPECT_EQ(folder.comments(), original);
    EXPECT_EQ(file.ReplaceRecord("a.jpg\r\nA").messages, messages({message(CommentMessageId::EditError)}));
    file.CloseForEdit();
    EXPECT_EQ(folder.comments(), original + "a.jpg\r\nA" + T);
    EXPECT_FALSE(folder.has(kScratchFileName));
}
