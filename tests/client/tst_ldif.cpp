#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <Ldif.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <SqliteStore.h>
#include <TestMain.h>
#include <TestStore.h>

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {
const QString Root = QStringLiteral("NDS:\\\\SCHULE");
const QString Class5a = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");

// The message of an import that must fail.
// A second store for a copy, with the client over it (not installed as the process-wide one).
class TCopyStore : public TDirectoryClient {
public:
    explicit TCopyStore(const QString& Folder) : TCopyStore(std::make_shared<TSqliteStore>(Folder)) {}
    TObjectRef Resolve(const QString& FullName) { return Directory().Resolve(FullName); }

private:
    explicit TCopyStore(const std::shared_ptr<TSqliteStore>& Store) : TDirectoryClient(Store, Store) {}
};

QString ImportError(TDirectoryClient& Store, const QString& Tree, const QByteArray& Text) {
    try {
        Ldif::ImportTree(Store, Tree, Text);
    } catch (const EDirectoryError& E) {
        return E.Message();
    }
    return QString();
}

NWEntryPtr Entry(TDirectoryClient& Store, const QString& FullName) {
    NWDir Dir(Store);
    return Dir.FindEntry(FullName);
}

// A text with the given lines, each ended by a line end.
QByteArray Lines(const QList<QByteArray>& L) {
    QByteArray Text;
    for (const QByteArray& Line : L)
        Text += Line + '\n';
    return Text;
}

const QByteArray Head = "version: 1\n\ndn: o=unterricht\nobjectClass: organization\n\n";
} // namespace

