#include "common/HelpWindow.h"

#include "common/JapaneseFont.h"
#include "common/Memo.h"

#include <QFile>
#include <QFont>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zavio {
namespace {

// A title bar with the close button alone; the size is fixed below.
constexpr Qt::WindowFlags kHelpFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

// The text of a help resource without its final line break, so that its last
// line is the box's last line. The texts are built in; a missing one leaves
// the box empty.
QString helpText(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QString text = QString::fromUtf8(file.readAll());
    while (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

// The style paints a scroll bar from the button face: on the light system
// palette a near-white handle on a pale groove, which beside the pale text
// cannot be told from it, so the reader would not see that the text goes on.
// A mid-grey face and a dark outline make the bar and its handle stand out.
void makeBarStandOut(QScrollBar* bar)
{
    QPalette colours = bar->palette();
    colours.setColor(QPalette::Button, QColor(180, 180, 180));
    colours.setColor(QPalette::Window, QColor(110, 110, 110));
    bar->setPalette(colours);
}

} // namespace

HelpWindow::HelpWindow(const Layout& layout, QWidget* parent) : QDialog(parent, kHelpFrame)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    setFixedSize(layout.clientSize);
    // An explicit position also keeps QDialog from centring the window over
    // its parent when it is shown.
    move(layout.position);

    Memo1 = new Memo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(japaneseFont(12));
    QPalette colours = Memo1->palette();
    colours.setColor(QPalette::Base, layout.background);
    colours.setColor(QPalette::Text, layout.textColour);
    Memo1->setPalette(colours);
    // The lines are broken by hand to fit the box, so they are shown as written.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(layout.verticalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (layout.verticalBar)
        makeBarStandOut(Memo1->verticalScrollBar());
    Memo1->setReadOnly(true);
    Memo1->setPlainText(helpText(layout.textResource));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(Memo1);
}

void HelpWindow::FormActivate()
{
    Memo1->showReadOnly();
}

} // namespace zavio
