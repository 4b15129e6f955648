#include "Schema.h"

#include "Layouts.h"

#include <QSet>

#include <algorithm>
#include <iterator>

namespace Schema {

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

QString LayoutToObjectClass(const QString& Layout) {
    for (const TClassName& C : ClassTable)
        if (Layout.compare(QLatin1String(C.Layout), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(C.ObjectClass);
    return RuleName(Layout);
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

bool IsAbstractClass(const QString& ObjectClass) {
    static const QSet<QString> Names = {QStringLiteral("top"),
                                        QStringLiteral("person"),
                                        QStringLiteral("organizationalperson"),
                                        QStringLiteral("ndsloginproperties"),
                                        QStringLiteral("ndscontainerloginproperties"),
                                        QStringLiteral("resource")};
    return Names.contains(ObjectClass.toLower());
}

namespace {
bool InFieldTable(const QString& Field) {
    return std::any_of(std::begin(FieldTable), std::end(FieldTable),
                       [&](const TFieldName& F) { return Field == QLatin1String(F.Field); });
}
} // namespace

bool IsRuleAttributeOf(const QString& LowerAttribute, const QString& Field) {
    return !InFieldTable(Field) && IsRuleNameOf(LowerAttribute, Field);
}

QString FieldToAttribute(const QString& Field) {
    for (const TFieldName& F : FieldTable)
        if (Field == QLatin1String(F.Field))
            return QString::fromLatin1(F.Attribute);
    return RuleName(Field);
}

QHash<QString, QString> FieldsByAttribute(const std::vector<NWFieldType>& Types) {
    QHash<QString, QString> Map;
    for (const TFieldName& F : FieldTable)
        Map.insert(QString::fromLatin1(F.Attribute).toLower(), QString::fromUtf8(F.Field));
    for (const NWFieldType& T : Types) {
        if (InFieldTable(T.Name))
            continue;
        const QString Key = RuleName(T.Name).toLower();
        if (!Map.contains(Key))
            Map.insert(Key, T.Name);
    }
    return Map;
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

} // namespace Schema
