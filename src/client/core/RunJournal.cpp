#include "RunJournal.h"

#include "NWNetAddress.h"
#include "Names.h"
#include "Rights.h"

#include <Clock.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {

using TKind = TRunChange::TKind;

const std::array<std::pair<TKind, const char*>, 11> KindNames{{
    {TKind::CreateObject, "create-object"},
    {TKind::WriteField, "write-field"},
    {TKind::SetPassword, "set-password"},
    {TKind::DeleteObject, "delete-object"},
    {TKind::CreateFolder, "create-folder"},
    {TKind::FolderExists, "folder-exists"},
    {TKind::RemoveFolder, "remove-folder"},
    {TKind::SetFlag, "set-flag"},
    {TKind::SetRights, "set-rights"},
    {TKind::WriteFile, "write-file"},
    {TKind::Failure, "failure"},
}};

// An object as the administrator reads it: the dotted name ("5a.schueler.unterricht"); a text that
// is no full name as it is.
QString Shown(const QString& FullName) {
    QString Tree, Levels;
    if (!SplitFullName(FullName, Tree, Levels) || Levels.isEmpty())
        return FullName;
    QStringList Parts = Levels.split(u'\\');
    std::reverse(Parts.begin(), Parts.end());
    return Parts.join(u'.');
}

// One value as a short line: long texts and texts of several lines shortened.
QString ValueShown(const QVariant& Value) {
    switch (Value.typeId()) {
    case QMetaType::Bool:
        return Value.toBool() ? QStringLiteral("ein") : QStringLiteral("aus");
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(Value.toLongLong());
    case QMetaType::QDateTime:
        return TClock::DateTimeToStr(Value.toDateTime().toLocalTime());
    case QMetaType::QByteArray:
        return QStringLiteral("%1 Bytes").arg(Value.toByteArray().size());
    default:
        break;
    }
    if (Value.typeId() == qMetaTypeId<NWNetAddress>()) {
        const NWNetAddress A = Value.value<NWNetAddress>();
        return A.DottedQuad().isEmpty() ? A.Value() : A.DottedQuad();
    }
    QString Text = Value.toString();
    const qsizetype Break = Text.indexOf(u'\n');
    bool Cut = false;
    if (Break >= 0) {
        Text.truncate(Break);
        Cut = true;
    }
    Text.remove(u'\r');
    if (Text.size() > 60) {
        Text.truncate(60);
        Cut = true;
    }
    return Cut ? Text + QStringLiteral(" …") : Text;
}

QString ValuesShown(const std::vector<QVariant>& Values) {
    if (Values.empty())
        return QStringLiteral("leer");
    QStringList Parts;
    for (const QVariant& V : Values)
        Parts << ValueShown(V);
    return Parts.join(QStringLiteral(", "));
}

QString RightsShown(const std::vector<QVariant>& Mask) {
    return Mask.empty() ? QStringLiteral("keine") : RightsText(int(Mask.front().toLongLong()));
}

QString FlagShown(const std::vector<QVariant>& Value) {
    return !Value.empty() && Value.front().toBool() ? QStringLiteral("ein") : QStringLiteral("aus");
}

} // namespace

bool TRunChange::operator==(const TRunChange& Other) const {
    auto SameValues = [](const std::vector<QVariant>& A, const std::vector<QVariant>& B) {
        if (A.size() != B.size())
            return false;
        for (size_t I = 0; I < A.size(); ++I)
            if (ValueToText(A[I]) != ValueToText(B[I]))
                return false;
        return true;
    };
    if (Kind != Other.Kind || Target != Other.Target || Detail != Other.Detail ||
        !SameValues(Before, Other.Before) || !SameValues(After, Other.After) ||
        Fields.size() != Other.Fields.size())
        return false;
    for (size_t I = 0; I < Fields.size(); ++I)
        if (Fields[I].Field != Other.Fields[I].Field || !SameValues(Fields[I].Values, Other.Fields[I].Values))
            return false;
    return true;
}

QString ChangeKindName(TKind Kind) {
    for (const auto& [K, Name] : KindNames)
        if (K == Kind)
            return QString::fromLatin1(Name);
    return QString();
}

bool ChangeKindFromName(const QString& Name, TKind& Kind) {
    for (const auto& [K, N] : KindNames)
        if (Name == QLatin1String(N)) {
            Kind = K;
            return true;
        }
    return false;
}

QString FlagName(TFolderFlag Flag) {
    return Flag == TFolderFlag::DeleteInhibit ? QStringLiteral("Delete Inhibit")
                                              : QStringLiteral("Rename Inhibit");
}

