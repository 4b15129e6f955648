// The lists of parvon-bench: the class overview, the student list and its printout.

#include "BenchReports.h"

#include <DirectoryClient.h>
#include <DruckTitel.h>
#include <KlassenListe_U.h>
#include <Konfiguration.h>
#include <NWFileSystem.h>
#include <NWVolAdm.h>
#include <PosixVolumes.h>
#include <PrintDialog.h>
#include <PrintRecorder.h>
#include <SchuelerListe_U.h>
#include <SqliteStore.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QCollator>
#include <QFileInfo>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

const QString Volume = QStringLiteral("\\\\SRV1\\DATA");
const QString TauschBase = Volume + QStringLiteral("\\Tausch");

[[noreturn]] void Fail(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: " << Message << '\n';
    std::exit(2);
}

// The levels of a full name below its tree, upper-cased as the store keys them.
QString Key(const QString& FullName) {
    return FullName.section(QLatin1Char('\\'), 3).toUpper();
}

// Every class gets its exchange folder with read and file-scan rights for the class.
void ExchangeFolders(TSqliteStore& Store, TDirectoryClient& Client, TNDK& Ndk, const QString& Schueler) {
    TVolume Data;
    Data.Server = QStringLiteral("SRV1");
    Data.Volume = QStringLiteral("DATA");
    Store.AddVolume(Data);
    TStringList Classes;
    Ndk.SetFilters(QStringLiteral("Organizational Unit"));
    Ndk.ListEntries(Schueler, Classes);
    Ndk.SetFilters(QString());
    TDirectoryTransaction T(Store);
    NWVolAdm Admin(Client);
    Admin.SetFullName(Volume);
    for (int I = 0; I < Classes.Count(); ++I) {
        const QString Folder = TauschBase + u'\\' + Classes.Text(I);
        if (!NWFileSystem::ForceDirectories(Client, Folder))
            Fail(QStringLiteral("cannot create %1").arg(Folder));
        NWRights Rights = Admin.GetDirectoryEntry(Folder)->Trustees().Add(Classes.Object(I)->Text)->Rights();
        Rights.SetRight(TRight::Read, true);
        Rights.SetRight(TRight::FileScan, true);
    }
    T.Commit();
}

// The same exchange folders on real folders below Root: flags and trustees in extended attributes,
// the ACL set, through the POSIX volume store.
void PosixExchangeFolders(TPosixVolumes& Posix, TNDK& Ndk, const QString& Schueler) {
    TStringList Classes;
    Ndk.SetFilters(QStringLiteral("Organizational Unit"));
    Ndk.ListEntries(Schueler, Classes);
    Ndk.SetFilters(QString());
    for (int I = 0; I < Classes.Count(); ++I) {
        const QString Folder = TauschBase + u'\\' + Classes.Text(I);
        if (!Posix.CreateFolder(Folder))
            Fail(QStringLiteral("cannot create %1").arg(Folder));
        Posix.AssignTrustee(Posix.OpenFolder(Folder), Classes.Object(I)->Text, 0x041);
    }
}

