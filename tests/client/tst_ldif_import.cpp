#include "LdifFixture.h"

#include <TestMain.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QTest>
#include <tuple>

using namespace LdifTest;

// LDIF import: texts written by hand, faulty texts, objects that exist already.
class TstLdifImport : public QObject, public TLdifFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { Reset(); }
    void cleanup() { Reset(); }

    // Hand-written text: folded lines (also inside base64 and comments), CR LF line ends, blanks
    // around RDNs, extra object classes, attribute names in any case, a new tree.
    void ReadsHandWrittenText() {
        MakeSmallTree();
        QByteArray Text = Lines({
            "# eine Schule",
            "#  mit Kommentar,",
            "  der weitergeht",
            "version: 1",
            "",
            "dn: o=unterricht",
            "objectclass: top",
            "objectClass: Organization",
            "o: unterricht",
            "",
            "dn: ou=7c, o=unterricht",
            "objectClass: organizationalUnit",
            "loginScript: MAP ROOT H:=SRV1_DATA:ho",
            " me",
            "",
            "# ein Schüler",
            "dn: cn=meier_jan,ou=7c,o=unterricht",
            "objectClass: top",
            "objectClass: person",
            "objectClass: inetOrgPerson",
            "SN:: TcO8",
            " bGxlcg==",
            "givenname: Jan",
            "fullName: Jan M",
            " ",
            " üller",
            "description: eins",
            "description: zwei",
            "description:: ZHJlaQ ",
            "description::",
            "homeDirectoryRights: 251",
        });
        Text.replace("\n", "\r\n");
        const Ldif::TImportResult Result = Import(Store(), QStringLiteral("NEU"), Text);
        QCOMPARE(Result.Created, 3);
        QVERIFY(Store().Directory().Trees().contains(QStringLiteral("NEU")));
        const QString Class = QStringLiteral("NDS:\\\\NEU\\unterricht\\7c");
        QCOMPARE(Entry(Store(), Class)->GetFieldValue(QStringLiteral("Login Script")).toString(),
                 QStringLiteral("MAP ROOT H:=SRV1_DATA:home"));
        const NWEntryPtr User = Entry(Store(), Class + QStringLiteral("\\meier_jan"));
        QCOMPARE(User->Layout(), QStringLiteral("User"));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Surname")).toString(), QStringLiteral("Müller"));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Given Name")).toString(), QStringLiteral("Jan"));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Full Name")).toString(), QStringLiteral("Jan Müller"));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Description"), {}, true),
                 QVariant(QStringList{QStringLiteral("eins"), QStringLiteral("zwei"), QStringLiteral("drei"),
                                      QString()}));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Home Directory Rights")).toLongLong(), 251);
    }

    void Malformed_data() {
        QTest::addColumn<QByteArray>("Text");
        QTest::addColumn<int>("Line");
        QTest::addColumn<QString>("Reason");
        QTest::newRow("line without colon")
            << Head + "dn: ou=7c,o=unterricht\nobjectClass: organizationalUnit\nKaputt\n"
            << 8 << "\"Attribut: Wert\"";
        QTest::newRow("missing parent")
            << Head + "dn: cn=x,ou=fehlt,o=unterricht\nobjectClass: inetOrgPerson\n"
            << 6 << "übergeordnetes Objekt";
        QTest::newRow("child before parent")
            << Head + "dn: cn=x,ou=7c,o=unterricht\nobjectClass: inetOrgPerson\n\n"
                      "dn: ou=7c,o=unterricht\nobjectClass: organizationalUnit\n"
            << 6 << "übergeordnetes Objekt";
        QTest::newRow("unknown object class")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: top\nobjectClass: raumschiff\n"
            << 8 << "raumschiff";
        QTest::newRow("no object class") << Head + "dn: cn=x,o=unterricht\nsn: x\n" << 6 << "objectClass";
        QTest::newRow("unknown attribute")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nschuhgroesse: 42\n"
            << 8 << "schuhgroesse";
        QTest::newRow("invalid base64")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nsn:: ***\n"
            << 8 << "base64";
        QTest::newRow("continued line first") << QByteArray(" x\n") << 1 << "Fortsetzungszeile";
        QTest::newRow("continued line after a blank line") << Head + " x\n" << 6 << "Fortsetzungszeile";
        QTest::newRow("record without dn") << Head + "objectClass: organizationalUnit\n" << 6 << "\"dn:\"";
        QTest::newRow("two dn") << Head.chopped(1) + "dn: o=x\n" << 5 << "zweites";
        QTest::newRow("version 2") << QByteArray("version: 2\n") << 1 << "version";
        QTest::newRow("change record") << Head + "dn: o=unterricht\nchangetype: delete\n"
                                       << 7 << "Änderungseinträge";
        // Lines the LDIF library would act on: read a file, skip a line.
        QTest::newRow("include line") << Head + "include: file:///etc/passwd\n" << 6 << "\"dn:\"";
        QTest::newRow("include after a comment") << Head + "# vorher\nINCLUDE: file:///etc/passwd\n"
                                                 << 7 << "\"dn:\"";
        QTest::newRow("record number") << Head + "7\ndn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\n"
                                       << 6 << "\"Attribut: Wert\"";
        QTest::newRow("NUL byte") << Head + QByteArray("dn: cn=x\0y,o=unterricht\n", 24) << 6 << "Nullbyte";
        QTest::newRow("base64 past its padding")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nsn:: YQ==YQ==\n"
            << 8 << "base64";
        QTest::newRow("base64 of a single character")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nsn:: Y\n"
            << 8 << "base64";
        // Line numbers across blank lines, comments the record reader drops, and a last line
        // without a line end.
        QTest::newRow("line after dropped comments")
            << Head + "\n\n# c\n#  d\n  e\n\ndn: cn=x,o=unterricht\nobjectClass: raumschiff" << 13
            << "raumschiff";
        QTest::newRow("fault before a last blank line")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: raumschiff\n\n"
            << 7 << "raumschiff";
        QTest::newRow("URL value")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nsn:< file:///etc/passwd\n"
            << 8 << "URL";
        QTest::newRow("bad DN escape") << Head + "dn: cn=a\\q,o=unterricht\nobjectClass: inetOrgPerson\n"
                                       << 6 << "Maskierung";
        QTest::newRow("unescaped plus") << Head + "dn: cn=a+b,o=unterricht\nobjectClass: inetOrgPerson\n"
                                        << 6 << "maskiert";
        QTest::newRow("wrong naming attribute")
            << Head + "dn: ou=x,o=unterricht\nobjectClass: inetOrgPerson\n"
            << 6 << "benannt";
        QTest::newRow("same DN twice") << Head + "dn: o=Unterricht\nobjectClass: organization\n"
                                       << 6 << "zweimal";
        QTest::newRow("second value of a single-valued field")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nsn: a\nsn: b\n"
            << 9 << "nur einen Wert";
        QTest::newRow("no integer")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: Template\nhomeDirectoryRights: viele\n"
            << 8 << "ganze Zahl";
        QTest::newRow("bad time")
            << Head +
                   "dn: cn=x,o=unterricht\nobjectClass: nDSCatMasterCatalog\nnDSCatActualEndTime: gestern\n"
            << 8 << "Zeitangabe";
        QTest::newRow("parent is no container")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\n\ndn: cn=y,cn=x,o=unterricht\n"
                      "objectClass: inetOrgPerson\n"
            << 9 << "kein Container";
        QTest::newRow("organization below an organization (refused by the directory)")
            << Head + "dn: o=x,o=unterricht\nobjectClass: organization\n"
            << 6 << "darf nicht in";
        QTest::newRow("value too long (refused at the commit)")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\ngivenName: " + QByteArray(40, 'g') +
                   '\n'
            << 8 << "länger";
        QTest::newRow("volume of the home directory unknown")
            << Head + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\nndsHomeDirectory: "
                      "cn=NIX,o=unterricht#0#home\n"
            << 8 << "Volume";
        QTest::newRow("invalid UTF-8") << Head + "dn: cn=\xFF,o=unterricht\nobjectClass: inetOrgPerson\n"
                                       << 6 << "UTF-8";
        // A home directory on a volume the text brings along: only its path is at fault.
        const QByteArray Volume =
            "dn: o=dienste\nobjectClass: organization\n\ndn: cn=SRV1,o=dienste\n"
            "objectClass: ncpServer\n\ndn: cn=SRV1_DATA,o=dienste\nobjectClass: Volume\n"
            "hostServer: cn=SRV1,o=dienste\n\ndn: cn=x,o=unterricht\n"
            "objectClass: inetOrgPerson\nndsHomeDirectory: ";
        QTest::newRow("home directory that climbs out of its volume")
            << Head + Volume + "cn=SRV1_DATA,o=dienste#0#home\\..\\..\\etc\n"
            << 18 << "\"..\"";
        QTest::newRow("home directory as stored, climbing out with blanks and slashes")
            << Head + Volume + "NDS:\\\\SCHULE\\dienste\\SRV1_DATA,home/. ./etc\n"
            << 18 << "\"..\"";
        // Paths the volume store refuses: refused here too, not made elsewhere by the exam run.
        for (const auto& [Name, Path, Reason] :
             {std::tuple{"absolute path", "/etc", "\"/\""}, std::tuple{"drive", "C:\\Windows", "\":\""},
              std::tuple{"empty level", "home\\\\x", "leere Ebene"},
              std::tuple{"wildcard", "home\\*", "\"*\""}})
            QTest::newRow(Name) << Head + Volume + "cn=SRV1_DATA,o=dienste#0#" + Path + '\n' << 18 << Reason;
    }

    // A faulty text stops with its line number and leaves the store as it was, also when the
    // fault only shows once earlier records have been written.
    void Malformed() {
        QFETCH(QByteArray, Text);
        QFETCH(int, Line);
        QFETCH(QString, Reason);
        MakeSmallTree();
        NWDir Dir(Store());
        Dir.SetFullName(Class5a);
        NWEntryPtr User = Dir.Entries()->Add(QStringLiteral("User"), QStringLiteral("jan"));
        User->SetFieldValue(QStringLiteral("Surname"), QStringLiteral("Meier"));
        User->Update();
        const QByteArray Before = Export(Store(), QStringLiteral("SCHULE"));
        const QStringList Trees = Store().Directory().Trees();

        // Into a new tree: it must not stay behind.
        QString Message = ImportError(Store(), QStringLiteral("NEU"), Text);
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile %1: ").arg(Line)), qPrintable(Message));
        QVERIFY2(Message.contains(Reason), qPrintable(Message));
        QCOMPARE(Store().Directory().Trees(), Trees);

        // Into the existing tree: "unterricht" exists, the rest is new.
        Message = ImportError(Store(), QStringLiteral("SCHULE"), Text);
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile %1: ").arg(Line)), qPrintable(Message));
        QCOMPARE(Export(Store(), QStringLiteral("SCHULE")), Before);
        // Nor do names resolve to objects that were rolled back.
        TObjectRef Ref;
        for (const char* Name : {"x", "7c", "x\\y"})
            QVERIFY(!Store().Directory().TryResolve(
                Root + QStringLiteral("\\unterricht\\") + QString::fromLatin1(Name), Ref));
        QVERIFY(!Store().Directory().TryResolve(QStringLiteral("NDS:\\\\NEU"), Ref));
    }

    // A volume that a failed import entered leaves no folder behind, nor do the parents made for
    // it; the same import without the fault makes the volume's root.
    void FailedImportLeavesNoVolumeFolder() {
        MakeSmallTree();
        const QByteArray Volume = Head + "dn: cn=SRV9,o=unterricht\nobjectClass: ncpServer\n\n"
                                         "dn: cn=SRV9_DATA,o=unterricht\nobjectClass: Volume\n"
                                         "hostServer: cn=SRV9,o=unterricht\n\n";
        const QString Folder = FStore->Path();
        auto Folders = [&] {
            QStringList L;
            for (QDirIterator It(Folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
                 It.hasNext();)
                L << It.next();
            return L;
        };
        const QStringList Before = Folders();
        const QString Message = ImportError(
            Store(), QStringLiteral("SCHULE"),
            Volume + "dn: cn=x,o=unterricht\nobjectClass: inetOrgPerson\ngivenName: " + QByteArray(40, 'g') +
                '\n');
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile 15: ")), qPrintable(Message));
        QCOMPARE(Folders(), Before);
        QVERIFY(Store().VolumeStore().Volumes().empty());

        Import(Store(), QStringLiteral("SCHULE"), Volume);
        QCOMPARE(Store().VolumeStore().Volumes().size(), size_t(1));
        QVERIFY(QFileInfo(Store().VolumeStore().Volumes().front().RootFolder).isDir());
    }

    void RefusedPosixIds_data() {
        QTest::addColumn<QByteArray>("Text");
        QTest::addColumn<int>("Line");
        QTest::addColumn<QString>("Reason");
        const QByteArray Class = Head + "dn: ou=7c,o=unterricht\nobjectClass: organizationalUnit\n";
        const QByteArray User =
            Head + "dn: cn=neu,ou=5a,ou=schueler,o=unterricht\nobjectClass: inetOrgPerson\n";
        for (const char* Value : {"12x", "0", "-5", "2147483648", "99999999999"})
            QTest::addRow("not an id: %s", Value) << Class + "gidNumber: " + Value + '\n'
                                                  << 8 << "muss eine Zahl";
        QTest::newRow("uid on a container") << Class + "uidNumber: 20000\n"
                                            << 8 << "gibt es nur bei Benutzern";
        QTest::newRow("gid on a user") << User + "gidNumber: 20000\n"
                                       << 8 << "gibt es nur bei Organisationen";
        QTest::newRow("twice in the text")
            << Class + "gidNumber: 20000\n\ndn: ou=7d,o=unterricht\nobjectClass: organizationalUnit\n"
                       "gidNumber: 20000\n"
            << 12 << "steht schon in Zeile 8";
        QTest::newRow("gid of another container") << Class + "gidNumber: 10000\n" << 8 << "hat bereits";
        QTest::newRow("uid of another user") << User + "uidNumber: 10000\n" << 8 << "hat bereits";
        QTest::newRow("another id for a container")
            << QByteArray(
                   "dn: ou=5a,ou=schueler,o=unterricht\nobjectClass: organizationalUnit\ngidNumber: 10005\n")
            << 3 << "wird nicht geändert";
        QTest::newRow("another id for a user")
            << QByteArray("dn: cn=jan,ou=5a,ou=schueler,o=unterricht\nobjectClass: inetOrgPerson\nuidNumber: "
                          "10001\n")
            << 3 << "wird nicht geändert";
        // Held in another tree of the store: refused as the ids are written, after objects were made.
        QTest::newRow("gid held in another tree")
            << Class + "gidNumber: 10050\n\ndn: ou=7d,o=unterricht\nobjectClass: organizationalUnit\n"
                       "gidNumber: 10001\n"
            << 12 << "hat bereits NDS:\\\\ANDERS\\x";
    }

    // An id that cannot be, that another object holds, or that would change an object's id: the
    // import stops at its line and changes nothing, ids and their counters included.
    void RefusedPosixIds() {
        QFETCH(QByteArray, Text);
        QFETCH(int, Line);
        QFETCH(QString, Reason);
        MakeSmallTree();
        TDirectoryBackend& D = Store().Directory();
        const TObjectRef Jan =
            D.CreateObject(D.Resolve(Class5a), QStringLiteral("User"), QStringLiteral("jan"),
                           {{QStringLiteral("Surname"), QStringLiteral("Meier")}});
        QCOMPARE(D.EnsurePosixIdentity(Jan).Id, 10000);
        D.AddTree(QStringLiteral("ANDERS"));
        QCOMPARE(D.EnsurePosixIdentity(D.CreateObject(D.Resolve(QStringLiteral("NDS:\\\\ANDERS")),
                                                      QStringLiteral("Organization"), QStringLiteral("x")))
                     .Id,
                 10001);
        const QByteArray Before = Export(Store(), QStringLiteral("SCHULE"));

        const QString Message = ImportError(Store(), QStringLiteral("SCHULE"), Text);
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile %1: ").arg(Line)), qPrintable(Message));
        QVERIFY2(Message.contains(Reason), qPrintable(Message));
        QCOMPARE(Export(Store(), QStringLiteral("SCHULE")), Before);
        const TObjectRef Next =
            D.CreateObject(D.Resolve(Root + QStringLiteral("\\unterricht")),
                           QStringLiteral("Organizational Unit"), QStringLiteral("danach"));
        QCOMPARE(D.EnsurePosixIdentity(Next).Id, 10002);
    }

    // An object that exists already keeps its place and gets the fields the text names.
    void UpdatesExistingObjects() {
        const QByteArray Text = Lines(
            {"dn: ou=5a,ou=schueler,o=unterricht", "objectClass: organizationalUnit", "description: neu"});
        const Ldif::TImportResult Result = Import(Store(), QStringLiteral("SCHULE"), Text);
        QCOMPARE(Result.Created, 0);
        QCOMPARE(Result.Updated, 1);
        const NWEntryPtr Class = Entry(Store(), Class5a);
        QCOMPARE(Class->GetFieldValue(QStringLiteral("Description")).toString(), QStringLiteral("neu"));
        QVERIFY(!Class->GetFieldValue(QStringLiteral("Login Script")).toString().isEmpty());

        const QString Message =
            ImportError(Store(), QStringLiteral("SCHULE"),
                        Lines({"dn: cn=5a,ou=schueler,o=unterricht", "objectClass: inetOrgPerson"}));
        QVERIFY2(Message.contains(QStringLiteral("benannt")) ||
                     Message.contains(QStringLiteral("gibt es bereits")),
                 qPrintable(Message));
    }
};

PARVON_TEST_MAIN(TstLdifImport)
#include "tst_ldif_import.moc"
