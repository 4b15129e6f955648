#include "FieldValues.h"

#include "EDirectoryError.h"
#include "NWNetAddress.h"
#include "Names.h"
#include "Syntax.h"

#include <QTimeZone>
#include <algorithm>
#include <limits>

// How written values become the typed values a directory holds, whatever holds them.

namespace {

struct TSeedField {
    const char* Name;
    const char* Syntax;
    bool Single;
    int MaxLength;
};
// The field types as directories of this kind publish them.
constexpr TSeedField SeedFields[] = {
    {"Object Class", "Class Name", false, 0},
    {"creatorsName", "Distinguished Name", true, 0},
    {"modifiersName", "Distinguished Name", true, 0},
    {"GUID", "Octet String", true, 16},
    {"Revision", "Counter", true, 0},
    {"Used By", "Path", false, 0},
    {"CN", "Case Ignore String", false, 64},
    {"Given Name", "Case Ignore String", true, 32},
    {"Surname", "Case Ignore String", true, 64},
    {"Full Name", "Case Ignore String", false, 127},
    {"Initials", "Case Ignore String", true, 8},
    {"Generational Qualifier", "Case Ignore String", true, 8},
    {"Title", "Case Ignore String", false, 64},
    {"Description", "Case Ignore String", false, 1024},
    {"Location", "Case Ignore String", false, 128},
    {"Telephone Number", "Telephone Number", false, 32},
    {"Facsimile Telephone Number", "Telephone Number", false, 32},
    {"Language", "Case Ignore List", false, 0},
    {"Email Address", "Email Address", false, 0},
    {"Internet EMail Address", "Case Ignore String", false, 256},
    {"Login Script", "Stream", true, 0},
    {"Print Job Configuration", "Stream", true, 0},
    {"Home Directory", "Path", true, 255},
    {"Home Directory Rights", "Integer", true, 0},
    {"Profile", "Distinguished Name", true, 0},
    {"Group Membership", "Distinguished Name", false, 0},
    {"Member", "Distinguished Name", false, 0},
    {"Security Equals", "Distinguished Name", false, 0},
    {"See Also", "Distinguished Name", false, 0},
    {"Password Required", "Boolean", true, 0},
    {"Password Allow Change", "Boolean", true, 0},
    {"Password Unique Required", "Boolean", true, 0},
    {"Password Minimum Length", "Integer", true, 0},
    {"Password Expiration Interval", "Interval", true, 0},
    {"Password Expiration Time", "Time", true, 0},
    {"Login Grace Limit", "Integer", true, 0},
    {"Login Grace Remaining", "Integer", true, 0},
    {"Login Disabled", "Boolean", true, 0},
    {"Login Expiration Time", "Time", true, 0},
    {"Login Maximum Simultaneous", "Integer", true, 0},
    {"Login Time", "Time", true, 0},
    {"Last Login Time", "Time", true, 0},
    {"Network Address", "Net Address", false, 0},
    {"Network Address Restriction", "Net Address", false, 0},
    {"Host Server", "Distinguished Name", true, 0},
    {"Host Resource Name", "Case Ignore String", true, 32},
    {"Status", "Integer", true, 0},
    {"WM:Network Address", "Case Ignore String", false, 64},
    {"WM:Registered Login Name", "Case Ignore String", true, 64},
    {"NDSCAT:Actual Start Time", "Time", true, 0},
    {"NDSCAT:Actual End Time", "Time", true, 0},
    {"NDSCAT:Actual Result", "Integer", true, 0},
    {"NDSCAT:Catalog Scope", "Distinguished Name", false, 0},
    {"NDSCAT:Filter", "Case Ignore String", true, 1024},
    {"NDSCAT:Attribute List", "Case Ignore String", false, 64},
    {"NDSCAT:Actual Object Count", "Integer", true, 0},
    {"NDSCAT:Actual Value Count", "Integer", true, 0},
};

bool IsHex(const QString& Text) {
    for (QChar C : Text)
        if (!C.isDigit() && !(C.toUpper() >= QLatin1Char('A') && C.toUpper() <= QLatin1Char('F')))
            return false;
    return true;
}

// A written text value (numbers are taken as their decimal text).
bool TextOf(const QVariant& V, QString& Out) {
    switch (V.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        Out = V.toString();
        return true;
    case QMetaType::QChar:
        Out = QString(V.toChar());
        return true;
    default:
        return false;
    }
}

// A written value as a message quotes it: a text as it is (an empty one empty), cut at 40
// characters; another value by its text form, or by its type when it has none.
QString Shown(const QVariant& V) {
    QString S;
    if (!TextOf(V, S)) {
        S = V.toString();
        if (S.isEmpty())
            return QString::fromLatin1(V.typeName() ? V.typeName() : "empty");
    }
    if (S.size() > 40)
        S = S.left(40) + QStringLiteral("...");
    return S;
}

// The single values of a written value: a list's items (invalid ones left out) or the value.
std::vector<QVariant> Items(const QVariant& Value) {
    std::vector<QVariant> Items;
    if (!Value.isValid())
        return Items;
    if (Value.metaType().id() == QMetaType::QStringList) {
        for (const QString& S : Value.toStringList())
            Items.push_back(S);
    } else if (Value.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant& V : Value.toList())
            if (V.isValid())
                Items.push_back(V);
    } else {
        Items.push_back(Value);
    }
    return Items;
}

