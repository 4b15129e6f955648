#include "LdifFixture.h"

#include <NWNetAddress.h>
#include <TestMain.h>

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace LdifTest;

// LDIF export of a tree: what the text looks like, and that it reads back as the same tree.
class TstLdif : public QObject, public TLdifFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { Reset(); }
    void cleanup() { Reset(); }

    // Export, import into a fresh store, export again: the same bytes; importing the text once
    // more into the filled store changes nothing either.
    void RoundTripOfTheDemoTree() {
        const QByteArray First = Export(Store(), QStringLiteral("SCHULE"));
        QCOMPARE(Export(Store(), QStringLiteral("schule")), First);

        QTemporaryDir Dir;
        TCopyStore Copy(Dir.path());
        const Ldif::TImportResult Result = Import(Copy, QStringLiteral("SCHULE"), First);
        QVERIFY(Result.Created > 300);
        QCOMPARE(Result.Updated, 0);
        QCOMPARE(Export(Copy, QStringLiteral("SCHULE")), First);

        const Ldif::TImportResult Again = Import(Copy, QStringLiteral("SCHULE"), First);
        QCOMPARE(Again.Created, 0);
        QCOMPARE(Again.Updated, Result.Created);
        QCOMPARE(Export(Copy, QStringLiteral("SCHULE")), First);

        // What the program reads comes back typed as before.
        const QString Template = Class5a + QStringLiteral("\\User_Template");
        QCOMPARE(Entry(Copy, Template)->GetFieldValue(QStringLiteral("Home Directory")).toString(),
                 Entry(Store(), Template)->GetFieldValue(QStringLiteral("Home Directory")).toString());
        const QString Server = QStringLiteral("NDS:\\\\SCHULE\\dienste\\SRV1");
        QCOMPARE(Entry(Copy, Server)->GetFieldValue(QStringLiteral("Network Address"), {}, true),
                 Entry(Store(), Server)->GetFieldValue(QStringLiteral("Network Address"), {}, true));
        const QString Catalog = QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer");
        QCOMPARE(
            Entry(Copy, Catalog)->GetFieldValue(QStringLiteral("NDSCAT:Actual End Time")).toDateTime(),
            Entry(Store(), Catalog)->GetFieldValue(QStringLiteral("NDSCAT:Actual End Time")).toDateTime());
        // The volumes reached the copy's volume map through hostServer.
        QStringList Volumes;
        for (const TVolume& V : Copy.Volumes())
            Volumes << V.Server + QLatin1Char('\\') + V.Volume + QLatin1Char(' ') + V.VolumeObject;
        QCOMPARE(Volumes, (QStringList{QStringLiteral("SRV1\\SYS NDS:\\\\SCHULE\\dienste\\SRV1_SYS"),
                                       QStringLiteral("SRV1\\DATA NDS:\\\\SCHULE\\dienste\\SRV1_DATA")}));
    }

    // POSIX ids travel: each holder's id last in its record; a fresh store gets every one, also
    // again on a second import, and allocates past them afterwards.
    void PosixIdsRoundTrip() {
        TDirectoryBackend& From = Store().Directory();
        From.EnsurePosixIdentities(From.Resolve(Class5a));
        const QString Student = From.Search(From.Resolve(Class5a), {}, QStringLiteral("User"), 1).first();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        const qint64 Gid = From.PosixIdentity(From.Resolve(Class5a))->Id;
        QVERIFY(Text.contains("\ngidNumber: " + QByteArray::number(Gid) + "\n\ndn: "));
        const qint64 Uid = From.PosixIdentity(From.Resolve(Student))->Id;
        QVERIFY(Text.contains("\nuidNumber: " + QByteArray::number(Uid) + "\n\ndn: "));

        auto Ids = [](TDirectoryBackend& D) {
            QStringList L;
            for (const TPosixHolder& H : D.PosixIdentities(D.Resolve(Root)))
                L << QStringLiteral("%1 %2 %3").arg(H.FullName).arg(int(H.Kind)).arg(H.Id);
            L.sort();
            return L;
        };
        QTemporaryDir Dir;
        TCopyStore Copy(Dir.path());
        for (int Round = 0; Round < 2; ++Round)
            Import(Copy, QStringLiteral("SCHULE"), Text);
        TDirectoryBackend& To = Copy.Directory();
        QCOMPARE(Ids(To), Ids(From));
        QVERIFY(Ids(To).size() > 20);
        QCOMPARE(To.PosixIdentity(To.Resolve(Student))->PrimaryGid, Gid);
        QCOMPARE(Export(Copy, QStringLiteral("SCHULE")), Text);

        // New ids pass over the imported ones.
        const QString Other = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5b");
        const TPosixIdentity New = To.EnsurePosixIdentity(
            To.Resolve(To.Search(To.Resolve(Other), {}, QStringLiteral("User"), 1).first()));
        for (const TPosixHolder& H : From.PosixIdentities(From.Resolve(Root)))
            QVERIFY(H.Id != (H.Kind == TPosixIdentity::TKind::User ? New.Id : New.PrimaryGid));
    }

    // What the text looks like: names, classes, the fixed attribute names and value forms.
    void ExportForm() {
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.startsWith("version: 1\n"));
        QVERIFY(
            Text.contains("\ndn: ou=5a,ou=schueler,o=unterricht\nobjectClass: organizationalUnit\nou: 5a\n"));
        QVERIFY(Text.contains("\ndn: cn=User_Template,ou=schueler,o=unterricht\nobjectClass: Template\n"));
        QVERIFY(Text.contains("\nndsHomeDirectory: cn=SRV1_DATA,o=dienste#0#home\\schueler\n"));
        QVERIFY(Text.contains("\nobjectClass: nDSCatMasterCatalog\n"));
        QVERIFY(Text.contains("\nobjectClass: Volume\ncn: SRV1_DATA\n"));
        QVERIFY(Text.contains("\nhostServer: cn=SRV1,o=dienste\n"));
        QVERIFY(Text.contains("\nobjectClass: Workstation\n"));
        QVERIFY(Text.contains("\nwMNetworkAddress: 10.1.1.101\n"));
        // The raw address bytes of 10.1.0.1 are not printable: base64 of "1#" and four bytes.
        QVERIFY(Text.contains("\nnetworkAddress:: " + QByteArray("1#\x0A\x01\x00\x01", 6).toBase64() + '\n'));
        QVERIFY(Text.contains("\nhomeDirectoryRights: "));
        // Operational fields stay out.
        for (const char* Name : {"creatorsName", "modifiersName", "GUID", "revision", "objectClass: Top"})
            QVERIFY2(!Text.contains(QByteArray("\n") + Name), Name);
        // Every line fits 76 characters.
        for (const QByteArray& Line : Text.split('\n'))
            QVERIFY2(Line.size() <= 76, Line.constData());
    }

    void FieldOrder() {
        MakeSmallTree();
        NWDir Dir(Store());
        Dir.SetFullName(Class5a);
        NWEntryPtr User = Dir.Entries()->Add(QStringLiteral("User"), QStringLiteral("ordnung"));
        User->SetFieldValue(QStringLiteral("Title"), QStringLiteral("t"));
        User->SetFieldValue(QStringLiteral("Description"), QStringLiteral("d"));
        User->SetFieldValue(QStringLiteral("Given Name"), QStringLiteral("g"));
        User->SetFieldValue(QStringLiteral("Surname"), QStringLiteral("s"));
        User->SetFieldValue(QStringLiteral("Full Name"),
                            QStringList{QStringLiteral("f2"), QStringLiteral("f1")});
        User->Update();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains("\ndn: cn=ordnung,ou=5a,ou=schueler,o=unterricht\nobjectClass: inetOrgPerson\n"
                              "cn: ordnung\nfullName: f2\nfullName: f1\nsn: s\ngivenName: g\ndescription: d\n"
                              "title: t\n"));
    }

    void Base64Values_data() {
        QTest::addColumn<QString>("Value");
        QTest::addColumn<bool>("Base64");
        QTest::newRow("plain") << QStringLiteral("Klasse 5a") << false;
        QTest::newRow("umlaut") << QStringLiteral("Müller") << true;
        QTest::newRow("leading blank") << QStringLiteral(" vorn") << true;
        QTest::newRow("trailing blank") << QStringLiteral("hinten ") << true;
        QTest::newRow("leading colon") << QStringLiteral(":x") << true;
        QTest::newRow("leading less-than") << QStringLiteral("<x") << true;
        QTest::newRow("inner colon and blanks") << QStringLiteral("a: b <c>") << false;
        QTest::newRow("line ends") << QStringLiteral("eins\r\nzwei\n") << true;
        QTest::newRow("tab") << QStringLiteral("a\tb") << true;
        QTest::newRow("empty") << QString() << false;
    }

    void Base64Values() {
        QFETCH(QString, Value);
        QFETCH(bool, Base64);
        MakeSmallTree();
        NWDir Dir(Store());
        Dir.SetFullName(Class5a);
        NWEntryPtr User = Dir.Entries()->Add(QStringLiteral("User"), QStringLiteral("wert"));
        User->SetFieldValue(QStringLiteral("Description"), QStringList{Value, QStringLiteral("zweiter")});
        User->Update();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        const QByteArray Line = Value.isEmpty() ? QByteArray("description:\n")
                                : Base64        ? "description:: " + Value.toUtf8().toBase64() + '\n'
                                                : "description: " + Value.toUtf8() + '\n';
        QVERIFY2(Text.contains("\ncn: wert\n" + Line + "description: zweiter\n"),
                 Text.right(300).constData());

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Import(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a + QStringLiteral("\\wert"))
                     ->GetFieldValue(QStringLiteral("Description"), {}, true),
                 QVariant(QStringList{Value, QStringLiteral("zweiter")}));
    }

    // Names with characters that a DN escapes, and names with umlauts (a base64 "dn::").
    void SpecialNamesRoundTrip() {
        MakeSmallTree();
        NWDir Dir(Store());
        Dir.SetFullName(Class5a);
        const QStringList Names = {QStringLiteral("a+b"), QStringLiteral("#eins"),
                                   QStringLiteral("x\"y;z<w>"), QStringLiteral("Sören Groß"),
                                   QStringLiteral("k=v")};
        for (const QString& Name : Names)
            Dir.Entries()->Add(QStringLiteral("User"), Name);
        Dir.SetFullName(QStringLiteral("NDS:\\\\SCHULE\\unterricht"));
        Dir.Entries()->Add(QStringLiteral("Organizational Unit"), QStringLiteral("Räume+Geräte"));

        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains("\ndn: cn=a\\+b,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains("\ndn: cn=\\#eins,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains("\ndn: cn=x\\\"y\\;z\\<w\\>,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains(
            "\ndn:: " + QStringLiteral("cn=Sören Groß,ou=5a,ou=schueler,o=unterricht").toUtf8().toBase64()));

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Import(Copy, QStringLiteral("SCHULE"), Text);
        for (const QString& Name : Names)
            QCOMPARE(Copy.Resolve(Class5a + QLatin1Char('\\') + Name).ShortName, Name);
        QCOMPARE(Copy.Resolve(QStringLiteral("NDS:\\\\SCHULE\\unterricht\\Räume+Geräte")).Layout,
                 QStringLiteral("Organizational Unit"));
        QCOMPARE(Export(Copy, QStringLiteral("SCHULE")), Text);
    }

    // Long values are folded at 76 characters and read back whole.
    void FoldsLongValues() {
        MakeSmallTree();
        const QString Long = QString(200, QLatin1Char('x')) + QStringLiteral("Ende");
        const QString LongUmlauts = QString(100, QChar(0xE4)); // written base64
        NWEntryPtr Class = Entry(Store(), Class5a);
        Class->SetFieldValue(QStringLiteral("Description"), QStringList{Long, LongUmlauts});
        Class->Update();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        // 76 characters, then lines of a blank and 75.
        auto Folded = [](const QByteArray& Line) {
            QByteArray F = Line.left(76) + '\n';
            for (qsizetype At = 76; At < Line.size(); At += 75)
                F += ' ' + Line.mid(At, 75) + '\n';
            return F;
        };
        QVERIFY(Text.contains(Folded("description: " + Long.toUtf8())));
        QVERIFY(Text.contains(Folded("description:: " + LongUmlauts.toUtf8().toBase64())));

        QTemporaryDir Dir;
        TCopyStore Copy(Dir.path());
        Import(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a)->GetFieldValue(QStringLiteral("Description"), {}, true),
                 QVariant(QStringList{Long, LongUmlauts}));
    }

    // Addresses: the type, "#" and the raw bytes; base64 unless the bytes happen to be printable.
    void NetworkAddresses() {
        MakeSmallTree();
        NWDir Dir(Store());
        Dir.SetFullName(Class5a);
        NWEntryPtr User = Dir.Entries()->Add(QStringLiteral("User"), QStringLiteral("pc"));
        const QVariantList Addresses{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x05\x17", 4))),
                                     QVariant::fromValue(NWNetAddress(1, QByteArray("ABCD")))};
        User->SetFieldValue(QStringLiteral("Network Address Restriction"), Addresses);
        User->Update();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains(
            "\ncn: pc\nnetworkAddressRestriction:: " + QByteArray("1#\x0A\x01\x05\x17").toBase64() +
            "\nnetworkAddressRestriction: 1#ABCD\n"));

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Import(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a + QStringLiteral("\\pc"))
                     ->GetFieldValue(QStringLiteral("Network Address Restriction"), {}, true)
                     .toList(),
                 Addresses);
    }

    void TimesAsGeneralizedTime() {
        const QString Catalog = QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer");
        NWEntryPtr E = Entry(Store(), Catalog);
        E->SetFieldValue(QStringLiteral("NDSCAT:Actual End Time"),
                         QDateTime(QDate(2024, 1, 31), QTime(15, 45, 0), QTimeZone::utc()));
        E->Update();
        const QByteArray Text = Export(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains("\nnDSCatActualEndTime: 20240131154500Z\n"));
    }
};

PARVON_TEST_MAIN(TstLdif)
#include "tst_ldif.moc"
