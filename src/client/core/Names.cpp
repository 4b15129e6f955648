#include "Names.h"

#include <QCollator>
#include <QStringList>

namespace {
const QString& Prefix() {
    static const QString P = QStringLiteral("NDS:\\\\");
    return P;
}
} // namespace

QString TreeFullName(const QString& TreeName) {
    return Prefix() + TreeName;
}

bool SplitFullName(const QString& FullName, QString& Tree, QString& Levels) {
    if (!FullName.startsWith(Prefix(), Qt::CaseInsensitive))
        return false;
    const QString Rest = FullName.mid(Prefix().size());
    const qsizetype Slash = Rest.indexOf(QLatin1Char('\\'));
    Tree = Slash < 0 ? Rest : Rest.left(Slash);
    Levels = Slash < 0 ? QString() : Rest.mid(Slash + 1);
    if (Tree.isEmpty())
        return false;
    if (Slash >= 0 && (Levels.isEmpty() || Levels.startsWith(QLatin1Char('\\')) ||
                       Levels.endsWith(QLatin1Char('\\')) || Levels.contains(QStringLiteral("\\\\"))))
        return false;
    return true;
}

bool DottedToFullName(const QString& TreeName, const QString& Dotted, QString& FullName) {
    QString Text = Dotted.trimmed();
    if (Text.startsWith(QLatin1Char('.')))
        Text.remove(0, 1);
    if (Text.isEmpty() || Text.endsWith(QLatin1Char('.')))
        return false;
    QStringList Levels;
    for (QString Part : Text.split(QLatin1Char('.'))) {
        const qsizetype Eq = Part.indexOf(QLatin1Char('='));
        if (Eq > 0)
            Part = Part.mid(Eq + 1); // typed name: "CN=admin"
        if (Part.isEmpty() || Part.contains(QLatin1Char('\\')))
            return false;
        Levels.prepend(Part);
    }
    FullName = TreeFullName(TreeName) + QLatin1Char('\\') + Levels.join(QLatin1Char('\\'));
    return true;
}

QString NameFault(const QString& Name) {
    if (Name.isEmpty())
        return QStringLiteral("leerer Name");
    if (Name.size() > MaxNameLength)
        return QStringLiteral("Name länger als %1 Zeichen").arg(MaxNameLength);
    if (Name.front().isSpace() || Name.back().isSpace())
        return QStringLiteral("Name beginnt oder endet mit einem Leerzeichen");
    for (QChar C : Name) {
        if (C == QLatin1Char('.') || C == QLatin1Char('\\') || C == QLatin1Char(','))
            return QStringLiteral("Name enthält \"%1\"").arg(C);
        if (C.unicode() < 0x20 || C.unicode() == 0x7F)
            return QStringLiteral("Name enthält ein Steuerzeichen");
    }
    return QString();
}

bool NameMatches(const QString& Pattern, const QString& Name) {
    if (Pattern.isEmpty() || Pattern == QLatin1String("*"))
        return true;
    // The parts between the stars: the first starts the name, the last ends it, the others follow
    // in order, each found as early as it can be (a later part is found at least as easily then).
    const QList<QStringView> Parts = QStringView(Pattern).split(QLatin1Char('*'));
    const QStringView N(Name);
    const QStringView First = Parts.front(), Last = Parts.back();
    if (Parts.size() == 1)
        return N.compare(First, Qt::CaseInsensitive) == 0;
    if (N.size() < First.size() + Last.size() || !N.startsWith(First, Qt::CaseInsensitive) ||
        !N.endsWith(Last, Qt::CaseInsensitive))
        return false;
    qsizetype From = First.size();
    const qsizetype End = N.size() - Last.size();
    for (qsizetype I = 1; I + 1 < Parts.size(); ++I) {
        if (Parts[I].isEmpty())
            continue;
        const qsizetype At = N.left(End).indexOf(Parts[I], From, Qt::CaseInsensitive);
        if (At < 0)
            return false;
        From = At + Parts[I].size();
    }
    return true;
}

int CompareAsRead(const QString& A, const QString& B) {
    static thread_local const QCollator Order = [] {
        QCollator C{QLocale(QLocale::German, QLocale::Germany)};
        C.setCaseSensitivity(Qt::CaseInsensitive);
        C.setNumericMode(true);
        return C;
    }();
    return Order.compare(A, B);
}