bool IntegerOf(const QVariant& V, qint64& N) {
    bool Ok = false;
    switch (V.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        N = V.toLongLong(&Ok);
        break;
    case QMetaType::ULongLong:
        N = V.toLongLong(&Ok);
        Ok = Ok && V.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
        break;
    case QMetaType::Double: {
        const double D = V.toDouble();
        Ok = D == double(qint64(D));
        N = qint64(D);
        break;
    }
    case QMetaType::QString: {
        const QString T = V.toString().trimmed();
        N = T.toLongLong(&Ok, 10);
        if (!Ok && T.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            N = T.mid(2).toLongLong(&Ok, 16);
        break;
    }
    default:
        break;
    }
    return Ok;
}

// 1, 0, or -1 when the value is no boolean.
int BooleanOf(const QVariant& V) {
    if (V.metaType().id() == QMetaType::Bool)
        return V.toBool() ? 1 : 0;
    if (V.metaType().id() == QMetaType::QString) {
        const QString T = V.toString().trimmed().toLower();
        if (T == QLatin1String("true") || T == QLatin1String("1") || T == QLatin1String("yes"))
            return 1;
        if (T == QLatin1String("false") || T == QLatin1String("0") || T == QLatin1String("no"))
            return 0;
    } else if (V.metaType().id() == QMetaType::Int || V.metaType().id() == QMetaType::LongLong) {
        const qint64 N = V.toLongLong();
        return N == 0 ? 0 : N == 1 ? 1 : -1;
    }
    return -1;
}

QDateTime TimeOf(const QVariant& V) {
    switch (V.metaType().id()) {
    case QMetaType::QDateTime:
        return V.toDateTime();
    case QMetaType::QDate:
        return V.toDate().startOfDay();
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QDateTime::fromSecsSinceEpoch(V.toLongLong(), QTimeZone::utc());
    case QMetaType::QString: {
        const QString S = V.toString().trimmed();
        bool IsNumber = false;
        const qint64 Secs = S.toLongLong(&IsNumber);
        if (IsNumber)
            return QDateTime::fromSecsSinceEpoch(Secs, QTimeZone::utc());
        const QDateTime Generalized = ParseGeneralizedTime(S);
        return Generalized.isValid() ? Generalized : QDateTime::fromString(S, Qt::ISODateWithMs);
    }
    default:
        return QDateTime();
    }
}

// "type#HEX", or the text forms "TCP/IP: 0A010517" and "IPX: ...".
NWNetAddress AddressOf(const QVariant& V) {
    if (V.metaType() == QMetaType::fromType<NWNetAddress>())
        return V.value<NWNetAddress>();
    if (V.metaType().id() != QMetaType::QString)
        return NWNetAddress();
    const QString S = V.toString().trimmed();
    const qsizetype Hash = S.indexOf(QLatin1Char('#'));
    if (Hash > 0) {
        bool Ok = false;
        const int AddressType = S.left(Hash).toInt(&Ok);
        if (Ok && IsHex(S.mid(Hash + 1)))
            return NWNetAddress(AddressType, QByteArray::fromHex(S.mid(Hash + 1).toLatin1()));
    } else if (S.startsWith(QLatin1String("TCP/IP:"), Qt::CaseInsensitive) && S.size() >= 8 &&
               IsHex(S.mid(8))) {
        return NWNetAddress(1, QByteArray::fromHex(S.mid(8).toLatin1()));
    } else if (S.startsWith(QLatin1String("IPX:"), Qt::CaseInsensitive) && S.size() >= 5 &&
               IsHex(S.mid(5).remove(QLatin1Char(':')))) {
        return NWNetAddress(0, QByteArray::fromHex(S.mid(5).remove(QLatin1Char(':')).toLatin1()));
    }
    return NWNetAddress();
}

} // namespace