// LDIF export and import of a tree.
class TstLdif : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { FStore.reset(); }
    void cleanup() { FStore.reset(); }

    // Export, import into a fresh store, export again: the same bytes; importing the text once
    // more into the filled store changes nothing either.
    void RoundTripOfTheDemoTree() {
        const QByteArray First = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        QCOMPARE(Ldif::ExportTree(Store(), QStringLiteral("schule")), First);

        QTemporaryDir Dir;
        TCopyStore Copy(Dir.path());
        const Ldif::TImportResult Result = Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), First);
        QVERIFY(Result.Created > 300);
        QCOMPARE(Result.Updated, 0);
        QCOMPARE(Ldif::ExportTree(Copy, QStringLiteral("SCHULE")), First);

        const Ldif::TImportResult Again = Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), First);
        QCOMPARE(Again.Created, 0);
        QCOMPARE(Again.Updated, Result.Created);
        QCOMPARE(Ldif::ExportTree(Copy, QStringLiteral("SCHULE")), First);

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

    // What the text looks like: names, classes, the fixed attribute names and value forms.
    void ExportForm() {
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
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
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
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
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        const QByteArray Line = Value.isEmpty() ? QByteArray("description:\n")
                                : Base64        ? "description:: " + Value.toUtf8().toBase64() + '\n'
                                                : "description: " + Value.toUtf8() + '\n';
        QVERIFY2(Text.contains("\ncn: wert\n" + Line + "description: zweiter\n"),
                 Text.right(300).constData());

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a + QStringLiteral("\\wert"))
                     ->GetFieldValue(QStringLiteral("Description"), {}, true),
                 QVariant(QStringList{Value, QStringLiteral("zweiter")}));
    }

    void DnEscaping_data() {
        QTest::addColumn<QString>("Value");
        QTest::addColumn<QString>("Escaped");
        QTest::newRow("plain") << QStringLiteral("5a") << QStringLiteral("5a");
        QTest::newRow("specials") << QStringLiteral("a+b\"c;d<e>f")
                                  << QStringLiteral("a\\+b\\\"c\\;d\\<e\\>f");
        QTest::newRow("comma and backslash") << QStringLiteral("a,b\\c") << QStringLiteral("a\\,b\\\\c");
        QTest::newRow("sharp") << QStringLiteral("#1#") << QStringLiteral("\\#1\\#");
        QTest::newRow("blanks at the ends") << QStringLiteral(" a b ") << QStringLiteral("\\ a b\\ ");
        QTest::newRow("equals stays") << QStringLiteral("a=b") << QStringLiteral("a=b");
        QTest::newRow("umlaut stays") << QStringLiteral("Jörn") << QStringLiteral("Jörn");
    }
    void DnEscaping() {
        QFETCH(QString, Value);
        QFETCH(QString, Escaped);
        QCOMPARE(Ldif::EscapeDnValue(Value), Escaped);
        QCOMPARE(Ldif::UnescapeDnValue(Escaped), Value);
    }

    void DnUnescaping_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QString>("Value"); // "!" for a text that must be refused
        QTest::newRow("hex pairs form UTF-8") << QStringLiteral("J\\C3\\B6rn") << QStringLiteral("Jörn");
        QTest::newRow("escaped equals") << QStringLiteral("a\\=b") << QStringLiteral("a=b");
        QTest::newRow("lower-case hex") << QStringLiteral("\\2c") << QStringLiteral(",");
        QTest::newRow("bare plus") << QStringLiteral("a+b") << QStringLiteral("!");
        QTest::newRow("bare semicolon") << QStringLiteral("a;b") << QStringLiteral("!");
        QTest::newRow("lone backslash at the end") << QStringLiteral("a\\") << QStringLiteral("!");
        QTest::newRow("bad escape") << QStringLiteral("a\\xz") << QStringLiteral("!");
        QTest::newRow("broken UTF-8") << QStringLiteral("\\C3") << QStringLiteral("!");
    }
    void DnUnescaping() {
        QFETCH(QString, Text);
        QFETCH(QString, Value);
        if (Value == QLatin1String("!"))
            QVERIFY_THROWS_EXCEPTION(EDirectoryError, Ldif::UnescapeDnValue(Text));
        else
            QCOMPARE(Ldif::UnescapeDnValue(Text), Value);
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

        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains("\ndn: cn=a\\+b,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains("\ndn: cn=\\#eins,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains("\ndn: cn=x\\\"y\\;z\\<w\\>,ou=5a,ou=schueler,o=unterricht\n"));
        QVERIFY(Text.contains(
            "\ndn:: " + QStringLiteral("cn=Sören Groß,ou=5a,ou=schueler,o=unterricht").toUtf8().toBase64()));

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), Text);
        for (const QString& Name : Names)
            QCOMPARE(Copy.Resolve(Class5a + QLatin1Char('\\') + Name).ShortName, Name);
        QCOMPARE(Copy.Resolve(QStringLiteral("NDS:\\\\SCHULE\\unterricht\\Räume+Geräte")).Layout,
                 QStringLiteral("Organizational Unit"));
        QCOMPARE(Ldif::ExportTree(Copy, QStringLiteral("SCHULE")), Text);
    }

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
            "homeDirectoryRights: 251",
        });
        Text.replace("\n", "\r\n");
        const Ldif::TImportResult Result = Ldif::ImportTree(Store(), QStringLiteral("NEU"), Text);
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
                 QVariant(QStringList{QStringLiteral("eins"), QStringLiteral("zwei")}));
        QCOMPARE(User->GetFieldValue(QStringLiteral("Home Directory Rights")).toLongLong(), 251);
    }

    // Long values are folded at 76 characters and read back whole.
    void FoldsLongValues() {
        MakeSmallTree();
        const QString Long = QString(200, QLatin1Char('x')) + QStringLiteral("Ende");
        NWEntryPtr Class = Entry(Store(), Class5a);
        Class->SetFieldValue(QStringLiteral("Description"), Long);
        Class->Update();
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        const QByteArray Line = "description: " + Long.toUtf8();
        QByteArray Folded = Line.left(76) + "\n " + Line.mid(76, 75) + "\n " + Line.mid(151, 75) + '\n';
        QVERIFY(Text.contains(Folded));

        QTemporaryDir Dir;
        TCopyStore Copy(Dir.path());
        Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a)->GetFieldValue(QStringLiteral("Description")).toString(), Long);
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
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains(
            "\ncn: pc\nnetworkAddressRestriction:: " + QByteArray("1#\x0A\x01\x05\x17").toBase64() +
            "\nnetworkAddressRestriction: 1#ABCD\n"));

        QTemporaryDir Dir2;
        TCopyStore Copy(Dir2.path());
        Ldif::ImportTree(Copy, QStringLiteral("SCHULE"), Text);
        QCOMPARE(Entry(Copy, Class5a + QStringLiteral("\\pc"))
                     ->GetFieldValue(QStringLiteral("Network Address Restriction"), {}, true)
                     .toList(),
                 Addresses);
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
        const QByteArray Before = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        const QStringList Trees = Store().Directory().Trees();

        // Into a new tree: it must not stay behind.
        QString Message = ImportError(Store(), QStringLiteral("NEU"), Text);
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile %1: ").arg(Line)), qPrintable(Message));
        QVERIFY2(Message.contains(Reason), qPrintable(Message));
        QCOMPARE(Store().Directory().Trees(), Trees);

        // Into the existing tree: "unterricht" exists, the rest is new.
        Message = ImportError(Store(), QStringLiteral("SCHULE"), Text);
        QVERIFY2(Message.startsWith(QStringLiteral("LDIF-Zeile %1: ").arg(Line)), qPrintable(Message));
        QCOMPARE(Ldif::ExportTree(Store(), QStringLiteral("SCHULE")), Before);
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

        Ldif::ImportTree(Store(), QStringLiteral("SCHULE"), Volume);
        QCOMPARE(Store().VolumeStore().Volumes().size(), size_t(1));
        QVERIFY(QFileInfo(Store().VolumeStore().Volumes().front().RootFolder).isDir());
    }

    // An object that exists already keeps its place and gets the fields the text names.
    void UpdatesExistingObjects() {
        const QByteArray Text = Lines(
            {"dn: ou=5a,ou=schueler,o=unterricht", "objectClass: organizationalUnit", "description: neu"});
        const Ldif::TImportResult Result = Ldif::ImportTree(Store(), QStringLiteral("SCHULE"), Text);
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

    void TimesAsGeneralizedTime() {
        const QString Catalog = QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer");
        NWEntryPtr E = Entry(Store(), Catalog);
        E->SetFieldValue(QStringLiteral("NDSCAT:Actual End Time"),
                         QDateTime(QDate(2024, 1, 31), QTime(15, 45, 0), QTimeZone::utc()));
        E->Update();
        const QByteArray Text = Ldif::ExportTree(Store(), QStringLiteral("SCHULE"));
        QVERIFY(Text.contains("\nnDSCatActualEndTime: 20240131154500Z\n"));
    }

private:
    // The test's store: the demo tree unless the test made a small one first.
    TDirectoryClient& Store() {
        if (!FStore)
            FStore = std::make_unique<TTestStore>();
        return **FStore;
    }

    // A small tree SCHULE: unterricht, schueler, 5a.
    void MakeSmallTree() {
        FStore = std::make_unique<TTestStore>(false);
        Store().Directory().AddTree(QStringLiteral("SCHULE"));
        NWDir Dir(Store());
        QString Container = Root;
        for (const auto& [Layout, Name] :
             {std::pair{"Organization", "unterricht"}, std::pair{"Organizational Unit", "schueler"},
              std::pair{"Organizational Unit", "5a"}}) {
            Dir.SetFullName(Container);
            Dir.Entries()->Add(QString::fromLatin1(Layout), QString::fromLatin1(Name));
            Container += QLatin1Char('\\') + QString::fromLatin1(Name);
        }
    }

    std::unique_ptr<TTestStore> FStore;
};

PARVON_TEST_MAIN(TstLdif)
#include "tst_ldif.moc"
