#pragma once

#include "common/Memo.h"

namespace zavio {

// The comment editor's text area: it takes at most limit bytes as stored in
// "coment.txt" (code page 932, a line break two bytes), and refuses a
// character code page 932 lacks, for typing, pasting, dropping and input-method
// commits alike. What does not fit is not inserted, with a beep.
class CommentMemo : public Memo {
    Q_OBJECT

public:
    explicit CommentMemo(int limit, QWidget* parent = nullptr);
    int limit() const { return limit_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // The part of inserted that fits in place of the current selection (or of
    // the replaced range of an input-method commit).
    QString fitting(const QString& inserted, int replaceFrom, int replaceLength) const;

    int limit_;
};

} // namespace zavio
