#include <TestMain.h>

#include <FileSizeLimit.h>

#include "../fuzz/IniFileCheck.h"
#include <IniFile.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <optional>

using namespace Qt::StringLiterals;

// The INI reader and writer: what it reads, and that a save changes nothing it did not set.
class TIniFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString PathOf(const QString& Name) const { return Dir.filePath(Name); }
    QString WriteFile(const QString& Name, const QByteArray& Data) {
        QFile F(PathOf(Name));
        if (!F.open(QIODevice::WriteOnly) || F.write(Data) != Data.size())
            qFatal("cannot write test file");
        return F.fileName();
    }
    static QByteArray ReadFile(const QString& Path) {
        QFile F(Path);
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void read_data();
    void read();
    void save_data();
    void save();
    void encodings_data();
    void encodings();
    void generatedFiles();
    void refusals_data();
    void refusals();
    void binaryRoundTrip();
    void hugeFile();
    void valueWithLineBreaks();
    void writeFailures_data();
    void writeFailures();
};

void TIniFileTest::read_data() {
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QString>("Key");
    QTest::addColumn<QString>("Expected");

    const QString D = QStringLiteral("<default>");
    QTest::newRow("missing key") << QByteArray("[config]\nnet=1\n") << "other" << D;
    QTest::newRow("empty value") << QByteArray("[config]\nnet=\n") << "net"
                                 << "";
    QTest::newRow("value kept whole") << QByteArray("[config]\nnet= a=b ;c \n") << "net"
                                      << " a=b ;c ";
    QTest::newRow("key case") << QByteArray("[config]\nNeT=1\n") << "net"
                              << "1";
    QTest::newRow("section case") << QByteArray("[CONFIG]\nnet=1\n") << "net"
                                  << "1";
    QTest::newRow("blanks around key and section") << QByteArray(" [ config ] \n  net  =x\n") << "net"
                                                   << "x";
    QTest::newRow("first duplicate wins") << QByteArray("[config]\nnet=1\nNET=2\n") << "net"
                                          << "1";
    QTest::newRow("first duplicate section wins")
        << QByteArray("[config]\na=1\n[config]\nnet=2\n") << "net" << D;
    QTest::newRow("comment is no setting") << QByteArray("[config]\n;net=1\n") << "net" << D;
    QTest::newRow("line without equals") << QByteArray("[config]\nnet\nnet=2\n") << "net"
                                         << "2";
    QTest::newRow("other section") << QByteArray("[x]\nnet=1\n[config]\n") << "net" << D;
    QTest::newRow("no section") << QByteArray("net=1\n") << "net" << D;
    QTest::newRow("no section header at all") << QByteArray("") << "net" << D;
    QTest::newRow("crlf") << QByteArray("[config]\r\nnet=1\r\n") << "net"
                          << "1";
    QTest::newRow("no final line end") << QByteArray("[config]\r\nnet=1") << "net"
                                       << "1";
    QTest::newRow("lone cr line ends") << QByteArray("[config]\rnet=1\r") << "net"
                                       << "1";
    QTest::newRow("lone cr inside a line") << QByteArray("[config]\nx\rnet=1\n") << "net"
                                           << "1";
    QTest::newRow("key asked with a line break") << QByteArray("[config]\na b=1\n") << "a\rb"
                                                 << "1";
    QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF[config]\nnet=1\n") << "net"
                         << "1";
    QTest::newRow("utf8 value") << QByteArray("[config]\nnet=Sch\xC3\xBCler\n") << "net"
                                << "Schüler";
    QTest::newRow("windows-1252 value") << QByteArray("[config]\nnet=Sch\xFCler \x80\n") << "net"
                                        << "Schüler €";
    QTest::newRow("nul bytes around") << QByteArray("\x00\x01[x\n[config]\nnet=1\n\x00=\x00\n", 24) << "net"
                                      << "1";
}

void TIniFileTest::read() {
    QFETCH(QByteArray, Content);
    QFETCH(QString, Key);
    QFETCH(QString, Expected);
    const TIniFile Ini(WriteFile(QStringLiteral("read.ini"), Content));
    QCOMPARE(Ini.ReadString(QStringLiteral("config"), Key, QStringLiteral("<default>")), Expected);
    QCOMPARE(Ini.ValueExists(QStringLiteral("config"), Key), Expected != QLatin1String("<default>"));
}

