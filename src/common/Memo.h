#pragma once

#include <QPlainTextEdit>

namespace zavio {

// A multi-line text box. Read-only, it shows no caret and turns the input
// method away: Qt would otherwise insert what an input method commits even
// into a read-only box, so Japanese typed through one would change the text.
class Memo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit Memo(QWidget* parent = nullptr);

    // Makes the text read-only, selectable by the mouse only, without a caret.
    void showReadOnly();
    // Makes the text editable with a caret again.
    void allowEditing();

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
};

} // namespace zavio
