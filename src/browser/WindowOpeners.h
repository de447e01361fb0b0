#pragma once

#include <functional>

namespace zavio {

// The windows that clicks on the main window open, handed to it in one place
// at start-up. Each opener shows its window modally (or, for the result
// window, beside the rotation window) and returns when it has closed. An empty
// opener, also one left out of an initializer, opens nothing.
struct WindowOpeners {
    std::function<void()> zoom{}; // a thumbnail; the file list with both modes off
    std::function<void()> help{}; // "操作説明"
    std::function<void()> commentViewer{}; // a label with comment mode off
    std::function<void()> commentEditor{}; // a label or the file list in comment mode
    std::function<void()> rotation{}; // the file list in rotation mode
};

} // namespace zavio
