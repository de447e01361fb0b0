#include "app/SharedState.h"

namespace zavio {

QString SelectedPicture;
QString SelectedCommentKey;

} // namespace zavio
