#include "SpinEdit.h"

#include <QLineEdit>

namespace {
// Up to six digits, so that sums of typed numbers stay far from the integer's limits.
constexpr int MaxZiffern = 6;
} // namespace

TSpinEdit::TSpinEdit(int Minimum, int Maximum, int Value, QWidget* Parent) : QSpinBox(Parent) {
    setRange(Minimum, Maximum);
    setValue(Value);
    FGemeldet = text();
    // Typing changes the edit's text; a value the program sets changes the text without its signal.
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::Melden);
    connect(this, &QSpinBox::valueChanged, this, &TSpinEdit::Melden);
}

void TSpinEdit::Melden() {
    if (text() == FGemeldet)
        return;
    FGemeldet = text();
    Q_EMIT Geaendert();
}

int TSpinEdit::Wert() const {
    bool Ok = false;
    const int N = cleanText().toInt(&Ok);
    return Ok ? N : minimum();
}

void TSpinEdit::Uebernehmen() {
    // Sets the text anew also when the value stays.
    setValue(Wert());
    Melden();
}

QValidator::State TSpinEdit::validate(QString& Input, int& Pos) const {
    const QStringView Ziffern = QStringView(Input).mid(Input.startsWith(u'-') ? 1 : 0);
    if (Ziffern.size() > MaxZiffern)
        return QValidator::Invalid;
    for (QChar C : Ziffern)
        if (C < u'0' || C > u'9')
            return QValidator::Invalid;
    return Ziffern.isEmpty() ? QValidator::Intermediate : QValidator::Acceptable;
}

void TSpinEdit::focusOutEvent(QFocusEvent* Event) {
    Uebernehmen();
    QSpinBox::focusOutEvent(Event);
}
