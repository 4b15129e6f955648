#include "MaskFormat.h"

#include <algorithm>

namespace {
// Longer than any directory name can be.
constexpr int MaxWidth = 64;

class TDirectiveParser {
public:
    TDirectiveParser(const QString& Pattern, qsizetype& Pos) : FPattern(Pattern), FPos(Pos) {}

    bool At(char16_t C) const { return FPos < FPattern.size() && FPattern.at(FPos) == C; }
    // Decimal digits; the value stops growing past MaxWidth so that no text can overflow it.
    std::optional<int> Number() {
        const qsizetype Start = FPos;
        int Value = 0;
        while (FPos < FPattern.size() && FPattern.at(FPos) >= u'0' && FPattern.at(FPos) <= u'9') {
            Value = std::min(Value * 10 + (FPattern.at(FPos).unicode() - u'0'), MaxWidth + 1);
            ++FPos;
        }
        return FPos > Start ? std::optional<int>(Value) : std::nullopt;
    }

private:
    const QString& FPattern;
    qsizetype& FPos;
};

QString Digits(int Number, char16_t Type) {
    switch (Type) {
    case u'd':
        return QString::number(qAbs(qint64(Number)));
    case u'u':
        return QString::number(quint32(Number));
    default:
        return QString::number(quint32(Number), 16).toUpper();
    }
}
} // namespace

std::optional<QString> MaskPattern(const QString& Mask) {
    const qsizetype P = Mask.indexOf(QStringLiteral("%%"));
    if (P < 0)
        return std::nullopt;
    return QString(Mask).replace(P, 2, QStringLiteral("%2.2d"));
}

QString FormatMask(const QString& Pattern, int Number) {
    const auto Refuse = [&Pattern]() {
        return EFormatError(QStringLiteral("Ungültiges Format in der Maske: ") + Pattern);
    };
    QString Result;
    Result.reserve(Pattern.size() + 8);
    int NextArgument = 0;
    qsizetype Pos = 0;
    TDirectiveParser Parser(Pattern, Pos);
    while (Pos < Pattern.size()) {
        const QChar C = Pattern.at(Pos++);
        if (C != u'%') {
            Result += C;
            continue;
        }
        if (Parser.At(u'%')) {
            Result += u'%';
            ++Pos;
            continue;
        }
        int Index = NextArgument;
        std::optional<int> Width = Parser.Number();
        if (Width && Parser.At(u':')) {
            Index = *Width;
            Width.reset();
            ++Pos;
        }
        const bool Left = !Width && Parser.At(u'-');
        if (Left)
            ++Pos;
        if (!Width)
            Width = Parser.Number();
        std::optional<int> Precision;
        if (Parser.At(u'.')) {
            ++Pos;
            Precision = Parser.Number().value_or(0);
        }
        if (Pos >= Pattern.size())
            throw Refuse();
        const char16_t Type = Pattern.at(Pos++).toLower().unicode();
        if (Index != 0 || Width.value_or(0) > MaxWidth || Precision.value_or(0) > MaxWidth ||
            (Type != u'd' && Type != u'u' && Type != u'x'))
            throw Refuse();
        NextArgument = Index + 1;

        QString Field = Digits(Number, Type);
        if (Precision && Field.size() < *Precision)
            Field.prepend(QString(*Precision - Field.size(), u'0'));
        if (Type == u'd' && Number < 0)
            Field.prepend(u'-');
        if (Width && Field.size() < *Width) {
            const QString Fill(*Width - Field.size(), u' ');
            Field = Left ? Field + Fill : Fill + Field;
        }
        Result += Field;
    }
    return Result;
}