// The same work in plain SQL and file-system calls, on a connection of its own. With PosixRoot the
// exchange folders are real folders there, their rights read from the extended attribute.
class TRawLists {
public:
    TRawLists(TSqliteStore& Store, const QString& Schueler, const QString& PosixRoot = QString())
        : FSchueler(Schueler), FPosix(!PosixRoot.isEmpty()) {
        FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection());
        FDb.setDatabaseName(Store.Folder() + QStringLiteral("/directory.db"));
        if (!FDb.open())
            Fail(FDb.lastError().text());
        FRoot = FPosix ? PosixRoot : Store.Volumes().front().RootFolder;
        Prepare(FResolve, "SELECT id, tree_id FROM objects WHERE path=?");
        Prepare(FClasses,
                "SELECT name FROM objects WHERE parent_id=? AND layout='Organizational Unit' ORDER BY id");
        Prepare(FCount, "SELECT COUNT(*) FROM objects WHERE parent_id=? AND layout=?");
        Prepare(FClassCount,
                "SELECT COUNT(*) FROM objects WHERE parent_id=(SELECT id FROM objects WHERE tree_id=? "
                "AND path=?) AND layout='User'");
        Prepare(FRights, "SELECT t.rights FROM trustees t JOIN folders f ON f.id=t.folder_id "
                         "WHERE f.volume_id=1 AND f.path=? AND t.utrustee=?");
        Prepare(FStudents,
                "SELECT o.name, (SELECT value FROM field_values WHERE object_id=o.id AND field='Full Name' "
                "ORDER BY idx LIMIT 1), (SELECT value FROM field_values WHERE object_id=o.id AND "
                "field='Surname' ORDER BY idx LIMIT 1) FROM objects o WHERE o.parent_id=(SELECT id FROM "
                "objects WHERE tree_id=? AND path=?) AND o.layout='User' ORDER BY o.id");
        FCollator.setCaseSensitivity(Qt::CaseInsensitive);
    }
    ~TRawLists() {
        for (QSqlQuery* Q : {&FResolve, &FClasses, &FCount, &FClassCount, &FRights, &FStudents})
            *Q = QSqlQuery();
        FDb.close();
        FDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(Connection());
    }

    // The rows of the overview: name, students, exchange folder, rights.
    QList<QStringList> Overview() {
        Exec(FResolve, {Key(FSchueler)});
        if (!FResolve.next())
            Fail(QStringLiteral("no student container"));
        const qint64 Id = FResolve.value(0).toLongLong();
        FTree = FResolve.value(1).toLongLong();
        FResolve.finish();
        QStringList Names;
        Exec(FClasses, {Id});
        while (FClasses.next())
            Names << FClasses.value(0).toString();
        FClasses.finish();
        std::sort(Names.begin(), Names.end(),
                  [this](const QString& A, const QString& B) { return FCollator(A, B); });
        Exec(FCount, {Id, QStringLiteral("Organizational Unit")});
        FCount.next();
        FCount.finish();
        QList<QStringList> Rows;
        Rows.reserve(Names.size());
        for (const QString& Name : std::as_const(Names)) {
            const QString Class = Key(FSchueler) + u'\\' + Name.toUpper();
            QString Rights;
            if (FPosix) {
                const QByteArray Path = QFile::encodeName(FRoot + QStringLiteral("/Tausch/") + Name);
                struct stat St {};
                const bool Exists = stat(Path.constData(), &St) == 0 && S_ISDIR(St.st_mode);
                if (Exists)
                    Rights = XattrRights(Path, FSchueler + u'\\' + Name);
                Exec(FClassCount, {FTree, Class});
                const int Count = FClassCount.next() ? FClassCount.value(0).toInt() : 0;
                FClassCount.finish();
                Rows << QStringList{Name, Count ? QString::number(Count) : QStringLiteral("-"),
                                    Exists ? QStringLiteral("ja") : QStringLiteral("-"), Rights};
                continue;
            }
            const bool Exists = QFileInfo(FRoot + QStringLiteral("/Tausch/") + Name).isDir();
            if (Exists) {
                Exec(FRights,
                     {QStringLiteral("TAUSCH\\") + Name.toUpper(), (FSchueler + u'\\' + Name).toUpper()});
                if (FRights.next())
                    Rights = Letters(FRights.value(0).toInt());
                FRights.finish();
            }
            Exec(FClassCount, {FTree, Class});
            const int Count = FClassCount.next() ? FClassCount.value(0).toInt() : 0;
            FClassCount.finish();
            Rows << QStringList{Name, Count ? QString::number(Count) : QStringLiteral("-"),
                                Exists ? QStringLiteral("ja") : QStringLiteral("-"), Rights};
        }
        return Rows;
    }

    // The lines of a class's student list.
    QStringList Students(const QString& Class) {
        Exec(FStudents, {FTree, Key(Class)});
        QStringList Lines;
        while (FStudents.next()) {
            QString Name = FStudents.value(1).toString();
            if (Name.isEmpty())
                Name = FStudents.value(2).toString();
            Lines << u' ' + Name.leftJustified(28) + u' ' + FStudents.value(0).toString().leftJustified(10);
        }
        FStudents.finish();
        return Lines;
    }

