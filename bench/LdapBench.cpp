#include "LdapBench.h"

#include "BenchCommon.h"
#include "CatalogBench.h"

#include <DirectoryClient.h>
#include <LdapDirectory.h>
#include <LdapTestServer.h>
#include <Ldif.h>
#include <SqliteStore.h>
#include <StringList.h>
#include <TreeRouter.h>
#include <ndk_u.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <ldap.h>
#include <limits>
#include <list>

namespace {

[[noreturn]] void Die(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: " << Message << '\n';
    std::exit(2);
}

// The reads done directly with libldap: synchronous calls on one bound connection, each read in
// the fewest requests that give the program's result.
class TLdapFloor {
public:
    TLdapFloor(const TLdapSettings& S, const QString& Password) : FBase(S.Base) {
        if (ldap_initialize(&FLd, S.Url.toUtf8().constData()) != LDAP_SUCCESS)
            Die(QStringLiteral("ldap_initialize"));
        const int Version = LDAP_VERSION3;
        ldap_set_option(FLd, LDAP_OPT_PROTOCOL_VERSION, &Version);
        QByteArray Secret = Password.toUtf8();
        berval Credentials{ber_len_t(Secret.size()), Secret.data()};
        if (ldap_sasl_bind_s(FLd, S.BindDn.toUtf8().constData(), LDAP_SASL_SIMPLE, &Credentials, nullptr,
                             nullptr, nullptr) != LDAP_SUCCESS)
            Die(QStringLiteral("bind"));
    }
    ~TLdapFloor() { ldap_unbind_ext_s(FLd, nullptr, nullptr); }

