#include "Dn.h"

#include "EDirectoryError.h"
#include "Names.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <QStringList>
#include <QVarLengthArray>

namespace Dn {

QString EscapeValue(const QString& Value) {
    QString Result;
    Result.reserve(Value.size() + 4);
    for (qsizetype I = 0; I < Value.size(); ++I) {
        const QChar C = Value[I];
        switch (C.unicode()) {
        case '"':
        case '+':
        case ',':
        case ';':
        case '<':
        case '>':
        case '\\':
        case '#':
            Result += QLatin1Char('\\');
            Result += C;
            break;
        case ' ':
            if (I == 0 || I == Value.size() - 1)
                Result += QLatin1Char('\\');
            Result += C;
            break;
        case 0:
            Result += QLatin1String("\\00");
            break;
        default:
            Result += C;
        }
    }
    return Result;
}

QString UnescapeValue(const QString& Text) {
    auto HexValue = [](char C) -> int {
        if (C >= '0' && C <= '9')
            return C - '0';
        if (C >= 'a' && C <= 'f')
            return C - 'a' + 10;
        if (C >= 'A' && C <= 'F')
            return C - 'A' + 10;
        return -1;
    };
    const QByteArray In = Text.toUtf8();
    QByteArray Bytes;
    for (qsizetype I = 0; I < In.size(); ++I) {
        const char C = In[I];
        if (C == '\\') {
            if (I + 1 >= In.size())
                throw EDirectoryError(QStringLiteral("\"\\\" am Ende von \"%1\"").arg(Text));
            const char N = In[I + 1];
            if (QByteArrayView(" \"#+,;<=>\\").contains(N)) {
                Bytes += N;
                ++I;
            } else if (I + 2 < In.size() && HexValue(N) >= 0 && HexValue(In[I + 2]) >= 0) {
                Bytes += char(HexValue(N) * 16 + HexValue(In[I + 2]));
                I += 2;
            } else {
                throw EDirectoryError(QStringLiteral("ungültige Maskierung in \"%1\"").arg(Text));
            }
        } else if (QByteArrayView("\"+;<>").contains(C)) {
            throw EDirectoryError(QStringLiteral("\"%1\" muss in \"%2\" mit \"\\\" maskiert werden")
                                      .arg(QString(QLatin1Char(C)), Text));
        } else {
            Bytes += C;
        }
    }
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Result = Decoder.decode(Bytes);
    if (Decoder.hasError())
        throw EDirectoryError(QStringLiteral("ungültiges UTF-8 in \"%1\"").arg(Text));
    return Result;
}

bool IsAttributeType(const QString& Name) {
    if (Name.isEmpty())
        return false;
    auto Ascii = [](QChar C) { return C.unicode() < 128; };
    if (Name[0].isDigit()) {
        bool AfterDot = true;
        for (QChar C : Name) {
            if (C == QLatin1Char('.')) {
                if (AfterDot)
                    return false;
                AfterDot = true;
            } else if (C.isDigit() && Ascii(C)) {
                AfterDot = false;
            } else {
                return false;
            }
        }
        return !AfterDot;
    }
    if (!Name[0].isLetter() || !Ascii(Name[0]))
        return false;
    for (QChar C : Name)
        if (!Ascii(C) || !(C.isLetterOrNumber() || C == QLatin1Char('-')))
            return false;
    return true;
}

std::vector<TRdn> Parse(const QString& Dn) {
    // The RDNs split at each "," outside an escape.
    std::vector<QString> Parts;
    QString Current;
    for (qsizetype I = 0; I < Dn.size(); ++I) {
        const QChar C = Dn[I];
        if (C == QLatin1Char('\\') && I + 1 < Dn.size()) {
            Current += C;
            Current += Dn[++I];
        } else if (C == QLatin1Char(',')) {
            Parts.push_back(Current);
            Current.clear();
        } else {
            Current += C;
        }
    }
    Parts.push_back(Current);

    std::vector<TRdn> Result;
    for (auto It = Parts.rbegin(); It != Parts.rend(); ++It) {
        const QString& Part = *It;
        const qsizetype Equals = Part.indexOf(QLatin1Char('='));
        if (Equals < 0)
            throw EDirectoryError(QStringLiteral("ungültiger DN \"%1\": \"=\" fehlt").arg(Dn));
        TRdn R;
        R.Type = Part.left(Equals).trimmed().toLower();
        if (!IsAttributeType(R.Type))
            throw EDirectoryError(QStringLiteral("ungültiger DN \"%1\": falscher Attributtyp").arg(Dn));
        QString Raw = Part.mid(Equals + 1);
        // Unescaped blanks around the value are not part of it.
        qsizetype Start = 0;
        while (Start < Raw.size() && Raw[Start] == QLatin1Char(' '))
            ++Start;
        qsizetype End = Raw.size();
        while (End > Start && Raw[End - 1] == QLatin1Char(' ')) {
            int Backslashes = 0;
            for (qsizetype K = End - 2; K >= Start && Raw[K] == QLatin1Char('\\'); --K)
                ++Backslashes;
            if (Backslashes % 2 == 1)
                break;
            --End;
        }
        Raw = Raw.mid(Start, End - Start);
        if (Raw.startsWith(QLatin1Char('#')))
            throw EDirectoryError(
                QStringLiteral("ungültiger DN \"%1\": Werte in Hexadezimalform werden nicht unterstützt")
                    .arg(Dn));
        R.Value = UnescapeValue(Raw);
        if (R.Value.isEmpty())
            throw EDirectoryError(QStringLiteral("ungültiger DN \"%1\": leerer Name").arg(Dn));
        if (R.Value.contains(QLatin1Char('\\')))
            throw EDirectoryError(
                QStringLiteral("ungültiger DN \"%1\": ein Name darf kein \"\\\" enthalten").arg(Dn));
        Result.push_back(std::move(R));
    }
    return Result;
}

QString Format(const std::vector<TRdn>& TopFirst) {
    QString Text;
    for (auto It = TopFirst.rbegin(); It != TopFirst.rend(); ++It) {
        if (!Text.isEmpty())
            Text += QLatin1Char(',');
        Text += It->Type + QLatin1Char('=') + EscapeValue(It->Value);
    }
    return Text;
}

qsizetype EndOfDn(const QString& Text) {
    for (qsizetype I = 0; I < Text.size(); ++I) {
        if (Text[I] == QLatin1Char('\\'))
            ++I;
        else if (Text[I] == QLatin1Char('#'))
            return I;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// One tree's DNs

TTreeDns::TTreeDns(const QString& TreeName, const QString& Base)
    : FBase(Base), FRoot(TreeFullName(TreeName)) {
    if (!Base.isEmpty())
        FBaseRdns = Parse(Base);
}

bool TTreeDns::LevelsOf(const QString& Dn, std::vector<TRdn>& Out) const {
    std::vector<TRdn> All;
    try {
        All = Parse(Dn);
    } catch (const EDirectoryError&) {
        return false;
    }
    if (All.size() < FBaseRdns.size())
        return false;
    for (size_t I = 0; I < FBaseRdns.size(); ++I)
        if (All[I].Type != FBaseRdns[I].Type ||
            All[I].Value.compare(FBaseRdns[I].Value, Qt::CaseInsensitive) != 0)
            return false;
    Out.assign(All.begin() + qsizetype(FBaseRdns.size()), All.end());
    return true;
}

namespace {

// The RDNs of a plain DN, leaf first, as "type" and "value" views: one whose values need no escapes
// and whose RDNs are single "type=value" pairs without blanks around them, as servers send the DNs
// of their entries. False for any other DN, which the full parser reads.
struct TPlainRdn {
    QStringView Type;
    QStringView Value;
};
bool PlainRdns(QStringView Text, QVarLengthArray<TPlainRdn, 16>& Out) {
    for (QChar C : Text)
        if (C == u'\\' || C == u'"' || C == u'+' || C == u';' || C == u'<' || C == u'>' || C == u'#' ||
            C.unicode() < 0x20)
            return false;
    for (QStringView Rdn : Text.tokenize(u',')) {
        const qsizetype Eq = Rdn.indexOf(u'=');
        if (Eq <= 0 || Eq + 1 == Rdn.size() || Rdn.front() == u' ' || Rdn.back() == u' ' ||
            Rdn[Eq - 1] == u' ' || Rdn[Eq + 1] == u' ')
            return false;
        Out.append({Rdn.left(Eq), Rdn.mid(Eq + 1)});
    }
    return !Out.isEmpty();
}

} // namespace

bool LeafValue(const QString& Text, QString& Out) {
    QVarLengthArray<TPlainRdn, 16> Plain;
    if (PlainRdns(Text, Plain)) {
        Out = Plain.front().Value.toString();
        return true;
    }
    try {
        const std::vector<TRdn> All = Parse(Text);
        Out = All.back().Value;
        return true;
    } catch (const EDirectoryError&) {
        return false;
    }
}

bool TTreeDns::FullNameOfDn(const QString& Text, QString& Out, QString* Leaf) const {
    QVarLengthArray<TPlainRdn, 16> Plain;
    if (PlainRdns(Text, Plain)) {
        const qsizetype Base = qsizetype(FBaseRdns.size());
        const qsizetype Below = Plain.size() - Base;
        if (Below < 0)
            return false;
        // The last RDNs (top first in FBaseRdns) must be the base's.
        for (qsizetype I = 0; I < Base; ++I) {
            const TPlainRdn& R = Plain[Plain.size() - 1 - I];
            if (R.Type.compare(FBaseRdns[size_t(I)].Type, Qt::CaseInsensitive) != 0 ||
                R.Value.compare(FBaseRdns[size_t(I)].Value, Qt::CaseInsensitive) != 0)
                return false;
        }
        Out = FRoot;
        for (qsizetype I = Below - 1; I >= 0; --I) {
            Out += QLatin1Char('\\');
            Out += Plain[I].Value;
        }
        if (Leaf)
            *Leaf = Below > 0 ? Plain.front().Value.toString() : QString();
        return true;
    }
    std::vector<TRdn> Levels;
    if (!LevelsOf(Text, Levels))
        return false;
    Out = FullNameOf(Levels);
    if (Leaf)
        *Leaf = Levels.empty() ? QString() : Levels.back().Value;
    return true;
}

QString TTreeDns::FullNameOf(const std::vector<TRdn>& Levels, size_t Count) const {
    QString Name = FRoot;
    for (size_t I = 0; I < Count && I < Levels.size(); ++I)
        Name += QLatin1Char('\\') + Levels[I].Value;
    return Name;
}

QString TTreeDns::DnOf(const std::vector<TRdn>& TopFirst) const {
    if (TopFirst.empty())
        return FBase;
    const QString Below = Format(TopFirst);
    return FBase.isEmpty() ? Below : Below + QLatin1Char(',') + FBase;
}

std::vector<TRdn> TTreeDns::ContainerLevels(const QString& FullName, bool Leaf) const {
    if (!FullName.startsWith(FRoot + QLatin1Char('\\'), Qt::CaseInsensitive))
        return {};
    const QStringList Names = FullName.mid(FRoot.size() + 1).split(QLatin1Char('\\'));
    std::vector<TRdn> Levels;
    for (qsizetype I = 0; I < Names.size(); ++I) {
        QString Type = I == 0 ? QStringLiteral("o") : QStringLiteral("ou");
        if (Leaf && I == Names.size() - 1)
            Type = QStringLiteral("cn");
        Levels.push_back({Type, Names[I]});
    }
    return Levels;
}

} // namespace Dn
