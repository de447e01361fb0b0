#include "app/Windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

namespace zavio {

std::unique_ptr<Windows> createWindows()
{
    auto windows = std::make_unique<Windows>();
    Selection& selection = windows->selection;
    windows->Form1 = std::make_unique<TForm1>(selection);
    // Each secondary window belongs to the window that opens it, so that the
    // window system keeps it above that window while it is modal over it.
    TForm1* main = windows->Form1.get();
    windows->Form2 = std::make_unique<TForm2>(selection, main);
    windows->Form3 = std::make_unique<TForm3>(main);
    windows->Form4 = std::make_unique<TForm4>(selection, main);
    windows->Form5 = std::make_unique<TForm5>(windows->Form4.get());
    windows->Form6 = std::make_unique<TForm6>(selection, main);
    windows->Form7 = std::make_unique<TForm7>(selection, main);
    windows->dispForm = windows->Form7->dispForm();

    Windows& w = *windows;
    windows->Form1->setOpeners({
        .zoom = [&w] { w.Form2->ShowModal(); },
        .help = [&w] { w.Form3->exec(); },
        .commentViewer = [&w] { w.Form6->ShowModal(); },
        .commentEditor = [&w] { w.Form4->ShowModal(); },
        .rotation = [&w] { w.Form7->ShowModal(); },
    });
    // Closing the comment editor switches both modes off; its "説明" opens
    // the comment help.
    windows->Form4->setOnClose([&w] { w.Form1->clearModes(); });
    windows->Form4->setOpenHelp([&w] { w.Form5->exec(); });
    // Closing the viewer gives the keyboard focus to "操作説明".
    windows->Form6->setFocusOnClose([&w] { w.Form1->focusHelpButton(); });
    // Closing the rotation window switches rotation mode off; it opens in
    // the middle of the main window, its parent.
    windows->Form7->setOnClose([&w] { w.Form1->clearRotationMode(); });
    // Closing the main window ends the program, also while a window that is
    // not modal (the result window) is still open.
    QObject::connect(windows->Form1.get(), &TForm1::closed, qApp, &QCoreApplication::quit);
    return windows;
}

} // namespace zavio