void TIniFileTest::save_data() {
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QStringList>("Writes"); // key, value, key, value ... into [config]
    QTest::addColumn<QByteArray>("Expected");

    QTest::newRow("new file") << QByteArray() << QStringList{u"b"_s, u"2"_s, u"a"_s, u"1"_s}
                              << QByteArray("[config]\r\nb=2\r\na=1\r\n");
    QTest::newRow("update keeps spelling and place")
        << QByteArray("; head\n[CONFIG]\nHomeBase = old\n; note\nx=y\n")
        << QStringList{u"homebase"_s, u"new"_s}
        << QByteArray("; head\n[CONFIG]\nHomeBase =new\n; note\nx=y\n");
    QTest::newRow("appended before trailing blank lines, in order")
        << QByteArray("[config]\r\nx=1\r\n\r\n[other]\r\ny=2\r\n")
        << QStringList{u"b"_s, u"2"_s, u"a"_s, u"1"_s}
        << QByteArray("[config]\r\nx=1\r\nb=2\r\na=1\r\n\r\n[other]\r\ny=2\r\n");
    QTest::newRow("duplicates: first one set, second kept")
        << QByteArray("[config]\nk=1\nK=2\n") << QStringList{u"k"_s, u"3"_s}
        << QByteArray("[config]\nk=3\nK=2\n");
    QTest::newRow("missing section appended") << QByteArray("[other]\nz=1") << QStringList{u"a"_s, u"1"_s}
                                              << QByteArray("[other]\nz=1\n\n[config]\na=1\n");
    QTest::newRow("keys before any section are foreign")
        << QByteArray("a=0\n") << QStringList{u"a"_s, u"1"_s} << QByteArray("a=0\n\n[config]\na=1\n");
    QTest::newRow("mixed line ends each kept")
        << QByteArray("[config]\r\na=1\nb=2\r\n") << QStringList{u"b"_s, u"3"_s}
        << QByteArray("[config]\r\na=1\nb=3\r\n");
    QTest::newRow("lone cr line ends kept")
        << QByteArray("[config]\ra=1\rb=2") << QStringList{u"a"_s, u"3"_s, u"c"_s, u"4"_s}
        << QByteArray("[config]\ra=3\rb=2\rc=4\r");
    QTest::newRow("no final line end kept")
        << QByteArray("[config]\na=1") << QStringList{u"a"_s, u"2"_s} << QByteArray("[config]\na=2");
    QTest::newRow("line end added before appended key")
        << QByteArray("[config]\na=1") << QStringList{u"b"_s, u"2"_s} << QByteArray("[config]\na=1\nb=2\n");
    QTest::newRow("bom kept") << QByteArray("\xEF\xBB\xBF[config]\na=1\n") << QStringList{u"a"_s, u"2"_s}
                              << QByteArray("\xEF\xBB\xBF[config]\na=2\n");
    QTest::newRow("empty value written")
        << QByteArray("[config]\na=1\n") << QStringList{u"a"_s, u""_s} << QByteArray("[config]\na=\n");
}

void TIniFileTest::save() {
    QFETCH(QByteArray, Content);
    QFETCH(QStringList, Writes);
    QFETCH(QByteArray, Expected);
    const QString Path = PathOf(QStringLiteral("save.ini"));
    QFile::remove(Path);
    if (!Content.isEmpty())
        WriteFile(QStringLiteral("save.ini"), Content);
    TIniFile Ini(Path);
    for (int I = 0; I + 1 < Writes.size(); I += 2)
        Ini.WriteString(QStringLiteral("config"), Writes.at(I), Writes.at(I + 1));
    Ini.UpdateFile();
    QCOMPARE(ReadFile(Path), Expected);
}

