#pragma once

#include <QSpinBox>

// A spin edit whose number counts as it is typed: Wert() reads the text unchanged, also beyond the
// limits, and a text that is no number reads as the lower limit. Leaving the edit brings the number
// back into the limits, and so does every value the program sets.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    TSpinEdit(int Minimum, int Maximum, int Value, QWidget* Parent = nullptr);

    int Wert() const;
    // Brings the typed number into the limits, as leaving the edit does.
    void Uebernehmen();

Q_SIGNALS:
    // The text changed: typed, or set by the program.
    void Geaendert();

protected:
    QValidator::State validate(QString& Input, int& Pos) const override;
    void focusOutEvent(QFocusEvent* Event) override;

private:
    // Signals Geaendert once for each text the edit shows.
    void Melden();
    QString FGemeldet;
};
