#pragma once

#include "browser/TForm1.h"
#include "comments/TForm4.h"
#include "comments/TForm5.h"
#include "comments/TForm6.h"
#include "common/Selection.h"
#include "rotation/TForm7.h"
#include "rotation/TdispForm.h"
#include "viewer/TForm2.h"
#include "viewer/TForm3.h"

#include <memory>

namespace zavio {

// The program's windows, made once at start-up in their fixed order, the main
// window first, and destroyed together when the program ends. The secondary
// windows are shown and hidden, never made again. The selection is made
// before them and outlives them all.
//
// Each secondary window is a Qt child of the window that opens it, and the
// members are destroyed in reverse order, so every child window goes before
// its parent (which would otherwise delete it a second time): the comment help
// before the editor, every window before the main window.
struct Windows {
    Selection selection;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm6> Form6;
    std::unique_ptr<TForm7> Form7;
    // The result window is the rotation window's child window, so that it
    // stays usable beside it; the rotation window owns it.
    TdispForm* dispForm = nullptr;
};

// Makes every window in creation order and hands the main window the openers
// of the windows its clicks open.
std::unique_ptr<Windows> createWindows();

} // namespace zavio