void TIniFileTest::encodings_data() {
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<int>("Encoding");  // as read
    QTest::addColumn<QString>("Value"); // for a; x is never set and must read the same afterwards
    QTest::addColumn<QByteArray>("Expected");

    const int Utf8 = int(TIniFile::TEncoding::Utf8), Ansi = int(TIniFile::TEncoding::Windows1252);
    const QString G = QStringLiteral("Grüße");
    QTest::newRow("utf-8") << QByteArray("; \xC3\xA4\n[config]\na=1\n") << Utf8 << G
                           << QByteArray("; \xC3\xA4\n[config]\na=Gr\xC3\xBC\xC3\x9F\x65\n");
    QTest::newRow("windows-1252") << QByteArray("; \xE4 \x81\x8D\n[config]\na=1\n") << Ansi << G
                                  << QByteArray("; \xE4 \x81\x8D\n[config]\na=Gr\xFC\xDF\x65\n");
    QTest::newRow("invalid utf-8 after bom")
        << QByteArray("\xEF\xBB\xBF; \xE4\n[config]\na=1\n") << Ansi << G
        << QByteArray("\xEF\xBB\xBF; \xE4\n[config]\na=Gr\xFC\xDF\x65\n");
    QTest::newRow("utf-16le") << QByteArray("\xFF\xFE[\0c\0o\0n\0f\0i\0g\0]\0\n\0a\0=\0\x31\0\n\0", 28)
                              << int(TIniFile::TEncoding::Utf16LE) << G
                              << QByteArray(
                                     "\xFF\xFE[\0c\0o\0n\0f\0i\0g\0]\0\n\0a\0=\0G\0r\0\xFC\0\xDF\0e\0\n\0",
                                     36);
    // Windows-1252 only through the line being set: kept in Windows-1252, "Ã¤" would read as "ä".
    QTest::newRow("windows-1252 turning into utf-8")
        << QByteArray("[config]\nx=\xC3\xA4\na=\xE4\n") << Ansi << "1"
        << QByteArray("[config]\nx=\xC3\x83\xC2\xA4\na=1\n");
    QTest::newRow("utf-8-looking value into windows-1252")
        << QByteArray("[config]\na=\xE4\n") << Ansi << "Ã¤" << QByteArray("[config]\na=\xC3\x83\xC2\xA4\n");
    QTest::newRow("bom before windows-1252 turning into utf-8")
        << QByteArray("\xEF\xBB\xBF[config]\nx=\xC3\xA4\na=\xE4\n") << Ansi << "1"
        << QByteArray("\xEF\xBB\xBF[config]\nx=\xC3\x83\xC2\xA4\na=1\n");
    // Odd-sized after FF FE, so no UTF-16; one more byte would make it UTF-16.
    QTest::newRow("ff fe start") << QByteArray("\xFF\xFE;\n[config]\nx=1\na=1\n") << Ansi << "12"
                                 << QByteArray("\xC3\xBF\xC3\xBE;\n[config]\nx=1\na=12\n");
    QTest::newRow("character windows-1252 lacks") << QByteArray("[config]\nx=\xE4\na=1\n") << Ansi << "Ω"
                                                  << QByteArray("[config]\nx=\xC3\xA4\na=\xCE\xA9\n");
    QTest::newRow("windows-1252 kept when safe")
        << QByteArray("[config]\nx=\xE4\na=1\n") << Ansi << "€" << QByteArray("[config]\nx=\xE4\na=\x80\n");
}

void TIniFileTest::encodings() {
    QFETCH(QByteArray, Content);
    QFETCH(int, Encoding);
    QFETCH(QString, Value);
    QFETCH(QByteArray, Expected);
    const QString C = QStringLiteral("config"), X = QStringLiteral("x"), A = QStringLiteral("a");
    TIniFile Ini(WriteFile(QStringLiteral("enc.ini"), Content));
    QCOMPARE(int(Ini.Encoding()), Encoding);
    Ini.WriteString(C, A, Value);
    Ini.UpdateFile();
    const TIniFile Back(Ini.FileName());
    QCOMPARE(Back.ReadString(C, X, QString()), Ini.ReadString(C, X, QString()));
    QCOMPARE(Back.ReadString(C, A, QString()), Value);
    QCOMPARE(ReadFile(Ini.FileName()), Expected);
}

