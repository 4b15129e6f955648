#include "SqliteParts.h"

#include <EDirectoryError.h>
#include <FieldValues.h>
#include <NWNetAddress.h>
#include <Syntax.h>

#include <QRandomGenerator>
#include <QSet>
#include <algorithm>

namespace {

NWNetAddress ParseStoredAddress(const QString& Text) {
    const qsizetype Hash = Text.indexOf(QLatin1Char('#'));
    if (Hash < 0)
        return NWNetAddress();
    return NWNetAddress(Text.left(Hash).toInt(), QByteArray::fromHex(Text.mid(Hash + 1).toLatin1()));
}

QVariant FromStored(TSyntaxKind Kind, const QVariant& Stored) {
    switch (Kind) {
    case TSyntaxKind::Integer:
        return QVariant(Stored.toLongLong());
    case TSyntaxKind::Boolean:
        return QVariant(Stored.toLongLong() != 0);
    case TSyntaxKind::Time:
        return QVariant(QDateTime::fromSecsSinceEpoch(Stored.toLongLong()));
    case TSyntaxKind::NetAddress:
        return QVariant::fromValue(ParseStoredAddress(Stored.toString()));
    case TSyntaxKind::Octets:
        return QVariant(Stored.toByteArray());
    default:
        return QVariant(Stored.toString());
    }
}

// "(?, ?, ...)" repeated: one statement for many rows.
QString Placeholders(int Rows, int Columns) {
    const QString Row = QStringLiteral("(?") + QStringLiteral(", ?").repeated(Columns - 1) + QLatin1Char(')');
    QStringList L;
    for (int I = 0; I < Rows; ++I)
        L.append(Row);
    return L.join(QStringLiteral(", "));
}
constexpr int RowsPerInsert = 32;

} // namespace

