#include "Syntax.h"

#include <QStringList>
#include <QTimeZone>

namespace {

struct TSyntaxName {
    const char* Name;
    TSyntaxKind Kind;
};
constexpr TSyntaxName SyntaxNames[] = {
    {"Case Ignore String", TSyntaxKind::Text},
    {"Case Exact String", TSyntaxKind::Text},
    {"Printable String", TSyntaxKind::Text},
    {"Numeric String", TSyntaxKind::Text},
    {"Telephone Number", TSyntaxKind::Text},
    {"Email Address", TSyntaxKind::Text},
    {"Class Name", TSyntaxKind::Text},
    {"Case Ignore List", TSyntaxKind::Text},
    {"Stream", TSyntaxKind::Stream},
    {"Path", TSyntaxKind::Path},
    {"Distinguished Name", TSyntaxKind::DistinguishedName},
    {"Integer", TSyntaxKind::Integer},
    {"Counter", TSyntaxKind::Integer},
    {"Interval", TSyntaxKind::Integer},
    {"Boolean", TSyntaxKind::Boolean},
    {"Time", TSyntaxKind::Time},
    {"Net Address", TSyntaxKind::NetAddress},
    {"Octet String", TSyntaxKind::Octets},
};

const TSyntaxName* Find(const QString& Syntax) {
    for (const TSyntaxName& S : SyntaxNames)
        if (Syntax == QLatin1String(S.Name))
            return &S;
    return nullptr;
}

} // namespace

TSyntaxKind KindOfSyntax(const QString& Syntax) {
    const TSyntaxName* S = Find(Syntax);
    return S ? S->Kind : TSyntaxKind::Text;
}

bool IsKnownSyntax(const QString& Syntax) {
    return Find(Syntax) != nullptr;
}

bool IsTextKind(TSyntaxKind Kind) {
    return Kind == TSyntaxKind::Text || Kind == TSyntaxKind::Stream || Kind == TSyntaxKind::Path ||
           Kind == TSyntaxKind::DistinguishedName;
}

QDateTime ParseGeneralizedTime(const QString& Text) {
    const QString S = Text.trimmed();
    if (!S.endsWith(QLatin1Char('Z')))
        return QDateTime();
    const QString Digits = S.chopped(1);
    QDateTime T;
    if (Digits.size() == 14)
        T = QDateTime::fromString(Digits, QStringLiteral("yyyyMMddHHmmss"));
    else if (Digits.size() == 12)
        T = QDateTime::fromString(Digits, QStringLiteral("yyyyMMddHHmm"));
    if (T.isValid())
        T.setTimeZone(QTimeZone::utc());
    return T;
}

QString FormatGeneralizedTime(const QDateTime& Time) {
    return Time.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('Z');
}

bool IsOperationalField(const QString& Field) {
    static const QStringList Names = {QStringLiteral("creatorsName"), QStringLiteral("modifiersName"),
                                      QStringLiteral("GUID"),         QStringLiteral("Revision"),
                                      QStringLiteral("Used By"),      QStringLiteral("Object Class")};
    return Names.contains(Field, Qt::CaseInsensitive);
}
