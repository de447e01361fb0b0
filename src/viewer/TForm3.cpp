#include "viewer/TForm3.h"

#include <QGuiApplication>
#include <QPalette>

namespace zavio {

TForm3::TForm3(QWidget* parent)
    : HelpWindow(
        {
            .objectName = QStringLiteral("Form3"),
            .caption = QStringLiteral("操作説明（ヘルプ）"),
            .position = {561, 173},
            .clientSize = {286, 455},
            .background = QGuiApplication::palette().color(QPalette::ToolTipBase),
            .textColour = QColor(0, 0, 128),
            .verticalBar = true,
            .textResource = QStringLiteral(":/zavio/help/TForm3.txt"),
        },
        parent)
{}

} // namespace zavio