    QStringList List(const QString& Dn, const QString& FullName, QStringList& FullNames) {
        QStringList Names;
        LDAPMessage* Res = Search(Dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", nullptr);
        for (LDAPMessage* E = ldap_first_entry(FLd, Res); E; E = ldap_next_entry(FLd, E)) {
            Names << Levels(E).back();
            FullNames << FullName + QLatin1Char('\\') + Names.back();
        }
        ldap_msgfree(Res);
        return Names;
    }
    int Count(const QString& Dn) {
        LDAPMessage* Res = Search(Dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", nullptr);
        const int N = ldap_count_entries(FLd, Res);
        ldap_msgfree(Res);
        return N;
    }
    QString Field(const QString& Dn, const char* Attribute) {
        LDAPMessage* Res = Search(Dn, LDAP_SCOPE_BASE, "(objectClass=*)", Attribute);
        QString Value;
        if (LDAPMessage* E = ldap_first_entry(FLd, Res))
            if (berval** V = ldap_get_values_len(FLd, E, Attribute)) {
                Value = QString::fromUtf8(V[0]->bv_val, qsizetype(V[0]->bv_len));
                ldap_value_free_len(V);
            }
        ldap_msgfree(Res);
        return Value;
    }
    QStringList SearchUnit(const QString& Name) {
        const QByteArray Filter = "(&(objectClass=organizationalUnit)(ou=" + Name.toUtf8() + "))";
        LDAPMessage* Res = Search(FBase, LDAP_SCOPE_SUBTREE, Filter.constData(), nullptr);
        QStringList Result;
        for (LDAPMessage* E = ldap_first_entry(FLd, Res); E; E = ldap_next_entry(FLd, E))
            Result << TreeRoot + QLatin1Char('\\') + Levels(E).join(QLatin1Char('\\'));
        ldap_msgfree(Res);
        return Result;
    }

    // The number of values of the attributes that the users below Dn hold, read in one search.
    qint64 UserValues(const QString& Dn, std::vector<const char*> Attributes) {
        Attributes.push_back(nullptr);
        LDAPMessage* Res = nullptr;
        if (ldap_search_ext_s(FLd, Dn.toUtf8().constData(), LDAP_SCOPE_SUBTREE, "(objectClass=inetOrgPerson)",
                              const_cast<char**>(Attributes.data()), 0, nullptr, nullptr, nullptr,
                              LDAP_NO_LIMIT, &Res) != LDAP_SUCCESS)
            Die(QStringLiteral("search below %1").arg(Dn));
        qint64 N = 0;
        for (LDAPMessage* E = ldap_first_entry(FLd, Res); E; E = ldap_next_entry(FLd, E))
            for (const char* const* A = Attributes.data(); *A; ++A)
                if (berval** V = ldap_get_values_len(FLd, E, *A)) {
                    N += ldap_count_values_len(V);
                    ldap_value_free_len(V);
                }
        ldap_msgfree(Res);
        return N;
    }

    // A catalog refresh with the requests the program makes, on the catalog at CatalogDn: the read
    // of the catalog's settings, one search of the values below ScopeDn, the row entries added
    // (RowsPerEntry values each, "<n> TAB <attribute> TAB <DN> TAB <value>"), the modify of the
    // catalog's state that makes them its rows, and the deletion of the rows before. Answers the
    // number of values.
    qint64 CatalogRefresh(const QString& CatalogDn, const QString& ScopeDn,
                          std::vector<const char*> Attributes) {
        const QByteArray Catalog = CatalogDn.toUtf8();
        const char* Settings[] = {"nDSCatCatalogScope", "nDSCatFilter", "nDSCatAttributeList",
                                  "nDSCatActualEndTime", nullptr};
        LDAPMessage* Res = nullptr;
        if (ldap_search_ext_s(FLd, Catalog.constData(), LDAP_SCOPE_BASE, "(objectClass=*)",
                              const_cast<char**>(Settings), 0, nullptr, nullptr, nullptr, LDAP_NO_LIMIT,
                              &Res) != LDAP_SUCCESS)
            Die(QStringLiteral("read %1").arg(CatalogDn));
        ldap_msgfree(Res);

        const QDateTime Start = QDateTime::currentDateTimeUtc();
        Attributes.insert(Attributes.begin(), "objectClass");
        Attributes.push_back(nullptr);
        Res = nullptr;
        if (ldap_search_ext_s(FLd, ScopeDn.toUtf8().constData(), LDAP_SCOPE_SUBTREE,
                              "(objectClass=inetOrgPerson)", const_cast<char**>(Attributes.data()), 0,
                              nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &Res) != LDAP_SUCCESS)
            Die(QStringLiteral("search below %1").arg(ScopeDn));
        QList<QByteArray> Rows;
        qint64 Objects = 0;
        for (LDAPMessage* E = ldap_first_entry(FLd, Res); E; E = ldap_next_entry(FLd, E), ++Objects) {
            char* Dn = ldap_get_dn(FLd, E);
            for (const char* const* A = Attributes.data() + 1; *A; ++A)
                if (berval** V = ldap_get_values_len(FLd, E, *A)) {
                    for (berval** Each = V; *Each; ++Each)
                        Rows << QByteArray::number(Rows.size()) + '\t' + *A + '\t' + Dn + '\t' +
                                    QByteArray((*Each)->bv_val, qsizetype((*Each)->bv_len));
                    ldap_value_free_len(V);
                }
            ldap_memfree(Dn);
        }
        ldap_msgfree(Res);

        const QByteArray Generation = "floor" + QByteArray::number(++FGenerations);
        int Entries = 0;
        for (qsizetype First = 0; First < Rows.size(); First += RowsPerEntry, ++Entries) {
            const QByteArray Name = Generation + '-' + QByteArray::number(Entries);
            std::vector<berval> Values;
            for (qsizetype I = First; I < qMin(Rows.size(), First + RowsPerEntry); ++I)
                Values.push_back(Borrow(Rows[I]));
            std::vector<berval*> ValuePointers;
            for (berval& V : Values)
                ValuePointers.push_back(&V);
            ValuePointers.push_back(nullptr);
            Modifications Add;
            Add.Values(LDAP_MOD_ADD, "objectClass", {"parvonCatalogRows"});
            Add.Values(LDAP_MOD_ADD, "cn", {Name});
            Add.Bervals(LDAP_MOD_ADD, "parvonCatalogRow", ValuePointers.data());
            if (ldap_add_ext_s(FLd, ("cn=" + Name + ',' + Catalog).constData(), Add.List(), nullptr,
                               nullptr) != LDAP_SUCCESS)
                Die(QStringLiteral("add below %1").arg(CatalogDn));
        }

        const QByteArray Time = Start.toString(QStringLiteral("yyyyMMddHHmmss'Z'")).toLatin1();
        const QByteArray End =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss'Z'")).toLatin1();
        Modifications State;
        State.Values(LDAP_MOD_REPLACE, "nDSCatActualStartTime", {Time});
        State.Values(LDAP_MOD_REPLACE, "nDSCatActualEndTime", {End});
        State.Values(LDAP_MOD_REPLACE, "nDSCatActualObjectCount", {QByteArray::number(Objects)});
        State.Values(LDAP_MOD_REPLACE, "nDSCatActualValueCount", {QByteArray::number(Rows.size())});
        State.Values(LDAP_MOD_REPLACE, "nDSCatActualResult", {"0"});
        State.Values(LDAP_MOD_REPLACE, "parvonCatalogRowSet",
                     {Generation + '/' + QByteArray::number(Entries)});
        if (ldap_modify_ext_s(FLd, Catalog.constData(), State.List(), nullptr, nullptr) != LDAP_SUCCESS)
            Die(QStringLiteral("modify %1").arg(CatalogDn));

        char Cn[] = "cn";
        char* Names[] = {Cn, nullptr};
        Res = nullptr;
        if (ldap_search_ext_s(FLd, Catalog.constData(), LDAP_SCOPE_ONELEVEL,
                              "(objectClass=parvonCatalogRows)", Names, 0, nullptr, nullptr, nullptr,
                              LDAP_NO_LIMIT, &Res) != LDAP_SUCCESS)
            Die(QStringLiteral("search below %1").arg(CatalogDn));
        QList<QByteArray> Doomed;
        for (LDAPMessage* E = ldap_first_entry(FLd, Res); E; E = ldap_next_entry(FLd, E)) {
            berval** V = ldap_get_values_len(FLd, E, "cn");
            if (V && !QByteArray((*V)->bv_val, qsizetype((*V)->bv_len)).startsWith(Generation + '-')) {
                char* Dn = ldap_get_dn(FLd, E);
                Doomed << Dn;
                ldap_memfree(Dn);
            }
            ldap_value_free_len(V);
        }
        ldap_msgfree(Res);
        for (const QByteArray& Dn : std::as_const(Doomed))
            if (ldap_delete_ext_s(FLd, Dn.constData(), nullptr, nullptr) != LDAP_SUCCESS)
                Die(QStringLiteral("delete %1").arg(QString::fromUtf8(Dn)));
        return Rows.size();
    }

private:
    static constexpr int RowsPerEntry = 1000;

    static berval Borrow(const QByteArray& Bytes) {
        return berval{ber_len_t(Bytes.size()), const_cast<char*>(Bytes.constData())};
    }
    // The modifications of one add or modify request.
    class Modifications {
    public:
        void Values(int Op, const char* Type, const QList<QByteArray>& Values) {
            FKept.push_back(Values);
            auto& Held = FBervals.emplace_back();
            for (const QByteArray& V : FKept.back())
                Held.push_back(Borrow(V));
            auto& Pointers = FPointers.emplace_back();
            for (berval& B : Held)
                Pointers.push_back(&B);
            Pointers.push_back(nullptr);
            Bervals(Op, Type, Pointers.data());
        }
        void Bervals(int Op, const char* Type, berval** Values) {
            FMods.push_back(LDAPMod{Op | LDAP_MOD_BVALUES, const_cast<char*>(Type), {nullptr}});
            FMods.back().mod_bvalues = Values;
        }
        LDAPMod** List() {
            FList.clear();
            for (LDAPMod& M : FMods)
                FList.push_back(&M);
            FList.push_back(nullptr);
            return FList.data();
        }

    private:
        std::list<QList<QByteArray>> FKept;
        std::list<std::vector<berval>> FBervals;
        std::list<std::vector<berval*>> FPointers;
        std::list<LDAPMod> FMods;
        std::vector<LDAPMod*> FList;
    };

    LDAPMessage* Search(const QString& Dn, int Scope, const char* Filter, const char* Attribute) {
        char NoAttributes[] = "1.1";
        char* Attributes[] = {Attribute ? const_cast<char*>(Attribute) : NoAttributes, nullptr};
        LDAPMessage* Res = nullptr;
        if (ldap_search_ext_s(FLd, Dn.toUtf8().constData(), Scope, Filter, Attributes, 0, nullptr, nullptr,
                              nullptr, LDAP_NO_LIMIT, &Res) != LDAP_SUCCESS)
            Die(QStringLiteral("search below %1").arg(Dn));
        return Res;
    }
    // The RDN values of an entry below the base, top level first.
    QStringList Levels(LDAPMessage* Entry) {
        char* Dn = ldap_get_dn(FLd, Entry);
        LDAPDN Parsed = nullptr;
        ldap_str2dn(Dn, &Parsed, LDAP_DN_FORMAT_LDAPV3);
        ldap_memfree(Dn);
        QStringList L;
        for (LDAPDN R = Parsed; R && *R; ++R)
            L.prepend(QString::fromUtf8((*R)[0]->la_value.bv_val, qsizetype((*R)[0]->la_value.bv_len)));
        ldap_dnfree(Parsed);
        return L.mid(2); // the base's two levels
    }

    LDAP* FLd = nullptr;
    QString FBase;
    int FGenerations = 0;
};

} // namespace

bool BenchLdap(const std::shared_ptr<TSqliteStore>& Store, TDirectoryClient& Built, int Students, int Rounds,
               const QList<int>& Sample) {
    QTemporaryDir Folder;
    const QString LdifFile = Folder.filePath(QStringLiteral("tree.ldif"));
    {
        QFile F(LdifFile);
        if (!F.open(QIODevice::WriteOnly) ||
            F.write(Ldif::ExportTree(Built.Directory(), Built.VolumeStore(), QStringLiteral("SCHULE"))) < 0)
            Die(QStringLiteral("cannot write %1").arg(LdifFile));
    }
    qputenv("PARVON_LDAP_LDIF", LdifFile.toLocal8Bit());
    QElapsedTimer LoadTimer;
    LoadTimer.start();
    QString Why;
    TLdapTestServer* Server = TLdapTestServer::Shared(&Why);
    if (!Server)
        Die(Why);
    Out() << QStringLiteral("\nLDAP server (slapd, back_mdb) loaded with the same directory in %1 s\n")
                 .arg(LoadTimer.nsecsElapsed() / 1e9, 0, 'f', 2);
    Out().flush();

    const TLdapSettings Settings = Server->Settings();
    auto Ldap = std::make_shared<TLdapDirectory>(Settings, Server->Password());
    TDirectoryClient Client(
        std::make_shared<TTreeRouter>(Store, std::vector<TTreeRouter::TRoute>{{Settings.Tree, Ldap}}), Store);
    TNDK Ndk(nullptr, Client);
    TLdapFloor Floor(Settings, Server->Password());

    const QString SchuelerDn = QStringLiteral("ou=schueler,o=unterricht,") + Settings.Base;
    auto ClassDn = [&](int C) {
        return QStringLiteral("ou=") + ClassName(C) + QLatin1Char(',') + SchuelerDn;
    };
    auto UserDn = [&](int C, int S) {
        return QStringLiteral("cn=") + UserName(C, S) + QLatin1Char(',') + ClassDn(C);
    };
    auto Full = [](int C) { return Schueler + QLatin1Char('\\') + ClassName(C); };

    // The two sides must read the same.
    {
        const int C = Sample.back();
        TStringList List;
        Ndk.ListEntries(Full(C), List);
        QStringList FullNames;
        if (List.Texts() != Floor.List(ClassDn(C), Full(C), FullNames) || List.Count() != Students ||
            List.Object(0)->Text != FullNames.first())
            Die(QStringLiteral("ListEntries and libldap disagree"));
        if (Ndk.CountEntries(Full(C)) != Floor.Count(ClassDn(C)))
            Die(QStringLiteral("CountEntries and libldap disagree"));
        if (Ndk.GetFieldValue(Full(C) + QLatin1Char('\\') + UserName(C, 1), QStringLiteral("Full Name")) !=
            Floor.Field(UserDn(C, 1), "fullName"))
            Die(QStringLiteral("GetFieldValue and libldap disagree"));
        TStringList Found;
        Ndk.DottedResults = false;
        Ndk.SearchObjects(QStringLiteral("[ROOT]"), ClassName(C), QStringLiteral("Organizational Unit"),
                          Found);
        if (Found.Texts() != Floor.SearchUnit(ClassName(C)))
            Die(QStringLiteral("SearchObjects and libldap disagree"));
    }

    const QList<TRow> Rows = TimeReads(Ndk, Sample, Students, Rounds,
                                       {[&](int C) {
                                            QStringList FullNames;
                                            Floor.List(ClassDn(C), Full(C), FullNames);
                                        },
                                        [&](int C) { Floor.Count(ClassDn(C)); },
                                        [&](int C, int S) { Floor.Field(UserDn(C, S), "fullName"); },
                                        [&](int C) { Floor.SearchUnit(ClassName(C)); }});
    const bool ReadsMet = PrintRows(Rows, QStringLiteral("libldap"), 1.5);

    // A catalog of every student: its refresh over the server (a worker with its own connection
    // reads the catalog, gathers, writes the rows below the catalog and then the catalog's state,
    // and deletes the rows before) against the same requests made with plain libldap on a catalog
    // of its own.
    const QString Catalog = CreateUserCatalog(Client, Schueler);
    TDirectoryBackend& Directory = Client.Directory();
    const QString FloorCatalogDn =
        Directory.Resolve(CreateUserCatalog(Client, Schueler, QStringLiteral("libldap"))).Key.Text;
    double RefreshBest = std::numeric_limits<double>::max(), FloorBest = RefreshBest;
    qint64 FloorValues = 0;
    for (int I = 0; I < qMin(Rounds, 3); ++I) {
        RefreshBest = qMin(RefreshBest, CatalogRefreshMs(Client, Catalog));
        QElapsedTimer T;
        T.start();
        FloorValues = Floor.CatalogRefresh(FloorCatalogDn, SchuelerDn, {"sn", "givenName", "fullName"});
        FloorBest = qMin(FloorBest, T.nsecsElapsed() / 1e6);
    }
    const TObjectRef Ref = Directory.Resolve(Catalog);
    const std::vector<QVariant> Counted =
        Directory.ReadField(Ref, *Directory.FieldType(QStringLiteral("NDSCAT:Actual Value Count")));
    QElapsedTimer ReadTimer;
    ReadTimer.start();
    const qint64 Read = qint64(Directory.CatalogRows(Ref).size());
    const double ReadMs = ReadTimer.nsecsElapsed() / 1e6;
    if (Counted.empty() || Counted.front().toLongLong() != FloorValues || Read != FloorValues)
        Die(QStringLiteral("the catalog refresh over LDAP gathered %1 values, read back %2, libldap %3")
                .arg(Counted.empty() ? -1 : Counted.front().toLongLong())
                .arg(Read)
                .arg(FloorValues));
    const double Ratio = RefreshBest / FloorBest;
    Out() << QStringLiteral(
                 "Catalog refresh over LDAP (%1 values): %2 ms, libldap %3 ms (read, %4 row entries "
                 "added, state modified, rows before deleted), ratio %5%6; rows read back in %7 ms\n")
                 .arg(FloorValues)
                 .arg(RefreshBest, 0, 'f', 1)
                 .arg(FloorBest, 0, 'f', 1)
                 .arg((FloorValues + 999) / 1000)
                 .arg(Ratio, 0, 'f', 2)
                 .arg(Ratio <= 2.0 ? QString() : QStringLiteral("  (target: at most 2)"))
                 .arg(ReadMs, 0, 'f', 1);
    Out().flush();
    return ReadsMet && Ratio <= 2.0;
}
