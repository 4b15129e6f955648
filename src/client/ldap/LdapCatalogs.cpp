#include "LdapCatalogs.h"

#include "LdapDirectory.h"

#include <CatalogFields.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <Schema.h>

#include <QDateTime>
#include <QMutexLocker>
#include <QThread>
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

// The gathered values of one object: field name and value as the object holds it.
struct TLdapDirectory::TCatalogObject {
    QString FullName;
    std::vector<std::pair<QString, QByteArray>> Values;
};

// ---------------------------------------------------------------------------------------------
// The runs

TLdapCatalogRuns::TLdapCatalogRuns() {
    FPool.setMaxThreadCount(1);
}

TLdapCatalogRuns::~TLdapCatalogRuns() {
    SetHeld(false);
    FPool.waitForDone();
}

bool TLdapCatalogRuns::Start(const QString& Key, std::function<void()> Work) {
    {
        QMutexLocker Lock(&FMutex);
        if (FRunning.contains(Key))
            return false;
        FRunning.insert(Key);
    }
    FPool.start([this, Key, Work = std::move(Work)] {
        WaitWhileHeld();
        Work();
        QMutexLocker Lock(&FMutex);
        FRunning.remove(Key);
    });
    return true;
}

void TLdapCatalogRuns::WaitForAll() {
    FPool.waitForDone();
}

void TLdapCatalogRuns::SetHeld(bool Held) {
    QMutexLocker Lock(&FMutex);
    FHeld = Held;
    if (!Held)
        FReleased.wakeAll();
}

void TLdapCatalogRuns::WaitWhileHeld() {
    QMutexLocker Lock(&FMutex);
    while (FHeld)
        FReleased.wait(&FMutex);
}

// ---------------------------------------------------------------------------------------------
// The directory's side

