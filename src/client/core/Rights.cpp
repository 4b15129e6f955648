#include "Rights.h"

namespace {

struct TRightInfo {
    TRight Right;
    int Bit;
    char Letter;
};
// In letter order.
constexpr TRightInfo Table[] = {{TRight::Supervisor, 0x100, 'S'}, {TRight::Read, 0x001, 'R'},
                                {TRight::Write, 0x002, 'W'},      {TRight::Erase, 0x010, 'E'},
                                {TRight::Create, 0x008, 'C'},     {TRight::Modify, 0x080, 'M'},
                                {TRight::FileScan, 0x040, 'F'},   {TRight::AccessControl, 0x020, 'A'}};

const TRightInfo& Info(TRight Right) {
    for (const TRightInfo& I : Table)
        if (I.Right == Right)
            return I;
    return Table[0];
}

} // namespace

int RightBit(TRight Right) {
    return Info(Right).Bit;
}

QChar RightLetter(TRight Right) {
    return QLatin1Char(Info(Right).Letter);
}

QString RightsToLetters(int Mask) {
    QString Letters;
    for (const TRightInfo& I : Table)
        if (Mask & I.Bit)
            Letters += QLatin1Char(I.Letter);
    return Letters;
}

QString RightsText(int Mask) {
    QString Text;
    for (const TRightInfo& I : Table)
        Text += QLatin1Char((Mask & I.Bit) ? I.Letter : '-');
    return Text;
}

int LettersToRights(const QString& Letters) {
    const QString Upper = Letters.toUpper();
    int Mask = 0;
    for (const TRightInfo& I : Table)
        if (Upper.contains(QLatin1Char(I.Letter)))
            Mask |= I.Bit;
    return Mask;
}
