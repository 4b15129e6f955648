#include "LdapDirectory.h"

#include <CatalogFields.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <Schema.h>

#include <QSet>
#include <QUuid>
#include <algorithm>

// Catalogs over LDAP. A refresh writes the catalog's rows into entries of the class
// parvonCatalogRows below the catalog, "cn=<generation>-<n>", at most RowsPerEntry rows each; a
// row is one value of parvonCatalogRow: "<number>\t<field>\t<full name>\t<the value as the object
// holds it>". One modify of the catalog then writes its state together with parvonCatalogRowSet,
// "<generation>/<entries>", and so makes the new rows the catalog's; the entries of earlier
// refreshes go after that. A reader sees the rows of one refresh whole, a failed refresh leaves
// the rows as they were, and no request grows with the catalog.

namespace {

using TScope = TLdapConnection::TScope;

using namespace CatalogFields;

const QString RowsClass = QStringLiteral("parvonCatalogRows");
const QString RowAttribute = QStringLiteral("parvonCatalogRow");
const QString RowSetAttribute = QStringLiteral("parvonCatalogRowSet");
constexpr int RowsPerEntry = 1000;

QString FirstText(const TLdapEntry& Entry, const QString& Attribute) {
    const TLdapAttribute* A = Entry.Find(Attribute);
    return A && !A->Values.isEmpty() ? QString::fromUtf8(A->Values.front()) : QString();
}

// Deletes the row entries below a catalog whose name Which selects.
void DeleteRowEntries(TLdapConnection& C, const QString& CatalogDn,
                      const std::function<bool(const QString& Name)>& Which) {
    QStringList Doomed;
    C.Search(CatalogDn, TScope::OneLevel, QStringLiteral("(objectClass=%1)").arg(RowsClass),
             {QStringLiteral("cn")}, [&](const TLdapEntry& E) {
                 if (Which(FirstText(E, QStringLiteral("cn"))))
                     Doomed << E.Dn;
             });
    for (const QString& Dn : std::as_const(Doomed))
        C.Delete(Dn);
}

} // namespace

