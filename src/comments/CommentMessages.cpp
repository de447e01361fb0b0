#include "comments/CommentMessages.h"

#include "common/ErrorReport.h"
#include "common/ShiftJis.h"

namespace zavio {

QString commentMessageOf(const CommentMessage& message)
{
    const std::string_view text = message.text();
    QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()))
        + fromShiftJis(QByteArrayView(message.key.data(), qsizetype(message.key.size())));
    if (!message.detail.empty())
        shown += u'\n' + QString::fromStdString(message.detail);
    return shown;
}

void showCommentMessages(QWidget* parent, const CommentOutcome& outcome)
{
    for (const CommentMessage& message : outcome.messages)
        showMessage(parent, commentMessageOf(message));
}

bool tellCommentOutcome(QWidget* parent, const CommentOutcome& outcome)
{
    showCommentMessages(parent, outcome);
    return outcome.done;
}

} // namespace zavio