TSqliteFields::TSqliteFields(TSqlConnection& Db, TSqliteObjects& Objects, TSqliteSettings& Settings)
    : Db(Db), Objects(Objects), Settings(Settings) {
    // Only a type added in the transaction goes with its rollback.
    Db.OnRollback([this] {
        if (!FTypesUncommitted)
            return;
        FTypesUncommitted = false;
        try {
            LoadSchema();
        } catch (...) {
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Schema

void TSqliteFields::LoadSchema() {
    static const TStatement Select(
        "SELECT name, syntax, single_valued, max_length FROM field_types ORDER BY seq");
    std::vector<NWFieldType> Types;
    QHash<QString, int> Index;
    TQuery Q(Db, Select);
    while (Q.Next()) {
        NWFieldType T;
        T.Name = Q.Value(0).toString();
        T.Syntax = Q.Value(1).toString();
        T.SingleValued = Q.Value(2).toBool();
        T.MaxLength = Q.Value(3).toInt();
        Index.insert(T.Name.toUpper(), int(Types.size()));
        Types.push_back(T);
    }
    FTypes = std::move(Types);
    FTypeIndex = std::move(Index);
}

const NWFieldType* TSqliteFields::Type(const QString& Field) const {
    auto It = FTypeIndex.constFind(Field.toUpper());
    return It == FTypeIndex.constEnd() ? nullptr : &FTypes[size_t(*It)];
}

void TSqliteFields::AddType(const QString& Name, const QString& Syntax, bool SingleValued, int MaxLength) {
    if (Name.trimmed().isEmpty() || Name.trimmed() != Name)
        ThrowDirectoryError(ERR_ILLEGAL_ATTRIBUTE, QStringLiteral("Unzulässiger Feldname \"%1\"").arg(Name));
    if (!IsKnownSyntax(Syntax))
        ThrowDirectoryError(ERR_SYNTAX_VIOLATION, QStringLiteral("Unbekannte Syntax \"%1\"").arg(Syntax));
    if (Type(Name))
        ThrowDirectoryError(ERR_ATTRIBUTE_ALREADY_EXISTS,
                            QStringLiteral("Das Feld gibt es bereits: %1").arg(Name));
    static const TStatement Insert("INSERT INTO field_types(name, syntax, single_valued, max_length, seq) "
                                   "VALUES(?, ?, ?, ?, (SELECT COALESCE(MAX(seq), 0) + 1 FROM field_types))");
    TSqlTransaction T(Db);
    TQuery(Db, Insert, Name, Syntax, SingleValued ? 1 : 0, qMax(0, MaxLength));
    T.Commit();
    FTypesUncommitted = FTypesUncommitted || Db.InTransaction();
    LoadSchema();
}

// ---------------------------------------------------------------------------------------------
// Reading

std::vector<QVariant> TSqliteFields::Stored(qint64 Object, const QString& Field) {
    static const TStatement Select(
        "SELECT value FROM field_values WHERE object_id=? AND field=? ORDER BY idx");
    TQuery Q(Db, Select, Object, Field);
    std::vector<QVariant> Values;
    while (Q.Next())
        Values.push_back(Q.Value(0));
    return Values;
}

std::vector<QVariant> TSqliteFields::Read(qint64 Object, const NWFieldType& Type) {
    std::vector<QVariant> Values = Stored(Object, Type.Name);
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    for (QVariant& V : Values)
        V = FromStored(Kind, V);
    return Values;
}

QVariant TSqliteFields::Typed(const QString& Field, const QVariant& Stored) const {
    const NWFieldType* T = Type(Field);
    return FromStored(T ? KindOfSyntax(T->Syntax) : TSyntaxKind::Text, Stored);
}

std::vector<TFieldValues> TSqliteFields::ReadAll(qint64 Object) {
    static const TStatement Select("SELECT field, value FROM field_values WHERE object_id=? "
                                   "ORDER BY ord, field, idx");
    std::vector<TFieldValues> Fields;
    TQuery Q(Db, Select, Object);
    const NWFieldType* Current = nullptr;
    TSyntaxKind Kind = TSyntaxKind::Text;
    while (Q.Next()) {
        const QString Field = Q.Value(0).toString();
        if (Fields.empty() || Fields.back().Field != Field) {
            Fields.push_back({Field, {}});
            Current = Type(Field);
            Kind = Current ? KindOfSyntax(Current->Syntax) : TSyntaxKind::Text;
        }
        Fields.back().Values.push_back(FromStored(Kind, Q.Value(1)));
    }
    return Fields;
}

QStringList TSqliteFields::Names(qint64 Object) {
    static const TStatement Select(
        "SELECT field FROM field_values WHERE object_id=? GROUP BY field ORDER BY MIN(ord)");
    TQuery Q(Db, Select, Object);
    QStringList Names;
    while (Q.Next())
        Names.append(Q.Value(0).toString());
    return Names;
}

// ---------------------------------------------------------------------------------------------
// Writing

std::vector<TSqliteFields::TWrite> TSqliteFields::Convert(const std::vector<TFieldWrite>& Fields) {
    const auto Merged = MergeFieldWrites(Fields, [this](const QString& Field) { return Type(Field); });
    std::vector<TWrite> Writes;
    Writes.reserve(Merged.size());
    for (const auto& [T, Value] : Merged)
        Writes.push_back({T, ToStored(*T, Value)});
    return Writes;
}

void TSqliteFields::Write(qint64 Object, const std::vector<TWrite>& Writes) {
    WriteRows(Object, Writes, true, false);
}

void TSqliteFields::WriteNew(const TObjectRef& Object, const std::vector<TWrite>& Given) {
    // The fields the directory keeps itself, unless given.
    std::vector<TWrite> All;
    All.reserve(Given.size() + 5);
    auto IsGiven = [&](const char* Field) {
        return std::any_of(Given.begin(), Given.end(),
                           [&](const TWrite& W) { return W.Type->Name == QLatin1String(Field); });
    };
    const QString Identity = Settings.Identity();
    if (!Identity.isEmpty()) {
        if (!IsGiven("creatorsName"))
            All.push_back({Type(QStringLiteral("creatorsName")), {Identity}});
        if (!IsGiven("modifiersName"))
            All.push_back({Type(QStringLiteral("modifiersName")), {Identity}});
    }
    if (!IsGiven("GUID")) {
        QByteArray Guid(16, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(Guid.data()), 4);
        All.push_back({Type(QStringLiteral("GUID")), {Guid}});
    }
    if (!IsGiven("Revision"))
        All.push_back({Type(QStringLiteral("Revision")), {qint64(1)}});
    if (!IsGiven("Object Class"))
        All.push_back({Type(QStringLiteral("Object Class")), {Object.Layout, QStringLiteral("Top")}});
    All.insert(All.end(), Given.begin(), Given.end());
    WriteRows(Object.Key.Id, All, false, true);
}

std::vector<TSqliteFields::TWrite> TSqliteFields::TemplateFields(qint64 Template, const QString& Except) {
    std::vector<TWrite> Writes;
    for (const QString& Field : Names(Template)) {
        if (IsOperationalField(Field) || Field == Except)
            continue;
        if (const NWFieldType* T = Type(Field))
            Writes.push_back({T, Stored(Template, Field)});
    }
    return Writes;
}

void TSqliteFields::WriteRows(qint64 Object, const std::vector<TWrite>& Writes, bool Maintain, bool Fresh) {
    std::vector<TWrite> All(Writes);
    QSet<QString> Written;
    for (const TWrite& W : Writes)
        Written.insert(W.Type->Name);
    if (Maintain) {
        const QString Identity = Settings.Identity();
        if (!Identity.isEmpty() && !Written.contains(QStringLiteral("modifiersName")))
            All.push_back({Type(QStringLiteral("modifiersName")), {Identity}});
    }
    if (All.empty())
        return;

    QHash<QString, qint64> Ords;
    qint64 MaxOrd = 0;
    if (!Fresh) {
        static const TStatement Places(
            "SELECT field, MIN(ord) FROM field_values WHERE object_id=? GROUP BY field");
        {
            TQuery Q(Db, Places, Object);
            while (Q.Next()) {
                const qint64 Ord = Q.Value(1).toLongLong();
                Ords.insert(Q.Value(0).toString(), Ord);
                MaxOrd = qMax(MaxOrd, Ord);
            }
        }
        // Away with the old values of every written field, in one statement.
        QVariantList Args{Object};
        for (const TWrite& W : All)
            Args.append(W.Type->Name);
        TQuery(Db,
               QStringLiteral("DELETE FROM field_values WHERE object_id=? AND field IN (?") +
                   QStringLiteral(", ?").repeated(qsizetype(All.size()) - 1) + QLatin1Char(')'),
               Args);
    }

    // The new values, many rows per statement.
    QVariantList Rows;
    int RowCount = 0;
    auto Flush = [&] {
        if (!RowCount)
            return;
        TQuery(Db,
               QStringLiteral("INSERT INTO field_values(object_id, field, ord, idx, value) VALUES ") +
                   Placeholders(RowCount, 5),
               Rows);
        Rows.clear();
        RowCount = 0;
    };
    for (const TWrite& W : All) {
        if (W.Values.empty())
            continue;
        auto It = Ords.find(W.Type->Name);
        const qint64 Ord = It != Ords.end() ? *It : ++MaxOrd;
        qint64 Index = 0;
        for (const QVariant& V : W.Values) {
            Rows << Object << W.Type->Name << Ord << Index++ << V;
            if (++RowCount == RowsPerInsert)
                Flush();
        }
    }
    Flush();

    if (Maintain && !Written.contains(QStringLiteral("Revision"))) {
        static const TStatement Bump(
            "UPDATE field_values SET value=value+1 WHERE object_id=? AND field='Revision'");
        static const TStatement First(
            "INSERT INTO field_values(object_id, field, ord, idx, value) VALUES(?, 'Revision', ?, 0, 1)");
        if (TQuery(Db, Bump, Object).RowsAffected() <= 0)
            TQuery(Db, First, Object, MaxOrd + 1);
    }
}
