#include "comments/CommentMessages.h"

#include "common/ErrorReport.h"
#include "common/ShiftJis.h"

namespace zavio {

QString commentMessageOf(const CommentMessage& message)
{
    const std::string_view text = message.text();
    return QString::fromUtf8(text.data(), qsizetype(text.size()))
        + fromShiftJis(QByteArrayView(message.key.data(), qsizetype(message.key.size())));
}

bool tellCommentOutcome(QWidget* parent, const CommentOutcome& outcome)
{
    for (const CommentMessage& message : outcome.messages)
        showMessage(parent, commentMessageOf(message));
    if (outcome.fatal) {
        endProgram(1);
        return false;
    }
    return true;
}

} // namespace zavio
