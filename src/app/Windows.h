#pragma once

#include "browser/TForm1.h"

#include <memory>

namespace zavio {

// The program's windows, made once at start-up in their fixed order, the main
// window first, and destroyed together when the program ends. The secondary
// windows are shown and hidden, never made again.
struct Windows {
    std::unique_ptr<TForm1> Form1;
};

// Makes every window in creation order.
std::unique_ptr<Windows> createWindows();

} // namespace zavio
