#pragma once

#include "comments/CommentFile.h"

#include <QString>

class QWidget;

namespace zavio {

// The text of a comment file message as the user reads it: its fixed part,
// then the key decoded from code page 932, then its reason on a line of its own.
QString commentMessageOf(const CommentMessage& message);

// Shows each message of outcome in a plain message box, in order.
void showCommentMessages(QWidget* parent, const CommentOutcome& outcome);
// Shows outcome's messages and returns whether the operation took effect.
[[nodiscard]] bool tellCommentOutcome(QWidget* parent, const CommentOutcome& outcome);

} // namespace zavio