void TIniFileTest::generatedFiles() {
    // Files pieced together from names, brackets, odd bytes and every kind of line end; some as
    // UTF-16. Each is saved unchanged and with one key set.
    const QByteArray Pieces[] = {
        "a",        "B",       "net",           "x y",      "=",    ";",    "[",    "]",  "1",  " ",
        "[config]", "[Other]", "\xE4",          "\xC3\xA4", "\x80", "\xFF", "\xFE", "\r", "\n", "\r\n",
        "\r\n",     "\n",      QByteArray(1, 0)};
    const QString Sections[] = {u"config"_s, u"other"_s, u"new"_s};
    const QString Keys[] = {u"a"_s, u"net"_s, u"b"_s, u"k"_s};
    const QString Values[] = {u"1"_s, u"ä"_s, u"Ã¤"_s, u"Ω"_s, u"ÿþ"_s, u""_s, u" x "_s, u"]"_s, u"a\rb"_s};
    QRandomGenerator Random(1234);
    auto Pick = [&](const auto& List) { return List[Random.bounded(int(std::size(List)))]; };
    for (int N = 0; N < 2000; ++N) {
        QByteArray Data;
        for (int I = Random.bounded(40); I > 0; --I)
            Data += Pick(Pieces);
        if (N % 5 == 0)
            Data = QByteArray("\xFF\xFE") +
                   QStringEncoder(QStringEncoder::Utf16LE).encode(QString::fromLatin1(Data));
        else if (N % 5 == 1)
            Data.prepend("\xEF\xBB\xBF");
        const QString Problem = IniSaveProblem(Data, Pick(Sections), Pick(Keys), Pick(Values));
        QVERIFY2(Problem.isEmpty(),
                 qPrintable(Problem + QStringLiteral(" in ") + QString::fromLatin1(Data.toHex())));
    }
}

void TIniFileTest::refusals_data() {
    QTest::addColumn<QStringList>("Setting"); // section, key, value

    QTest::newRow("lone surrogate in value") << QStringList{u"config"_s, u"a"_s, QString(QChar(0xD800))};
    QTest::newRow("equals sign in key") << QStringList{u"config"_s, u"b=c"_s, u"1"_s};
    QTest::newRow("key that opens a section") << QStringList{u"config"_s, u"[x]"_s, u"1"_s};
    QTest::newRow("value that makes a section") << QStringList{u"config"_s, u"[y"_s, u"]"_s};
    QTest::newRow("bracket in section name") << QStringList{u"a]b"_s, u"k"_s, u"1"_s};
    QTest::newRow("empty key") << QStringList{u"config"_s, u" "_s, u"1"_s};
}

void TIniFileTest::refusals() {
    // A setting that could not be read back as written is refused, and the file stays as it was.
    QFETCH(QStringList, Setting);
    const QByteArray Content("[config]\na=1\n[y=0\n");
    const QString Path = WriteFile(QStringLiteral("refuse.ini"), Content);
    TIniFile Ini(Path);
    try {
        Ini.WriteString(Setting.at(0), Setting.at(1), Setting.at(2));
        Ini.UpdateFile();
        QFAIL("no error raised");
    } catch (const EIniFileError& E) {
        QVERIFY2(QString::fromUtf8(E.what()).startsWith(QStringLiteral("Die Datei ")), E.what());
    }
    QCOMPARE(ReadFile(Path), Content);
}

void TIniFileTest::binaryRoundTrip() {
    // Random bytes around a section: every byte that is not the set value comes back as it was.
    QByteArray Garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator Random(4711);
    for (char& C : Garbage)
        C = char(Random.bounded(256));
    Garbage.replace('[', '('); // no accidental section headers in the noise
    const QByteArray Head = Garbage.left(32 * 1024), Tail = Garbage.mid(32 * 1024);
    const QByteArray Content = Head + "\n[config]\nkey=old\n" + Tail;
    TIniFile Ini(WriteFile(QStringLiteral("binary.ini"), Content));
    Ini.UpdateFile();
    QCOMPARE(ReadFile(Ini.FileName()), Content);
    Ini.WriteString(QStringLiteral("config"), QStringLiteral("key"), QStringLiteral("new"));
    Ini.UpdateFile();
    QCOMPARE(ReadFile(Ini.FileName()), Head + "\n[config]\nkey=new\n" + Tail);
}

