#pragma once

#include "comments/CommentFile.h"

#include <QString>

class QWidget;

namespace zavio {

// The text of a comment file message as the user reads it: its fixed part,
// then the key decoded from code page 932.
QString commentMessageOf(const CommentMessage& message);

// Shows each message of outcome in a plain message box, in order. A fatal
// outcome then ends the program with status 1; returns false for it.
bool tellCommentOutcome(QWidget* parent, const CommentOutcome& outcome);

} // namespace zavio
