#include "app/Windows.h"

namespace zavio {

std::unique_ptr<Windows> createWindows()
{
    auto windows = std::make_unique<Windows>();
    windows->Form1 = std::make_unique<TForm1>();
    return windows;
}

} // namespace zavio