QString ValueToText(const QVariant& Value) {
    if (!Value.isValid())
        return QStringLiteral("-");
    switch (Value.typeId()) {
    case QMetaType::Bool:
        return Value.toBool() ? QStringLiteral("b:1") : QStringLiteral("b:0");
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QStringLiteral("i:") + QString::number(Value.toLongLong());
    case QMetaType::QDateTime:
        return QStringLiteral("t:") + Value.toDateTime().toUTC().toString(Qt::ISODateWithMs);
    case QMetaType::QByteArray:
        return QStringLiteral("x:") + QString::fromLatin1(Value.toByteArray().toBase64());
    default:
        break;
    }
    if (Value.typeId() == qMetaTypeId<NWNetAddress>()) {
        const NWNetAddress A = Value.value<NWNetAddress>();
        return QStringLiteral("n:%1:").arg(A.AddressType()) + QString::fromLatin1(A.Address().toHex());
    }
    return QStringLiteral("s:") + Value.toString();
}

QVariant ValueFromText(const QString& Text) {
    const QStringView Rest = QStringView(Text).mid(2);
    if (Text.startsWith(QLatin1String("s:")))
        return Rest.toString();
    if (Text.startsWith(QLatin1String("i:")))
        return QVariant::fromValue<qint64>(Rest.toLongLong());
    if (Text.startsWith(QLatin1String("b:")))
        return Rest == u'1';
    if (Text.startsWith(QLatin1String("t:")))
        return QDateTime::fromString(Rest.toString(), Qt::ISODateWithMs);
    if (Text.startsWith(QLatin1String("x:")))
        return QByteArray::fromBase64(Rest.toLatin1());
    if (Text.startsWith(QLatin1String("n:"))) {
        const qsizetype Colon = Rest.indexOf(u':');
        if (Colon > 0)
            return QVariant::fromValue(
                NWNetAddress(Rest.left(Colon).toInt(), QByteArray::fromHex(Rest.mid(Colon + 1).toLatin1())));
    }
    return QVariant();
}

QStringList ChangeLines(const TRunChange& C, bool Planned) {
    auto Say = [Planned](const char* Plan, const char* Done) {
        return QString::fromUtf8(Planned ? Plan : Done) + QStringLiteral(": ");
    };
    QStringList Lines;
    switch (C.Kind) {
    case TKind::CreateObject:
    case TKind::DeleteObject:
        Lines << (C.Kind == TKind::CreateObject ? Say("Anlegen", "Angelegt") : Say("Löschen", "Gelöscht")) +
                     C.Detail + u' ' + Shown(C.Target);
        for (const TFieldValues& F : C.Fields)
            Lines << QStringLiteral("    ") + F.Field + QStringLiteral(": ") + ValuesShown(F.Values);
        break;
    case TKind::WriteField:
        Lines << Say("Feld setzen", "Feld gesetzt") + Shown(C.Target) + QStringLiteral(", „") + C.Detail +
                     QStringLiteral("“: ") + ValuesShown(C.After) + QStringLiteral(" (bisher: ") +
                     ValuesShown(C.Before) + u')';
        break;
    case TKind::SetPassword:
        Lines << (Planned ? QStringLiteral("Passwort wird gesetzt: ")
                          : QStringLiteral("Passwort gesetzt: ")) +
                     Shown(C.Target);
        break;
    case TKind::CreateFolder:
        Lines << Say("Ordner anlegen", "Ordner angelegt") + C.Target;
        break;
    case TKind::FolderExists:
        Lines << QStringLiteral("Ordner besteht bereits: ") + C.Target;
        break;
    case TKind::RemoveFolder:
        Lines << Say("Ordner entfernen", "Ordner entfernt") + C.Target;
        break;
    case TKind::SetFlag:
        Lines << Say("Flag setzen", "Flag gesetzt") + C.Target + QStringLiteral(", ") + C.Detail + u' ' +
                     FlagShown(C.After) + QStringLiteral(" (bisher ") + FlagShown(C.Before) + u')';
        break;
    case TKind::SetRights:
        Lines << Say("Rechte setzen", "Rechte gesetzt") + C.Target + QStringLiteral(", ") + Shown(C.Detail) +
                     QStringLiteral(": ") + RightsShown(C.After) + QStringLiteral(" (bisher ") +
                     RightsShown(C.Before) + u')';
        break;
    case TKind::WriteFile:
        Lines << Say("Datei schreiben", "Datei geschrieben") + C.Target +
                     (C.Detail.isEmpty() ? QString() : QStringLiteral(" (") + C.Detail + u')');
        break;
    case TKind::Failure:
        Lines << Say("Würde fehlschlagen", "Fehlgeschlagen") + C.Target +
                     (C.Detail.isEmpty() ? QString() : QStringLiteral(": ") + C.Detail);
        break;
    }
    return Lines;
}
