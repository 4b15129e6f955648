#include "ZeichenFilter.h"

TZeichenFilter::TZeichenFilter(TErlaubt Erlaubt, QObject* Parent) : QValidator(Parent), FErlaubt(Erlaubt) {}

QString TZeichenFilter::Gefiltert(const QString& Text, TErlaubt Erlaubt) {
    QString Out;
    Out.reserve(Text.size());
    for (QChar Ch : Text)
        if (Erlaubt(Ch))
            Out += Ch;
    return Out;
}

QValidator::State TZeichenFilter::validate(QString& Input, int& Pos) const {
    int Kept = 0;
    QString Out;
    Out.reserve(Input.size());
    for (int I = 0; I < Input.size(); ++I) {
        if (FErlaubt(Input.at(I))) {
            Out += Input.at(I);
            if (I < Pos)
                ++Kept;
        }
    }
    Input = Out;
    Pos = Kept;
    return Acceptable;
}

void TZeichenFilter::fixup(QString& Input) const {
    Input = Gefiltert(Input, FErlaubt);
}