bool TLdapDirectory::StartCatalogRefresh(const TObjectRef& Catalog) {
    if (Catalog.Layout != CatalogLayout())
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Katalog").arg(Catalog.FullName));
    if (ReadEntry(Catalog, {QStringLiteral("1.1")}).Dn.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Das Objekt gibt es nicht mehr: %1").arg(Catalog.FullName));
    // The worker never touches this connection: it opens one of its own with the same credentials.
    const std::shared_ptr<TLdapConnection> Own = FConnection.Twin();
    return FCatalogRuns->Start(Catalog.Key.Text.toLower(), [this, Own, Catalog] {
        try {
            RefreshCatalog(*Own, Catalog);
        } catch (...) {
            // Nothing to tell anyone: without a connection the catalog keeps its last state.
        }
    });
}

void TLdapDirectory::WaitForCatalogRefreshes() {
    FCatalogRuns->WaitForAll();
}

void TLdapDirectory::HoldCatalogRefreshes(bool Hold) {
    FCatalogRuns->SetHeld(Hold);
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

void TLdapDirectory::RefreshCatalog(TLdapConnection& C, const TObjectRef& Catalog) {
    const NWFieldType& EndType = *FieldType(EndField);
    TLdapEntry State;
    C.Search(Catalog.Key.Text, TScope::Base, QStringLiteral("(objectClass=*)"),
             {AttributeOf(*FieldType(ScopeField)), AttributeOf(*FieldType(FilterField)),
              AttributeOf(*FieldType(ListField)), AttributeOf(EndType)},
             [&State](const TLdapEntry& E) { State = E; });
    if (State.Dn.isEmpty())
        return; // the catalog is gone

    // End times have whole seconds: a refresh that ended within this very second would get the
    // same end time again, and a watcher could not tell the two apart.
    QDateTime Previous;
    try {
        if (const TLdapAttribute* End = State.Find(AttributeOf(EndType)); End && !End->Values.isEmpty())
            Previous = Schema::DecodeValue(End->Values.front(), EndType, {}).toDateTime();
    } catch (const EDirectoryError&) {
    }
    while (Previous.isValid() && QDateTime::currentSecsSinceEpoch() == Previous.toSecsSinceEpoch())
        QThread::msleep(20);

    const QDateTime Started = QDateTime::currentDateTime();
    const QString Generation = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto Ours = [&Generation](const QString& Name) {
        return Name.startsWith(Generation + QLatin1Char('-'));
    };
    qint64 Result = 0;
    try {
        const std::vector<TCatalogObject> Objects = GatherCatalog(C, State);
        QList<QByteArray> Rows;
        for (const TCatalogObject& O : Objects)
            for (const auto& [Field, Raw] : O.Values)
                Rows << QByteArray::number(Rows.size()) + '\t' + Field.toUtf8() + '\t' + O.FullName.toUtf8() +
                            '\t' + Raw;
        int Entries = 0;
        for (qsizetype First = 0; First < Rows.size(); First += RowsPerEntry, ++Entries) {
            const QString Name = QStringLiteral("%1-%2").arg(Generation).arg(Entries);
            C.Add(QStringLiteral("cn=%1,%2").arg(Name, State.Dn),
                  {{QStringLiteral("objectClass"), {RowsClass.toUtf8()}},
                   {QStringLiteral("cn"), {Name.toUtf8()}},
                   {RowAttribute, Rows.mid(First, RowsPerEntry)}});
        }
        std::vector<TLdapAttribute> Done = CatalogState({{StartField, Started},
                                                         {EndField, QDateTime::currentDateTime()},
                                                         {ObjectsField, qint64(Objects.size())},
                                                         {ValuesField, qint64(Rows.size())},
                                                         {ResultField, qint64(0)}});
        Done.push_back({RowSetAttribute, {QStringLiteral("%1/%2").arg(Generation).arg(Entries).toUtf8()}});
        C.Replace(State.Dn, Done);
    } catch (const EDirectoryError& E) {
        Result = E.Code();
    } catch (const std::exception&) {
        Result = -1;
    }
    if (Result == 0) {
        // The rows of earlier refreshes; should this fail, the next refresh takes them along.
        try {
            DeleteRowEntries(C, State.Dn, [&Ours](const QString& Name) { return !Ours(Name); });
        } catch (const EDirectoryError&) {
        }
        return;
    }
    // A failed refresh leaves the rows and their counts as they were.
    try {
        DeleteRowEntries(C, State.Dn, Ours);
    } catch (const EDirectoryError&) {
    }
    C.Replace(State.Dn,
              CatalogState(
                  {{StartField, Started}, {EndField, QDateTime::currentDateTime()}, {ResultField, Result}}));
}

std::vector<TLdapDirectory::TCatalogObject> TLdapDirectory::GatherCatalog(TLdapConnection& C,
                                                                          const TLdapEntry& State) {
    // Scope: the subtree below each container, or the catalog's whole tree.
    QStringList Bases;
    if (const TLdapAttribute* Scope = State.Find(AttributeOf(*FieldType(ScopeField))))
        for (const QByteArray& V : Scope->Values)
            Bases << QString::fromUtf8(V);
    if (Bases.isEmpty())
        Bases << Settings().Base;

    // Layouts: a filter that names only layouts the directory does not know matches nothing.
    const QString Named = FirstText(State, AttributeOf(*FieldType(FilterField)));
    QStringList Layouts;
    for (const QString& L : Named.split(QLatin1Char(',')))
        if (!L.trimmed().isEmpty())
            Layouts << L.trimmed();
    bool Nothing = false;
    QString Filter = LayoutFilter(Layouts, Nothing);
    if (Nothing || (Layouts.isEmpty() && !Named.trimmed().isEmpty()))
        Filter = QStringLiteral("(!(objectClass=*))");

    // Fields by name, each once; the object's class reads as its layout.
    std::vector<const NWFieldType*> Fields;
    if (const TLdapAttribute* List = State.Find(AttributeOf(*FieldType(ListField))))
        for (const QByteArray& V : List->Values)
            if (const NWFieldType* T = FieldType(QString::fromUtf8(V));
                T && std::find(Fields.begin(), Fields.end(), T) == Fields.end())
                Fields.push_back(T);
    std::sort(Fields.begin(), Fields.end(),
              [](const NWFieldType* A, const NWFieldType* B) { return A->Name < B->Name; });
    QStringList Attributes{QStringLiteral("objectClass")};
    for (const NWFieldType* T : Fields)
        if (const QString A = AttributeOf(*T); !A.isEmpty() && !Attributes.contains(A, Qt::CaseInsensitive))
            Attributes << A;

    std::vector<TCatalogObject> Objects;
    QSet<QString> Seen;
    for (const QString& Base : std::as_const(Bases)) {
        std::vector<Dn::TRdn> Levels;
        const bool Inside = FDns.LevelsOf(Base, Levels);
        if (!Inside || !C.Search(Base, TScope::Subtree, Filter, Attributes, [&](const TLdapEntry& E) {
                const QString Layout = LayoutOfEntry(E);
                const QString Key = E.Dn.toLower();
                if (Layout.isEmpty() || E.Dn.compare(Base, Qt::CaseInsensitive) == 0 || Seen.contains(Key))
                    return;
                Seen.insert(Key);
                TCatalogObject O{FullNameOfDn(E.Dn), {}};
                for (const NWFieldType* T : Fields) {
                    if (T->Name == QLatin1String("Object Class")) {
                        O.Values.push_back({T->Name, Layout.toUtf8()});
                        O.Values.push_back({T->Name, QByteArrayLiteral("Top")});
                    } else if (const TLdapAttribute* A = E.Find(AttributeOf(*T))) {
                        for (const QByteArray& V : A->Values)
                            O.Values.push_back({T->Name, V});
                    }
                }
                Objects.push_back(std::move(O));
            }))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                                QStringLiteral("Der Bereich des Katalogs nennt kein Objekt: %1").arg(Base));
    }
    // The server's order is no order: the rows follow the names.
    std::stable_sort(Objects.begin(), Objects.end(), [](const TCatalogObject& A, const TCatalogObject& B) {
        return A.FullName.compare(B.FullName, Qt::CaseInsensitive) < 0;
    });
    return Objects;
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
