#include <TestMain.h>

#include <IniFile.h>
#include <Konfiguration.h>

#include <QTemporaryDir>
#include <QtTest>

// The configured values without a window: the flag texts, the exchange default, and the names
// converted between the file's dotted form and full names.
class TKonfigurationTest : public QObject {
    Q_OBJECT

    // A tree prefix that makes every conversion visible.
    static TKonfiguration::TNamen Namen() {
        return {[](const QString& Dotted) { return QStringLiteral("FULL:") + Dotted; },
                [](const QString& Full) {
                    return Full.startsWith(QLatin1String("FULL:")) ? Full.mid(5) : u'?' + Full;
                }};
    }

private Q_SLOTS:
    void flagsLesen_data();
    void flagsLesen();
    void tauschAusHome_data();
    void tauschAusHome();
    void names_data();
    void names();
};

void TKonfigurationTest::flagsLesen_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("-di+ri") << "-di+ri"
                            << "/+RI";
    QTest::newRow("+ri/+di") << "+ri/+di"
                             << "/+DI/+RI";
    QTest::newRow("canonical") << "/+DI"
                               << "/+DI";
    QTest::newRow("minus only") << "-DI-RI"
                                << "";
    QTest::newRow("blanks") << " + DI "
                            << "";
    QTest::newRow("garbage") << "xyz"
                             << "";
}

void TKonfigurationTest::flagsLesen() {
    QFETCH(QString, Text);
    QFETCH(QString, Expected);
    QCOMPARE(TKonfiguration::FlagsLesen(Text), Expected);
}

void TKonfigurationTest::tauschAusHome_data() {
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("demo") << "\\\\SERVER\\VOLUME\\home\\schueler"
                          << "\\\\SERVER\\VOLUME\\home\\Tausch\\schueler";
    QTest::newRow("trailing backslash not examined") << "\\\\S\\V\\home\\"
                                                     << "\\\\S\\V\\Tausch\\home\\";
    QTest::newRow("volume only") << "\\\\SRV\\VOL"
                                 << "\\\\SRV\\Tausch\\VOL";
    QTest::newRow("server only") << "\\\\SRV"
                                 << "\\\\Tausch\\SRV";
    QTest::newRow("no backslash") << "home"
                                  << "\\Tauschhome";
}

void TKonfigurationTest::tauschAusHome() {
    QFETCH(QString, Home);
    QFETCH(QString, Expected);
    QCOMPARE(TKonfiguration::TauschAusHome(Home), Expected);
}

void TKonfigurationTest::names_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QString>("Held");     // ouSchueler | LoginKlasse | LoginDatei | MusterTemplate
    QTest::addColumn<QByteArray>("Saved"); // the same keys as written back
    QTest::newRow("class mode")
        << QByteArray("[config]\nouSchueler=s.u\nLoginscript=5a.s.u\nTemplate=T.s.u\n")
        << "FULL:s.u|FULL:5a.s.u||FULL:T.s.u"
        << QByteArray("ouSchueler=s.u\nLoginSource=OUKlasse\nLoginscript=5a.s.u\nTemplate=T.s.u\n");
    QTest::newRow("file mode keeps the path")
        << QByteArray("[config]\nLoginSource=File\nLoginscript=C:\\a b.txt\n")
        << "FULL:schueler.unterricht||C:\\a b.txt|"
        << QByteArray(
               "ouSchueler=schueler.unterricht\nLoginSource=File\nLoginscript=C:\\a b.txt\nTemplate=\n");
    QTest::newRow("empty names stay empty")
        << QByteArray("[config]\nouSchueler=\nLoginscript=\nTemplate=\n") << "|||"
        << QByteArray("ouSchueler=\nLoginSource=OUKlasse\nLoginscript=\nTemplate=\n");
}

void TKonfigurationTest::names() {
    QFETCH(QByteArray, Ini);
    QFETCH(QString, Held);
    QFETCH(QByteArray, Saved);
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("Parvon.ini"));
    {
        QFile F(Path);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write(Ini);
    }
    TKonfiguration K;
    K.Laden(Path, Namen());
    QCOMPARE(QStringList({K.ouSchueler, K.LoginKlasse, K.LoginDatei, K.MusterTemplate}).join(u'|'), Held);

    TIniFile Out(Dir.filePath(QStringLiteral("neu.ini")));
    K.Schreiben(Out, Namen());
    const QByteArray Written = Out.Serialize().replace("\r\n", "\n");
    QVERIFY2(Written.contains(Saved), Written.constData());
    // The read-only keys are never written.
    for (const char* Key : {"net", "netmask", "debug", "BImport", "CreateUser"})
        QVERIFY2(!Written.contains(QByteArray("\n") + Key + '='), Key);
}

PARVON_TEST_MAIN(TKonfigurationTest)
#include "tst_konfiguration.moc"