// The steps of one refresh over a connection of their own. They read no member of the directory
// but the constant ones.
class TLdapDirectory::TCatalogSteps final : public TCatalogRefreshSteps {
public:
    TCatalogSteps(TLdapDirectory& Directory, std::shared_ptr<TLdapConnection> Connection,
                  const TObjectRef& Catalog)
        : D(Directory), FOwn(std::move(Connection)), C(*FOwn), FCatalog(Catalog),
          FGeneration(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

    bool ReadSettings(TCatalogSettings& Out) override {
        const NWFieldType& EndType = *D.FieldType(EndField);
        const QString Scope = D.AttributeOf(*D.FieldType(ScopeField));
        const QString Filter = D.AttributeOf(*D.FieldType(FilterField));
        const QString List = D.AttributeOf(*D.FieldType(ListField));
        const QString End = D.AttributeOf(EndType);
        TLdapEntry State;
        C.Search(FCatalog.Key.Text, TScope::Base, QStringLiteral("(objectClass=*)"),
                 {Scope, Filter, List, End}, [&State](const TLdapEntry& E) { State = E; });
        if (State.Dn.isEmpty())
            return false;
        FDn = State.Dn;
        if (const TLdapAttribute* A = State.Find(Scope))
            for (const QByteArray& V : A->Values)
                Out.Scope << QString::fromUtf8(V);
        Out.Filter = FirstText(State, Filter);
        if (const TLdapAttribute* A = State.Find(List))
            for (const QByteArray& V : A->Values)
                Out.Fields << QString::fromUtf8(V);
        try {
            if (const TLdapAttribute* A = State.Find(End); A && !A->Values.isEmpty())
                Out.LastEnd = Schema::DecodeValue(A->Values.front(), EndType, {}).toDateTime();
        } catch (const EDirectoryError&) {
        }
        return true;
    }

    const NWFieldType* FieldType(const QString& Field) override { return D.FieldType(Field); }

    TCatalogCounts GatherRows(const TCatalogPlan& Plan) override {
        const std::vector<TObject> Objects = Gather(Plan);
        QList<QByteArray> Rows;
        for (const TObject& O : Objects)
            for (const auto& [Field, Raw] : O.Values)
                Rows << QByteArray::number(Rows.size()) + '\t' + Field + '\t' + O.FullName + '\t' + Raw;
        for (qsizetype First = 0; First < Rows.size(); First += RowsPerEntry, ++FEntries) {
            const QString Name = QStringLiteral("%1-%2").arg(FGeneration).arg(FEntries);
            C.Add(QStringLiteral("cn=%1,%2").arg(Name, FDn),
                  {{QStringLiteral("objectClass"), {RowsClass.toUtf8()}},
                   {QStringLiteral("cn"), {Name.toUtf8()}},
                   {RowAttribute, Rows.mid(First, RowsPerEntry)}});
        }
        return {qint64(Objects.size()), qint64(Rows.size())};
    }

    void Publish(const std::vector<TFieldWrite>& State) override {
        std::vector<TLdapAttribute> Done = D.CatalogState(State);
        Done.push_back({RowSetAttribute, {QStringLiteral("%1/%2").arg(FGeneration).arg(FEntries).toUtf8()}});
        C.Replace(FDn, Done);
        // The rows of earlier refreshes; should this fail, the next refresh takes them along.
        try {
            DeleteRowEntries(C, FDn, [this](const QString& Name) { return !Ours(Name); });
        } catch (const EDirectoryError&) {
        }
    }

    void Discard() override {
        DeleteRowEntries(C, FDn, [this](const QString& Name) { return Ours(Name); });
    }

    void WriteFailure(const std::vector<TFieldWrite>& State) override {
        C.Replace(FDn, D.CatalogState(State));
    }

private:
    // The gathered values of one object: field name and value as the object holds it.
    struct TObject {
        QByteArray FullName;
        QString SortKey; // the full name case-folded
        std::vector<std::pair<QByteArray, QByteArray>> Values;
    };

    bool Ours(const QString& Name) const { return Name.startsWith(FGeneration + QLatin1Char('-')); }

    std::vector<TObject> Gather(const TCatalogPlan& Plan) {
        // Scope: the subtree below each container, or the catalog's whole tree.
        QStringList Bases = Plan.Scope;
        if (Bases.isEmpty())
            Bases << D.Settings().Base;
        bool Nothing = Plan.NoLayout;
        QString Filter = Nothing ? QString() : D.LayoutFilter(Plan.Layouts, Nothing);
        if (Nothing)
            Filter = QStringLiteral("(!(objectClass=*))");
        // The object's class reads as its layout.
        QStringList Attributes{QStringLiteral("objectClass")};
        std::vector<std::pair<QByteArray, QString>> Fields; // name, attribute ("" for the class)
        for (const NWFieldType* T : Plan.Fields) {
            const QString A = T->Name == QLatin1String("Object Class") ? QString() : D.AttributeOf(*T);
            Fields.push_back({T->Name.toUtf8(), A});
            if (!A.isEmpty() && !Attributes.contains(A, Qt::CaseInsensitive))
                Attributes << A;
        }

        std::vector<TObject> Objects;
        QSet<QString> Seen;
        for (const QString& Base : std::as_const(Bases)) {
            std::vector<Dn::TRdn> Levels;
            const bool Inside = D.FDns.LevelsOf(Base, Levels);
            if (!Inside || !C.Search(Base, TScope::Subtree, Filter, Attributes, [&](const TLdapEntry& E) {
                    const QString Layout = D.LayoutOfEntry(E);
                    if (Layout.isEmpty() || E.Dn.compare(Base, Qt::CaseInsensitive) == 0)
                        return;
                    if (Bases.size() > 1) {
                        const QString Key = E.Dn.toLower();
                        if (Seen.contains(Key))
                            return;
                        Seen.insert(Key);
                    }
                    const QString FullName = D.FullNameOfDn(E.Dn);
                    TObject O{FullName.toUtf8(), FullName.toCaseFolded(), {}};
                    for (const auto& [Name, Attribute] : Fields) {
                        if (Attribute.isEmpty()) {
                            O.Values.push_back({Name, Layout.toUtf8()});
                            O.Values.push_back({Name, QByteArrayLiteral("Top")});
                        } else if (const TLdapAttribute* A = E.Find(Attribute)) {
                            for (const QByteArray& V : A->Values)
                                O.Values.push_back({Name, V});
                        }
                    }
                    Objects.push_back(std::move(O));
                }))
                ThrowDirectoryError(
                    ERR_NO_SUCH_ENTRY,
                    QStringLiteral("Der Bereich des Katalogs nennt kein Objekt: %1").arg(Base));
        }
        // The server's order is no order: the rows follow the names.
        std::stable_sort(Objects.begin(), Objects.end(),
                         [](const TObject& A, const TObject& B) { return A.SortKey < B.SortKey; });
        return Objects;
    }

    TLdapDirectory& D;
    std::shared_ptr<TLdapConnection> FOwn;
    TLdapConnection& C;
    TObjectRef FCatalog;
    const QString FGeneration;
    QString FDn;      // the catalog's entry
    int FEntries = 0; // row entries added
};

// ---------------------------------------------------------------------------------------------
// The directory's side

bool TLdapDirectory::StartCatalogRefresh(const TObjectRef& Catalog) {
    if (Catalog.Layout != CatalogLayout())
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Katalog").arg(Catalog.FullName));
    if (ReadEntry(Catalog, {QStringLiteral("1.1")}).Dn.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Das Objekt gibt es nicht mehr: %1").arg(Catalog.FullName));
    // The worker never touches this connection: it keeps one of its own with the same credentials,
    // which only it uses, one refresh after the other.
    if (!FRefreshConnection)
        FRefreshConnection = FConnection.Twin();
    return FCatalogRefreshes->Start(Catalog.Key.Text.toLower(), [this, Own = FRefreshConnection, Catalog] {
        return std::make_unique<TCatalogSteps>(*this, Own, Catalog);
    });
}

void TLdapDirectory::WaitForCatalogRefreshes() {
    FCatalogRefreshes->WaitForAll();
}

void TLdapDirectory::HoldCatalogRefreshes(bool Hold) {
    FCatalogRefreshes->SetHeld(Hold);
}

void TLdapDirectory::DeleteCatalogRows(const QString& CatalogDn) {
    DeleteRowEntries(FConnection, CatalogDn, [](const QString&) { return true; });
}

std::vector<TLdapAttribute> TLdapDirectory::CatalogState(const std::vector<TFieldWrite>& Fields) {
    std::vector<TLdapAttribute> Attributes;
    for (const TFieldWrite& F : Fields) {
        const NWFieldType& Type = *FieldType(F.Field);
        Attributes.push_back({AttributeOf(Type), {Schema::EncodeValue(F.Value, Type, {})}});
    }
    return Attributes;
}

std::vector<TCatalogRow> TLdapDirectory::CatalogRows(const TObjectRef& Catalog) {
    // A refresh that ends while the rows are read replaces them: then read the new ones.
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        const TLdapEntry Entry = ReadEntry(Catalog, {RowSetAttribute});
        if (Entry.Dn.isEmpty())
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                                QStringLiteral("Das Objekt gibt es nicht mehr: %1").arg(Catalog.FullName));
        const QString Set = FirstText(Entry, RowSetAttribute);
        if (Set.isEmpty())
            return {};
        const QString Generation = Set.section(QLatin1Char('/'), 0, 0);
        const int Expected = Set.section(QLatin1Char('/'), 1).toInt();
        int Found = 0;
        std::vector<std::pair<qint64, TCatalogRow>> Rows;
        bool Faulty = false;
        FConnection.Search(
            Entry.Dn, TScope::OneLevel,
            QStringLiteral("(&(objectClass=%1)(cn=%2-*))")
                .arg(RowsClass, TLdapConnection::FilterValue(Generation)),
            {RowAttribute}, [&](const TLdapEntry& E) {
                ++Found;
                const TLdapAttribute* A = E.Find(RowAttribute);
                for (const QByteArray& V : A ? A->Values : QList<QByteArray>()) {
                    const qsizetype T1 = V.indexOf('\t'), T2 = V.indexOf('\t', T1 + 1),
                                    T3 = V.indexOf('\t', T2 + 1);
                    if (T1 < 0 || T2 < 0 || T3 < 0) {
                        Faulty = true;
                        continue;
                    }
                    TCatalogRow R{QString::fromUtf8(V.mid(T2 + 1, T3 - T2 - 1)),
                                  QString::fromUtf8(V.mid(T1 + 1, T2 - T1 - 1)), QVariant()};
                    const QByteArray Raw = V.mid(T3 + 1);
                    const NWFieldType* Type = FieldType(R.Field);
                    try {
                        const std::vector<QVariant> Typed =
                            Type ? Decode(*Type, {Raw}) : std::vector<QVariant>();
                        R.Value = Typed.empty() ? QVariant(QString::fromUtf8(Raw)) : Typed.front();
                    } catch (const EDirectoryError&) {
                        R.Value = QString::fromUtf8(Raw); // a value the field's syntax no longer takes
                    }
                    Rows.push_back({V.left(T1).toLongLong(), std::move(R)});
                }
            });
        if (Found != Expected)
            continue;
        if (Faulty)
            ThrowDirectoryError(
                ERR_SYNTAX_VIOLATION,
                QStringLiteral("Die Zeilen des Katalogs %1 sind beschädigt").arg(Catalog.FullName));
        std::sort(Rows.begin(), Rows.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
        std::vector<TCatalogRow> Result;
        Result.reserve(Rows.size());
        for (auto& [Number, Row] : Rows)
            Result.push_back(std::move(Row));
        return Result;
    }
    ThrowDirectoryError(ERR_TRANSPORT_FAILURE,
                        QStringLiteral("Die Zeilen des Katalogs %1 änderten sich beim Lesen immer wieder")
                            .arg(Catalog.FullName));
}
