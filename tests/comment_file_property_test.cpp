// Random files and random sequences of "書き込み", "編集" and "削除" (some of
// them with another editor writing in between), checked after every step
// against a plain list of records.

#include "comments/CommentFile.h"
#include "common/ShiftJis.h"
#include "support/CommentFolder.h"
#include "support/ScratchMount.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace zavio;
using zavio::fixtures::CommentFolder;
using zavio::fixtures::ScratchMount;

namespace {

constexpr char T = kRecordTerminator;

bool hasKey(const std::string& record, const std::string& key)
{
    return record.compare(0, key.size(), key) == 0
        && (record.size() == key.size() || record[key.size()] == '\r' || record[key.size()] == '\n');
}

// The comment file as a list of records.
struct Model {
    std::vector<std::string> records;
    bool openEnd = false; // the last record lacks its terminator

    std::string bytes() const
    {
        std::string out;
        for (const std::string& record : records)
            out += record + T;
        if (openEnd)
            out.pop_back();
        return out;
    }
    int find(const std::string& key) const
    {
        for (std::size_t i = 0; i < records.size(); ++i)
            if (hasKey(records[i], key))
                return int(i);
        return -1;
    }
    void remove(const std::string& key)
    {
        const int i = find(key);
        if (i < 0)
            return;
        if (std::size_t(i) + 1 == records.size())
            openEnd = false;
        records.erase(records.begin() + i);
    }
    void append(const std::string& text)
    {
        records.push_back(text);
        openEnd = false;
    }
};

// What the viewer must show for key: the file up to its first 0x00, CR LF
// read as LF, cut into records; the first record of the key decides.
std::optional<std::string> viewed(const std::string& bytes, const std::string& key)
{
    const std::string visible = bytes.substr(0, bytes.find('\0'));
    std::string text;
    for (std::size_t i = 0; i < visible.size(); ++i)
        if (!(visible[i] == '\r' && i + 1 < visible.size() && visible[i + 1] == '\n'))
            text += visible[i];
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(T, start), text.size());
        const std::string record = text.substr(start, end - start);
        if (hasKey(record, key)) {
            if (record.size() == key.size())
                return std::nullopt;
            return record.substr(key.size());
        }
        start = end + 1;
    }
    return std::nullopt;
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed)
    {
        keys_ = {"a.jpg",
                 "a.jpg.jpg",
                 "A.JPG",
                 "b.jpeg",
                 "\x81\x80.bmp",
                 "x",
                 toShiftJis(QStringLiteral("あい.jpg")).toStdString(),
                 toShiftJis(QStringLiteral("かき.jpg")).toStdString()};
    }

    int below(int n) { return int(rng_() % unsigned(n)); }
    bool chance(int percent) { return below(100) < percent; }
    const std::string& key() { return keys_[std::size_t(below(int(keys_.size())))]; }

    // Comment text: any bytes but the terminator, with line breaks, keys and 0x00.
    std::string body()
    {
        std::string out;
        for (int n = below(12); n > 0; --n) {
            switch (below(6)) {
            case 0:
                out += "\r\n";
                break;
            case 1:
                out += key();
                break;
            case 2:
                out += below(2) ? '\r' : '\n';
                break;
            default: {
                char c = char(below(256));
                out += c == T ? '\0' : c;
            }
            }
        }
        return out;
    }

    // A record as the editor writes it, or one edited by other means.
    std::string record()
    {
        const std::string& k = key();
        switch (below(9)) {
        case 0:
            return k + "\n" + body();
        case 1:
            return k + "\r" + body();
        case 2:
            return k;
        case 3:
            return k + "\r\n";
        case 4:
            return k + "X" + body();
        case 5:
            return body();
        case 6:
            return "";
        default:
            return k + "\r\n" + body();
        }
    }

    Model file()
    {
        Model model;
        for (int n = below(10); n > 0; --n)
            model.records.push_back(record());
        model.openEnd = !model.records.empty() && !model.records.back().empty() && chance(30);
        return model;
    }

private:
    std::mt19937 rng_;
    std::vector<std::string> keys_;
};

// One showing of the editor for a random key, ending in whatever the user
// chooses; with depth left, another editor may write while it is open.
void editSession(const CommentFolder& folder, Model& model, Generator& gen, int depth)
{
    const std::string key = gen.key();
    SCOPED_TRACE("edit " + key);
    CommentFile editor;
    ASSERT_TRUE(editor.OpenForEdit(folder.path()).ok());
    const RecordMatch match = editor.FindRecordForEdit(key);
    const int index = model.find(key);
    ASSERT_EQ(match.found, index >= 0);
    if (!match.found) {
        if (gen.chance(70)) {
            const std::string text = key + "\r\n" + gen.body();
            EXPECT_TRUE(editor.AppendRecord(text).ok());
            model.append(text);
        }
        editor.CloseForEdit();
        return;
    }
    EXPECT_EQ(match.recordText, model.records[std::size_t(index)]);
    EXPECT_TRUE(editor.BeginRewrite(match).ok());
    if (depth > 0 && gen.chance(30))
        editSession(folder, model, gen, depth - 1);
    switch (gen.below(3)) {
    case 0: {
        const std::string text = TextToLines(gen.chance(80) ? match.recordText : gen.record());
        EXPECT_TRUE(editor.ReplaceRecord(text).ok());
        model.remove(key);
        model.append(text);
        break;
    }
    case 1:
        EXPECT_TRUE(editor.DeleteRecord().ok());
        model.remove(key);
        break;
    default:
        break;
    }
    editor.CloseForEdit();
}

void viewSession(const CommentFolder& folder, const Model& model, Generator& gen)
{
    const std::string key = gen.key();
    SCOPED_TRACE("view " + key);
    CommentFile viewer;
    ASSERT_TRUE(viewer.OpenForView(folder.path()).ok());
    const ViewComment view = viewer.FindCommentForView(key);
    const std::optional<std::string> expected = viewed(model.bytes(), key);
    EXPECT_EQ(view.found, expected.has_value());
    EXPECT_EQ(view.comment, expected.value_or(""));
    viewer.CloseForView();
}

} // namespace

TEST(CommentFileProperty, RandomEditsKeepEveryRecordTheyDoNotTouch)
{
    // A tmpfs makes the syncs cheap; without one, fewer rounds on the disk.
    const auto mount = ScratchMount::tryMount(64 << 20);
    QTemporaryDir dir;
    const CommentFolder folder(mount ? mount->path() : dir.path());
    const unsigned rounds = mount ? 300 : 30;
    for (unsigned seed = 1; seed <= rounds && !testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE(seed);
        Generator gen(seed);
        Model model = gen.file();
        folder.setComments(model.bytes());
        for (int step = 0; step < 12 && !testing::Test::HasFailure(); ++step) {
            SCOPED_TRACE(step);
            if (gen.chance(25))
                viewSession(folder, model, gen);
            else
                editSession(folder, model, gen, 1);
            ASSERT_EQ(folder.comments(), model.bytes());
            ASSERT_FALSE(folder.has(kScratchFileName));
        }
    }
}
