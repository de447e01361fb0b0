#pragma once

// Xlib's display and window types, declared as Xlib does, so that scenarios
// need not include Xlib: its macros (Bool, Status, None) break the Qt headers
// included after it.
typedef struct _XDisplay Display;
typedef unsigned long Window;

namespace zavio::e2e {

// The pointer buttons as XTEST numbers them.
constexpr unsigned int kLeftButton = 1;
constexpr unsigned int kRightButton = 3;

} // namespace zavio::e2e
