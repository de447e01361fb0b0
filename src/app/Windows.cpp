#include "app/Windows.h"

namespace zavio {

std::unique_ptr<Windows> createWindows()
{
    auto windows = std::make_unique<Windows>();
    windows->Form1 = std::make_unique<TForm1>();
    windows->Form2 = std::make_unique<TForm2>();
    windows->Form1->setZoomWindow(windows->Form2.get());
    return windows;
}

} // namespace zavio