private:
    QString Connection() const {
        return FPosix ? QStringLiteral("bench_posix") : QStringLiteral("bench_lists");
    }
    // The rights of the trustee's line in the folder's attribute, "" when it holds none.
    static QString XattrRights(const QByteArray& Path, const QString& Trustee) {
        char Buffer[4096];
        const ssize_t N = getxattr(Path.constData(), "user.parvon.trustees", Buffer, sizeof Buffer);
        if (N <= 0)
            return QString();
        for (const QString& Line : QString::fromUtf8(Buffer, N).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList F = Line.split(u'\t');
            if (F.size() == 3 && F[2].compare(Trustee, Qt::CaseInsensitive) == 0)
                return F[0];
        }
        return QString();
    }
    static QString Letters(int Mask) {
        static const std::pair<int, char16_t> Order[] = {{0x100, u'S'}, {0x001, u'R'}, {0x002, u'W'},
                                                         {0x010, u'E'}, {0x008, u'C'}, {0x080, u'M'},
                                                         {0x040, u'F'}, {0x020, u'A'}};
        QString Text;
        for (const auto& [Bit, Letter] : Order)
            Text += (Mask & Bit) ? QChar(Letter) : QChar(u'-');
        return Text;
    }
    void Prepare(QSqlQuery& Q, const char* Sql) {
        Q = QSqlQuery(FDb);
        Q.setForwardOnly(true);
        if (!Q.prepare(QString::fromLatin1(Sql)))
            Fail(Q.lastError().text());
    }
    static void Exec(QSqlQuery& Q, const QVariantList& Args) {
        for (int I = 0; I < Args.size(); ++I)
            Q.bindValue(I, Args[I]);
        if (!Q.exec())
            Fail(Q.lastError().text());
    }

    QSqlDatabase FDb;
    QString FSchueler, FRoot;
    bool FPosix = false;
    qint64 FTree = 0;
    QCollator FCollator;
    QSqlQuery FResolve, FClasses, FCount, FClassCount, FRights, FStudents;
};

QList<QStringList> GridRows(const QTableWidget& Grid) {
    QList<QStringList> Rows;
    for (int R = 0; R < Grid.rowCount(); ++R) {
        QStringList Row;
        for (int C = 0; C < Grid.columnCount(); ++C)
            Row << (Grid.item(R, C) ? Grid.item(R, C)->text() : QString());
        Rows << Row;
    }
    return Rows;
}

} // namespace

