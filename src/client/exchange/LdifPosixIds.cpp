#include "LdifParts.h"

#include <EDirectoryError.h>
#include <PosixIds.h>
#include <Schema.h>

#include <QRegularExpression>

// The POSIX ids a text carries: checked record by record as the text is read, against the tree
// before anything is written, and given once every object is there.

namespace Ldif {
namespace {

using TKind = TPosixIdentity::TKind;

QString IdKey(TKind Kind, qint64 Id) {
    return QString::number(int(Kind)) + QLatin1Char(':') + QString::number(Id);
}

QString AttributeOf(TKind Kind) {
    return Kind == TKind::User ? QStringLiteral("uidNumber") : QStringLiteral("gidNumber");
}

} // namespace

bool TPosixIdLines::IsIdAttribute(const QString& Attribute) {
    return Attribute.compare(QLatin1String("uidNumber"), Qt::CaseInsensitive) == 0 ||
           Attribute.compare(QLatin1String("gidNumber"), Qt::CaseInsensitive) == 0;
}

qint64 TPosixIdLines::Read(const QString& Layout, const QString& Attribute,
                           const std::vector<const TAttributeLine*>& Lines) {
    const int Line = Lines.front()->Line;
    if (Lines.size() > 1)
        Fail(Lines[1]->Line, QStringLiteral("\"%1\" hat nur einen Wert").arg(Attribute));
    const bool IsUid = Attribute.compare(QLatin1String("uidNumber"), Qt::CaseInsensitive) == 0;
    const TKind Kind = IsUid ? TKind::User : TKind::Group;
    if (PosixKindOfLayout(Layout) != Kind)
        Fail(Line, QStringLiteral("\"%1\" gibt es nur bei %2, nicht bei einem Objekt der Klasse %3")
                       .arg(Attribute,
                            IsUid ? QStringLiteral("Benutzern (inetOrgPerson)")
                                  : QStringLiteral("Organisationen und Organisationseinheiten"),
                            Schema::LayoutToObjectClass(Layout)));
    const QString Text = Utf8(Lines.front()->Value, Line).trimmed();
    static const QRegularExpression Digits(QStringLiteral("^[0-9]{1,10}$"));
    const qint64 Id = Digits.match(Text).hasMatch() ? Text.toLongLong() : -1;
    if (!IsPosixIdNumber(Id))
        Fail(Line, QStringLiteral("\"%1\" muss eine Zahl von 1 bis 2147483647 sein, nicht \"%2\"")
                       .arg(Attribute, Text));
    const QString Key = IdKey(Kind, Id);
    if (const int Earlier = FLines.value(Key))
        Fail(Line, QStringLiteral("die %1 %2 steht schon in Zeile %3")
                       .arg(AttributeOf(Kind), QString::number(Id), QString::number(Earlier)));
    FLines.insert(Key, Line);
    return Id;
}

void TPosixIdLines::CheckAgainst(const std::vector<TPosixIdLine>& Ids,
                                 const std::vector<TPosixHolder>& Held) {
    std::vector<TPosixGrant> Grants;
    Grants.reserve(Ids.size());
    for (const TPosixIdLine& L : Ids)
        Grants.push_back({TObjectRef{{}, L.FullName, QString(), L.Layout}, L.Id});
    if (const std::optional<TPosixGrantFault> F = PosixGrantFault(Grants, Held))
        Fail(Ids[F->Index].Line, F->Message);
}

void TPosixIdLines::Give(TDirectoryBackend& Directory, const std::vector<TPosixGrant>& Grants,
                         const std::vector<int>& Lines) {
    try {
        Directory.GivePosixIdentities(Grants);
    } catch (const EDirectoryError& E) {
        int Line = Lines.empty() ? 0 : Lines.front();
        for (size_t I = 0; I < Grants.size(); ++I)
            if (E.Message().contains(Grants[I].Object.FullName, Qt::CaseInsensitive)) {
                Line = Lines[I];
                break;
            }
        throw EDirectoryError(QStringLiteral("LDIF-Zeile %1: %2").arg(QString::number(Line), E.Message()),
                              E.Code());
    }
}

} // namespace Ldif
