#include "app/Windows.h"

namespace zavio {

std::unique_ptr<Windows> createWindows()
{
    auto windows = std::make_unique<Windows>();
    windows->Form1 = std::make_unique<TForm1>();
    windows->Form2 = std::make_unique<TForm2>();
    windows->Form3 = std::make_unique<TForm3>();
    windows->Form5 = std::make_unique<TForm5>();
    windows->Form1->setZoomWindow(windows->Form2.get());
    windows->Form1->setHelpWindow(windows->Form3.get());
    return windows;
}

} // namespace zavio