const std::vector<NWFieldType>& StandardFieldTypes() {
    static const std::vector<NWFieldType> Types = [] {
        std::vector<NWFieldType> T;
        for (const TSeedField& F : SeedFields)
            T.push_back({QString::fromUtf8(F.Name), QString::fromLatin1(F.Syntax), F.Single, F.MaxLength});
        return T;
    }();
    return Types;
}

void CheckFieldLength(const NWFieldType& Type, const QString& Text) {
    if (Type.MaxLength > 0 && Text.size() > Type.MaxLength)
        ThrowDirectoryError(ERR_SYNTAX_VIOLATION,
                            QStringLiteral("Der Wert des Felds \"%1\" ist länger als %2 Zeichen (%3)")
                                .arg(Type.Name)
                                .arg(Type.MaxLength)
                                .arg(Text.size()));
}

std::vector<QVariant> NormalizeFieldValues(const NWFieldType& Type, const QVariant& Value) {
    std::vector<QVariant> Values = Items(Value);
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    if (Kind == TSyntaxKind::NetAddress) { // an unset address is no value
        Values.erase(std::remove_if(Values.begin(), Values.end(),
                                    [](const QVariant& V) {
                                        return V.metaType() == QMetaType::fromType<NWNetAddress>() &&
                                               V.value<NWNetAddress>().IsEmpty();
                                    }),
                     Values.end());
    }
    if (Type.SingleValued && Values.size() > 1)
        ThrowDirectoryError(
            ERR_CANT_HAVE_MULTIPLE_VALUES,
            QStringLiteral("Das Feld \"%1\" hat nur einen Wert, nicht %2").arg(Type.Name).arg(Values.size()));

    auto Bad = [&](const QVariant& V, const QString& Why) {
        ThrowDirectoryError(ERR_SYNTAX_VIOLATION,
                            QStringLiteral("Der Wert \"%1\" passt nicht zum Feld \"%2\" (%3): %4")
                                .arg(Shown(V), Type.Name, Type.Syntax, Why));
    };

    std::vector<QVariant> Typed;
    Typed.reserve(Values.size());
    for (const QVariant& V : Values) {
        switch (Kind) {
        case TSyntaxKind::Text:
        case TSyntaxKind::Stream: {
            QString S;
            if (!TextOf(V, S))
                Bad(V, QStringLiteral("Text erwartet"));
            if (Type.Syntax == QLatin1String("Numeric String"))
                for (QChar C : S)
                    if (!C.isDigit() && C != QLatin1Char(' '))
                        Bad(V, QStringLiteral("Ziffern erwartet"));
            CheckFieldLength(Type, S);
            Typed.push_back(S);
            break;
        }
        case TSyntaxKind::Path: {
            QString S;
            if (!TextOf(V, S))
                Bad(V, QStringLiteral("Text erwartet"));
            if (!S.contains(QLatin1Char(',')))
                Bad(V, QStringLiteral("Volume-Objekt und Pfad erwartet"));
            Typed.push_back(S);
            break;
        }
        case TSyntaxKind::DistinguishedName: {
            QString S, Tree, Levels;
            if (!TextOf(V, S) || !SplitFullName(S.trimmed(), Tree, Levels))
                Bad(V, QStringLiteral("vollständiger Name erwartet"));
            Typed.push_back(S.trimmed());
            break;
        }
        case TSyntaxKind::Integer: {
            qint64 N = 0;
            if (!IntegerOf(V, N))
                Bad(V, QStringLiteral("ganze Zahl erwartet"));
            Typed.push_back(N);
            break;
        }
        case TSyntaxKind::Boolean: {
            const int B = BooleanOf(V);
            if (B < 0)
                Bad(V, QStringLiteral("wahr oder falsch erwartet"));
            Typed.push_back(B == 1);
            break;
        }
        case TSyntaxKind::Time: {
            const QDateTime T = TimeOf(V);
            if (!T.isValid())
                Bad(V, QStringLiteral("Datum und Uhrzeit erwartet"));
            Typed.push_back(T);
            break;
        }
        case TSyntaxKind::NetAddress: {
            const NWNetAddress A = AddressOf(V);
            if (A.IsEmpty() || A.Address().isEmpty())
                Bad(V, QStringLiteral("Netzwerkadresse erwartet"));
            if (A.AddressType() == 1 && A.Address().size() != 4)
                Bad(V, QStringLiteral("eine TCP/IP-Adresse hat 4 Bytes"));
            if (A.AddressType() == 0 && A.Address().size() != 10 && A.Address().size() != 12)
                Bad(V, QStringLiteral("eine IPX-Adresse hat 10 oder 12 Bytes"));
            Typed.push_back(QVariant::fromValue(A));
            break;
        }
        case TSyntaxKind::Octets: {
            QByteArray B;
            if (V.metaType().id() == QMetaType::QByteArray) {
                B = V.toByteArray();
            } else if (V.metaType().id() == QMetaType::QString) {
                QString S = V.toString();
                S.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('-'));
                if (!IsHex(S) || S.size() % 2)
                    Bad(V, QStringLiteral("hexadezimale Bytes erwartet"));
                B = QByteArray::fromHex(S.toLatin1());
            } else {
                Bad(V, QStringLiteral("Bytes erwartet"));
            }
            if (Type.MaxLength > 0 && B.size() > Type.MaxLength)
                ThrowDirectoryError(ERR_SYNTAX_VIOLATION,
                                    QStringLiteral("Der Wert des Felds \"%1\" ist länger als %2 Bytes")
                                        .arg(Type.Name)
                                        .arg(Type.MaxLength));
            Typed.push_back(B);
            break;
        }
        }
    }
    return Typed;
}

std::vector<std::pair<const NWFieldType*, QVariant>>
MergeFieldWrites(const std::vector<TFieldWrite>& Fields,
                 const std::function<const NWFieldType*(const QString&)>& TypeOf) {
    std::vector<std::pair<const NWFieldType*, QVariant>> Merged;
    for (const TFieldWrite& W : Fields) {
        const NWFieldType* T = TypeOf(W.Field);
        if (!T)
            ThrowDirectoryError(ERR_NO_SUCH_ATTRIBUTE,
                                QStringLiteral("Unbekanntes Feld \"%1\"").arg(W.Field));
        auto It = std::find_if(Merged.begin(), Merged.end(), [&](const auto& M) { return M.first == T; });
        if (It != Merged.end())
            It->second = W.Value;
        else
            Merged.emplace_back(T, W.Value);
    }
    return Merged;
}