QList<TBenchZeile> BenchReports(TSqliteStore& Store, TDirectoryClient& Client, TNDK& Ndk,
                                const QString& Schueler, int Students, const TZeitnehmer& Zeit) {
    ExchangeFolders(Store, Client, Ndk, Schueler);
    TRawLists Raw(Store, Schueler);

    TKonfiguration K;
    K.ouSchueler = Schueler;
    K.TauschBase = TauschBase;
    TPrintDialog PrintDialog1;
    QString SelectedClass;
    TDruckTitel Titel;
    TKlassenListeTab Overview(K, &Ndk, PrintDialog1);
    TSchuelerListeTab List(K, &Ndk, SelectedClass, Titel, PrintDialog1);
    TPrintRecorder Paper;
    TPrintDialog::SetRecorder(&Paper);

    // Both sides must read the same.
    const QList<QStringList> Expected = Raw.Overview();
    Overview.TabListeKlassenShow();
    if (GridRows(*Overview.findChild<QTableWidget*>(QStringLiteral("sgKlassen"))) != Expected)
        Fail(QStringLiteral("the class overview and SQL disagree"));
    if (Expected.isEmpty() || Expected.front().at(1) != QString::number(Students) ||
        Expected.front().at(3) != QStringLiteral("-R----F-"))
        Fail(QStringLiteral("the directory is not the one built"));

    // A sample of up to 100 classes.
    QStringList Sample;
    const int Step = qMax(1, int(Expected.size()) / 100);
    for (int I = 0; I < Expected.size(); I += Step)
        Sample << Schueler + u'\\' + Expected[I].front();
    {
        SelectedClass = Sample.back();
        Ndk.SetFilters(QStringLiteral("User"));
        List.FillStudentList();
        const auto* Box = List.findChild<QListWidget*>(QStringLiteral("LiKlassenliste"));
        QStringList Lines = Raw.Students(Sample.back()), Shown;
        for (int I = 0; I < Box->count(); ++I)
            Shown << Box->item(I)->text();
        std::sort(Lines.begin(), Lines.end());
        std::sort(Shown.begin(), Shown.end());
        if (Shown != Lines)
            Fail(QStringLiteral("the student list and SQL disagree"));
    }

    QList<TBenchZeile> Rows;
    auto Add = [&](const QString& Name, int Calls, const std::function<void()>& Program,
                   const std::function<void()>& Sql, double Limit, bool RatioTarget) {
        const auto [P, S] = Zeit(Calls, Program, Sql);
        Rows << TBenchZeile{Name, P, S, Limit, RatioTarget};
    };
    Add(
        QStringLiteral("Class overview (all classes)"), 1, [&] { Overview.TabListeKlassenShow(); },
        [&] { Raw.Overview(); }, 1e6, true);
    Add(
        QStringLiteral("Student list (one class)"), int(Sample.size()),
        [&] {
            for (const QString& C : std::as_const(Sample)) {
                SelectedClass = C;
                Ndk.SetFilters(QStringLiteral("User"));
                List.FillStudentList();
            }
        },
        [&] {
            for (const QString& C : std::as_const(Sample))
                Raw.Students(C);
        },
        0, false);
    Add(
        QStringLiteral("Student list printout (one class)"), int(Sample.size()),
        [&] {
            for (const QString& C : std::as_const(Sample)) {
                Paper.Calls.clear();
                Ndk.SetFilters(QStringLiteral("User"));
                TStringList Entries;
                Ndk.ListEntries(C, Entries);
                Ndk.SetFilters(QString());
                List.PrintStudentList(Entries);
            }
        },
        [&] {
            for (const QString& C : std::as_const(Sample))
                Raw.Students(C);
        },
        0, false);
    TPrintDialog::SetRecorder(nullptr);

    // The overview once more, its exchange folders on real folders with extended attributes and
    // ACLs, against SQL and the raw stat and getxattr calls.
    QTemporaryDir Root;
    chmod(QFile::encodeName(Root.path()).constData(), 0711);
    auto Posix = std::make_shared<TPosixVolumes>(
        std::vector<TVolume>{{QStringLiteral("SRV1"), QStringLiteral("DATA"), Root.path(), QString()}},
        std::shared_ptr<TVolumeStore>(&Store, [](TVolumeStore*) {}),
        [&Store](const QString& FullName) { return Store.EnsurePosixIdentity(Store.Resolve(FullName)); });
    TDirectoryClient PosixClient(std::shared_ptr<TDirectoryBackend>(&Store, [](TDirectoryBackend*) {}),
                                 Posix);
    TNDK PosixNdk(nullptr, PosixClient);
    PosixExchangeFolders(*Posix, PosixNdk, Schueler);
    TKlassenListeTab PosixOverview(K, &PosixNdk, PrintDialog1);
    {
        TRawLists PosixRaw(Store, Schueler, Root.path());
        PosixOverview.TabListeKlassenShow();
        if (GridRows(*PosixOverview.findChild<QTableWidget*>(QStringLiteral("sgKlassen"))) != Expected ||
            PosixRaw.Overview() != Expected)
            Fail(QStringLiteral("the class overview over POSIX volumes and the raw calls disagree"));
        Add(
            QStringLiteral("Class overview, POSIX volumes"), 1, [&] { PosixOverview.TabListeKlassenShow(); },
            [&] { PosixRaw.Overview(); }, 1e6, true);
    }
    return Rows;
}
