#include "LdifTable.h"

#include "Ldif.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <NWNetAddress.h>
#include <Names.h>
#include <Syntax.h>

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace Ldif {

const TClassName ClassTable[10] = {
    {"Organization", "organization"},
    {"Organizational Unit", "organizationalUnit"},
    {"User", "inetOrgPerson"},
    {"Template", "Template"},
    {"Volume", "Volume"},
    {"Workstation", "Workstation"},
    {"NDSCAT:Master Catalog", "nDSCatMasterCatalog"},
    {"NCP Server", "ncpServer"},
    {"Group", "groupOfNames"},
    {"Organizational Role", "organizationalRole"},
};

const TFieldName FieldTable[9] = {
    {"Full Name", "fullName"},
    {"Surname", "sn"},
    {"Given Name", "givenName"},
    {"Home Directory", "ndsHomeDirectory"},
    {"Home Directory Rights", "homeDirectoryRights"},
    {"Login Script", "loginScript"},
    {"Network Address Restriction", "networkAddressRestriction"},
    {"WM:Network Address", "wMNetworkAddress"},
    {"NDSCAT:Actual End Time", "nDSCatActualEndTime"},
};

bool IsAbstractClass(const QString& ObjectClass) {
    static const QSet<QString> Names = {QStringLiteral("top"),
                                        QStringLiteral("person"),
                                        QStringLiteral("organizationalperson"),
                                        QStringLiteral("ndsloginproperties"),
                                        QStringLiteral("ndscontainerloginproperties"),
                                        QStringLiteral("resource")};
    return Names.contains(ObjectClass.toLower());
}

bool IsOperational(const QString& Attribute) {
    static const QSet<QString> Names = {
        QStringLiteral("creatorsname"),    QStringLiteral("modifiersname"),  QStringLiteral("guid"),
        QStringLiteral("revision"),        QStringLiteral("objectclass"),    QStringLiteral("usedby"),
        QStringLiteral("createtimestamp"), QStringLiteral("modifytimestamp")};
    return Names.contains(Attribute.toLower());
}

QString NamingAttribute(const QString& Layout) {
    switch (KindOfLayout(Layout)) {
    case TLayoutKind::Organization:
        return QStringLiteral("o");
    case TLayoutKind::OrganizationalUnit:
        return QStringLiteral("ou");
    default:
        return QStringLiteral("cn");
    }
}

bool IsNamingAttribute(const QString& Attribute) {
    const QString A = Attribute.toLower();
    return A == QLatin1String("o") || A == QLatin1String("ou") || A == QLatin1String("cn");
}

QString RuleName(const QString& Name) {
    QString Result;
    Result.reserve(Name.size());
    for (QChar C : Name)
        if (C != QLatin1Char(' ') && C != QLatin1Char(':'))
            Result += C;
    if (!Result.isEmpty())
        Result[0] = Result[0].toLower();
    return Result;
}

QStringList Levels(const QString& FullName) {
    const QString Prefix = TreeFullName(QString());
    QString Rest = FullName;
    if (Rest.startsWith(Prefix, Qt::CaseInsensitive))
        Rest = Rest.mid(Prefix.size());
    QStringList Parts = Rest.split(QLatin1Char('\\'));
    Parts.removeFirst(); // the tree
    return Parts;
}

bool InTree(const QString& FullName, const QString& TreeName) {
    return FullName.startsWith(TreeFullName(TreeName) + QLatin1Char('\\'), Qt::CaseInsensitive);
}

void Fail(int Line, const QString& Message) {
    throw EDirectoryError(QStringLiteral("LDIF-Zeile %1: %2").arg(Line).arg(Message));
}

// ---------------------------------------------------------------------------------------------
// The public pieces

QString EscapeDnValue(const QString& Value) {
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
        case '#': // anywhere, so that "DN#space#path" values split at the first bare "#"
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

QString UnescapeDnValue(const QString& Text) {
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

QString FullNameToDn(const QString& FullName, bool Leaf) {
    const QStringList L = Levels(FullName);
    QStringList Rdns;
    for (qsizetype I = L.size() - 1; I >= 0; --I) {
        QString Type = I == 0 ? QStringLiteral("o") : QStringLiteral("ou");
        if (Leaf && I == L.size() - 1)
            Type = QStringLiteral("cn");
        Rdns.append(Type + QLatin1Char('=') + EscapeDnValue(L[I]));
    }
    return Rdns.join(QLatin1Char(','));
}

QString FieldToAttribute(const QString& Field) {
    for (const TFieldName& F : FieldTable)
        if (Field == QLatin1String(F.Field))
            return QString::fromLatin1(F.Attribute);
    return RuleName(Field);
}

QString LayoutToObjectClass(const QString& Layout) {
    for (const TClassName& C : ClassTable)
        if (Layout.compare(QLatin1String(C.Layout), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(C.ObjectClass);
    return RuleName(Layout);
}

void CheckInsideVolume(const QString& Directory, int Line) {
    for (QString Level : Directory.split(QRegularExpression(QStringLiteral("[\\\\/]")))) {
        Level.remove(QLatin1Char(' '));
        if (Level == QLatin1String(".") || Level == QLatin1String(".."))
            Fail(Line, QStringLiteral("ungültiger Pfad \"%1\": eine Ebene darf nicht \".\" oder \"..\" sein")
                           .arg(Directory));
    }
}

bool IsRuleNameOf(const QString& Key, const QString& Name) {
    qsizetype At = 0;
    for (const QChar C : Name) {
        if (C == QLatin1Char(' ') || C == QLatin1Char(':'))
            continue;
        if (At == Key.size() || Key.at(At) != C.toLower())
            return false;
        ++At;
    }
    return At == Key.size();
}

int DnValueEnd(const QString& Text) {
    for (int I = 0; I < Text.size(); ++I) {
        if (Text[I] == QLatin1Char('\\'))
            ++I;
        else if (Text[I] == QLatin1Char('#'))
            return I;
    }
    return -1;
}

namespace {
[[noreturn]] void BadValue(const QString& Message) {
    throw EDirectoryError(Message, ERR_SYNTAX_VIOLATION);
}
} // namespace

QVariant DecodeValue(const QByteArray& Bytes, const NWFieldType& Type, const TFullNameOf& FullNameOf) {
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    if (Kind == TSyntaxKind::NetAddress) {
        const qsizetype Hash = Bytes.indexOf('#');
        bool Ok = false;
        const int AddressType = Hash > 0 ? Bytes.left(Hash).toInt(&Ok) : 0;
        if (!Ok || AddressType < 0)
            BadValue(QStringLiteral("Netzwerkadresse erwartet (Typ \"#\" Adressbytes)"));
        return QVariant::fromValue(NWNetAddress(AddressType, Bytes.mid(Hash + 1)));
    }
    if (Kind == TSyntaxKind::Octets)
        return QVariant(Bytes);
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString Text = Decoder.decode(Bytes);
    if (Decoder.hasError())
        BadValue(QStringLiteral("ungültiges UTF-8"));
    switch (Kind) {
    case TSyntaxKind::Integer: {
        bool Ok = false;
        const qint64 N = Text.trimmed().toLongLong(&Ok);
        if (!Ok)
            BadValue(QStringLiteral("ganze Zahl erwartet, nicht \"%1\"").arg(Text));
        return QVariant(N);
    }
    case TSyntaxKind::Boolean: {
        const QString B = Text.trimmed().toUpper();
        if (B != QLatin1String("TRUE") && B != QLatin1String("FALSE"))
            BadValue(QStringLiteral("TRUE oder FALSE erwartet, nicht \"%1\"").arg(Text));
        return QVariant(B == QLatin1String("TRUE"));
    }
    case TSyntaxKind::Time: {
        const QDateTime T = ParseGeneralizedTime(Text);
        if (!T.isValid())
            BadValue(QStringLiteral("Zeitangabe (generalized time, YYYYMMDDHHMMSSZ) erwartet, nicht \"%1\"")
                         .arg(Text));
        return QVariant(T);
    }
    case TSyntaxKind::Path: {
        const int End = DnValueEnd(Text);
        if (End < 0)
            return Text; // written as stored
        const QString Volume = FullNameOf(Text.left(End));
        const QString Rest = Text.mid(End + 1);
        const qsizetype Hash = Rest.indexOf(QLatin1Char('#'));
        bool Ok = false;
        if (Hash > 0)
            Rest.left(Hash).toInt(&Ok);
        if (!Ok)
            BadValue(QStringLiteral("Pfad erwartet (Volume-DN \"#\" Namensraum \"#\" Pfad)"));
        return QString(Volume + QLatin1Char(',') + Rest.mid(Hash + 1));
    }
    case TSyntaxKind::DistinguishedName:
        if (Text.startsWith(TreeFullName(QString()), Qt::CaseInsensitive))
            return Text; // an object of another tree, written as stored
        return FullNameOf(Text);
    default:
        return Text;
    }
}

QString ObjectClassToLayout(const QString& ObjectClass) {
    for (const TClassName& C : ClassTable)
        if (ObjectClass.compare(QLatin1String(C.ObjectClass), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(C.Layout);
    for (const QString& Layout : KnownLayouts())
        if (ObjectClass.compare(RuleName(Layout), Qt::CaseInsensitive) == 0)
            return Layout;
    return QString();
}

QHash<QString, QString> FieldsByAttribute(const std::vector<NWFieldType>& Types) {
    QHash<QString, QString> Map;
    for (const TFieldName& F : FieldTable)
        Map.insert(QString::fromLatin1(F.Attribute).toLower(), QString::fromUtf8(F.Field));
    for (const NWFieldType& T : Types) {
        const QString Key = RuleName(T.Name).toLower();
        if (!Map.contains(Key))
            Map.insert(Key, T.Name);
    }
    return Map;
}

} // namespace Ldif
