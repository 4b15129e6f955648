#pragma once

#include <QValidator>

// Keeps only the characters Erlaubt accepts in whatever reaches a line edit by the user (typed,
// pasted or dropped); every other character is dropped and the cursor stays behind the characters
// that stood before it.
class TZeichenFilter : public QValidator {
    Q_OBJECT
public:
    using TErlaubt = bool (*)(QChar);
    explicit TZeichenFilter(TErlaubt Erlaubt, QObject* Parent = nullptr);

    // Text without the characters Erlaubt refuses.
    static QString Gefiltert(const QString& Text, TErlaubt Erlaubt);

    State validate(QString& Input, int& Pos) const override;
    void fixup(QString& Input) const override;

private:
    TErlaubt FErlaubt;
};
