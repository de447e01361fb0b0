#pragma once

#include "common/Memo.h"

namespace zavio {

// The comment editor's text area: it takes at most limit bytes as stored in
// "coment.txt" (code page 932, a line break two bytes), and refuses a
// character code page 932 lacks (an emoji, say) and a control character the
// file cannot hold, for typing, pasting, dropping and input-method commits
// alike. What does not fit or cannot be stored is not inserted, with a beep;
// a paste or commit keeps what comes before it.
class CommentMemo : public Memo {
    Q_OBJECT

public:
    explicit CommentMemo(int limit, QWidget* parent = nullptr);
    int limit() const { return limit_; }

signals:
    // Some typed, pasted, dropped or committed text was left out; the user
    // has heard a beep.
    void inputRefused();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // The part of inserted that fits in place of the current selection (or of
    // the replaced range of an input-method commit).
    QString fitting(const QString& inserted, int replaceFrom, int replaceLength) const;
    // The text a key would insert, as the text control decides it: nothing for
    // shortcuts and keys such as Backspace or Escape.
    static QString typedText(const QKeyEvent* event);
    void refuse();

    int limit_;
};

} // namespace zavio
