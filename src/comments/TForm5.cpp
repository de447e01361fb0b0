#include "comments/TForm5.h"

#include <QGuiApplication>
#include <QPalette>

namespace zavio {

TForm5::TForm5(QWidget* parent)
    : HelpWindow(
        {
            .objectName = QStringLiteral("Form5"),
            .caption = QStringLiteral("Form5"),
            .position = {686, 221},
            .clientSize = {202, 316},
            .background = QColor(255, 251, 240),
            .textColour = QGuiApplication::palette().color(QPalette::WindowText),
            .verticalBar = false,
            .textResource = QStringLiteral(":/zavio/help/TForm5.txt"),
        },
        parent)
{}

} // namespace zavio