void TIniFileTest::hugeFile() {
    // 50 MB of settings-like noise before the section: read and written back in reasonable time.
    QByteArray Line("noise=0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\r\n");
    QByteArray Content;
    Content.reserve(50 * 1024 * 1024 + 64);
    while (Content.size() < 50 * 1024 * 1024)
        Content += Line;
    Content += "[config]\r\nHomeFlags=/+RI\r\n";
    const QString Path = WriteFile(QStringLiteral("huge.ini"), Content);
    Content.clear();
    QElapsedTimer T;
    T.start();
    {
        TIniFile Ini(Path);
        QCOMPARE(Ini.ReadString(QStringLiteral("config"), QStringLiteral("HomeFlags"), QString()),
                 QStringLiteral("/+RI"));
        QCOMPARE(Ini.ReadString(QStringLiteral("config"), QStringLiteral("absent"), QStringLiteral("d")),
                 QStringLiteral("d"));
        Ini.WriteString(QStringLiteral("config"), QStringLiteral("HomeBase"), QStringLiteral("x"));
        Ini.UpdateFile();
    }
    QVERIFY2(T.elapsed() < 60000, qPrintable(QStringLiteral("took %1 ms").arg(T.elapsed())));
    const QByteArray Back = ReadFile(Path);
    QVERIFY(Back.endsWith("[config]\r\nHomeFlags=/+RI\r\nHomeBase=x\r\n"));
    QVERIFY(Back.startsWith(Line + Line));
}

void TIniFileTest::valueWithLineBreaks() {
    // A value can never add lines (and with them settings) to the file.
    const QString Path = PathOf(QStringLiteral("breaks.ini"));
    TIniFile Ini(Path);
    Ini.WriteString(QStringLiteral("config"), QStringLiteral("a"), QStringLiteral("x\r\n[evil]\ndebug=TRUE"));
    Ini.UpdateFile();
    QCOMPARE(ReadFile(Path), QByteArray("[config]\r\na=x [evil] debug=TRUE\r\n"));
}

void TIniFileTest::writeFailures_data() {
    QTest::addColumn<QString>("Kind");
    QTest::newRow("parent is a file") << "parent";
    QTest::newRow("target is a folder") << "folder";
    QTest::newRow("disk full") << "full";
}

void TIniFileTest::writeFailures() {
    QFETCH(QString, Kind);
    QString Path;
    if (Kind == QLatin1String("parent")) {
        Path = WriteFile(QStringLiteral("plainfile"), "x") + QStringLiteral("/Parvon.ini");
    } else if (Kind == QLatin1String("folder")) {
        Path = PathOf(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(Path));
    } else {
        Path = WriteFile(QStringLiteral("Parvon.ini"), "[config]\r\na=0\r\n");
    }
    TIniFile Ini(Path);
    const bool Full = Kind == QLatin1String("full");
    // Larger than the limit below: the disk fills in mid-write.
    Ini.WriteString(QStringLiteral("config"), QStringLiteral("a"), QString(Full ? 70000 : 1, u'1'));
    try {
        std::optional<TFileSizeLimit> Limit;
        if (Full)
            QVERIFY(Limit.emplace(4096).Set());
        Ini.UpdateFile();
        QFAIL("no error raised");
    } catch (const EIniFileError& E) {
        const QString Text = QString::fromUtf8(E.what());
        QVERIFY2(Text.startsWith(QStringLiteral("Die Datei ")), qPrintable(Text));
        QVERIFY2(Text.contains(QStringLiteral("kann nicht gespeichert werden:\n")), qPrintable(Text));
        if (Full)
            QVERIFY2(Text.endsWith(qt_error_string(EFBIG)), qPrintable(Text));
    }
    if (Kind == QLatin1String("folder"))
        QVERIFY(QFileInfo(Path).isDir());
    else if (Full)
        QCOMPARE(ReadFile(Path), QByteArray("[config]\r\na=0\r\n"));
    else
        QCOMPARE(ReadFile(PathOf(QStringLiteral("plainfile"))), QByteArray("x"));
    QCOMPARE(QDir(QFileInfo(Path).path()).entryList({QStringLiteral("*.ini.*")}, QDir::Files), QStringList());
}

PARVON_TEST_MAIN(TIniFileTest)
#include "tst_inifile.moc"
