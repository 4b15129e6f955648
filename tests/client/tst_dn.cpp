#include <Dn.h>
#include <EDirectoryError.h>
#include <TestMain.h>

#include <QStringList>
#include <QTest>

// The DN model: escapes, DNs as RDNs, and a tree's DNs below a base.
class TstDn : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        QCOMPARE(Dn::EscapeValue(Value), Escaped);
        QCOMPARE(Dn::UnescapeValue(Escaped), Value);
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
            QVERIFY_THROWS_EXCEPTION(EDirectoryError, Dn::UnescapeValue(Text));
        else
            QCOMPARE(Dn::UnescapeValue(Text), Value);
    }

    // A DN as RDNs, top level first, and back; "!" for a DN that names no object.
    void Parse_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QString>("Rdns"); // "type=value" top level first, "|" between
        QTest::addColumn<QString>("Formatted");
        QTest::newRow("blanks around types and values")
            << QStringLiteral(" OU = 5a , o=unterricht") << QStringLiteral("o=unterricht|ou=5a")
            << QStringLiteral("ou=5a,o=unterricht");
        QTest::newRow("escaped blank at the end stays")
            << QStringLiteral("cn=a\\ ") << QStringLiteral("cn=a ") << QStringLiteral("cn=a\\ ");
        QTest::newRow("a server's hex escapes")
            << QStringLiteral("cn=a\\2Bb\\23,o=J\\C3\\B6rn") << QStringLiteral("o=Jörn|cn=a+b#")
            << QStringLiteral("cn=a\\+b\\#,o=Jörn");
        QTest::newRow("numeric type")
            << QStringLiteral("2.5.4.3=x") << QStringLiteral("2.5.4.3=x") << QStringLiteral("2.5.4.3=x");
        QTest::newRow("no equals") << QStringLiteral("cn=a,b") << QStringLiteral("!") << QString();
        QTest::newRow("bad type") << QStringLiteral("c n=a") << QStringLiteral("!") << QString();
        QTest::newRow("empty value") << QStringLiteral("cn=,o=x") << QStringLiteral("!") << QString();
        QTest::newRow("hexadecimal value") << QStringLiteral("cn=#0401") << QStringLiteral("!") << QString();
        QTest::newRow("backslash in a name")
            << QStringLiteral("cn=a\\5Cb") << QStringLiteral("!") << QString();
        QTest::newRow("two values") << QStringLiteral("cn=a+sn=b") << QStringLiteral("!") << QString();
    }
    void Parse() {
        QFETCH(QString, Text);
        QFETCH(QString, Rdns);
        QFETCH(QString, Formatted);
        if (Rdns == QLatin1String("!")) {
            QVERIFY_THROWS_EXCEPTION(EDirectoryError, Dn::Parse(Text));
            return;
        }
        const std::vector<Dn::TRdn> Parsed = Dn::Parse(Text);
        QStringList Got;
        for (const Dn::TRdn& R : Parsed)
            Got << R.Type + QLatin1Char('=') + R.Value;
        QCOMPARE(Got.join(QLatin1Char('|')), Rdns);
        QCOMPARE(Dn::Format(Parsed), Formatted);
    }

    // Below a base: only DNs that end with the base name objects of the tree.
    void BelowABase() {
        const Dn::TTreeDns Tree(QStringLiteral("SCHULE"), QStringLiteral("dc=schule,dc=test"));
        std::vector<Dn::TRdn> Levels;
        QVERIFY(Tree.LevelsOf(QStringLiteral("ou=5a,ou=schueler,o=unterricht,DC=Schule, dc=test"), Levels));
        QCOMPARE(Tree.FullNameOf(Levels), QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a"));
        QCOMPARE(Tree.FullNameOf(Levels, 1), QStringLiteral("NDS:\\\\SCHULE\\unterricht"));
        QCOMPARE(Tree.DnOf(Levels), QStringLiteral("ou=5a,ou=schueler,o=unterricht,dc=schule,dc=test"));
        QVERIFY(Tree.LevelsOf(QStringLiteral("dc=schule,dc=test"), Levels));
        QVERIFY(Levels.empty());
        QCOMPARE(Tree.DnOf({}), QStringLiteral("dc=schule,dc=test"));
        // A server's administrator, just as many levels down, but below another base.
        QVERIFY(!Tree.LevelsOf(QStringLiteral("cn=admin,dc=andere,dc=test"), Levels));
        QVERIFY(!Tree.LevelsOf(QStringLiteral("dc=test"), Levels));
        QVERIFY(!Tree.LevelsOf(QStringLiteral("kaputt,dc=schule,dc=test"), Levels));

        const std::vector<Dn::TRdn> Named =
            Tree.ContainerLevels(QStringLiteral("NDS:\\\\schule\\unterricht\\schueler\\x"), true);
        QCOMPARE(Tree.DnOf(Named), QStringLiteral("cn=x,ou=schueler,o=unterricht,dc=schule,dc=test"));
        QVERIFY(Tree.ContainerLevels(QStringLiteral("NDS:\\\\ANDERS\\unterricht"), false).empty());
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 Dn::TTreeDns(QStringLiteral("SCHULE"), QStringLiteral("dc")));
    }
};

PARVON_TEST_MAIN(TstDn)
#include "tst_dn.moc"
