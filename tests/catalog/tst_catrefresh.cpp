#include <AppFixture.h>
#include <ErrorCode.h>
#include <TestMain.h>

#include <CatRefresh_u.h>
#include <Layouts.h>
#include <ndk_u.h>

#include <QAction>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace Demo;
using namespace Qt::Literals::StringLiterals;

namespace {
const QString Katalog = Dienste + QStringLiteral("\\benutzer");
const QString EndTime = QStringLiteral("NDSCAT:Actual End Time");
const QString Begonnen = QStringLiteral("Aktualisierung hat begonnen, bitte warten");
const QString Abgeschlossen = QStringLiteral("Aktualisierung abgeschlossen ");
const QString StartHint = QStringLiteral("Aktualisierung starten");
} // namespace

// The catalog refresh in the directory, and the dialog over the main window on a demo directory:
// the refresh it starts, the wait for the catalog's end time and every way the wait ends.
class TCatRefreshTest : public TAppFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Store = std::make_unique<TTestStore>();
        const auto All = [this](const QString& Field) {
            QStringList Values;
            for (const QVariant& V :
                 Directory().ReadField(Directory().Resolve(Katalog), *Directory().FieldType(Field)))
                Values << V.toString();
            return Values;
        };
        const QStringList Filter = All(u"NDSCAT:Filter"_s);
        DemoCatalog = {{u"NDSCAT:Catalog Scope"_s, All(u"NDSCAT:Catalog Scope"_s)},
                       {u"NDSCAT:Filter"_s, Filter.isEmpty() ? QVariant() : QVariant(Filter.front())},
                       {u"NDSCAT:Attribute List"_s, All(u"NDSCAT:Attribute List"_s)}};
    }
    void cleanupTestCase() { Store.reset(); }
    void init() {
        SetCatalog(DemoCatalog); // as the demo has it, whatever the case before changed
        StartCase();
        WriteIni("[config]\nKatalog=benutzer.dienste\n");
        OpenForm();
    }
    void cleanup() {
        Directory().WaitForCatalogRefreshes();
        EndCase();
    }

    void gathersScope_data();
    void gathersScope();
    void refreshRunsOnce();
    void goesWithItsRows();

    void refreshFromTheMenu();
    void completionRule_data();
    void completionRule();
    void waitEnds_data();
    void waitEnds();
    void failures_data();
    void failures();

private:
    std::vector<TFieldWrite> DemoCatalog;

    // The dialog as the menu shows it, on the window's access object, active.
    std::unique_ptr<TFCatRefresh> ShownDialog() {
        auto D = std::make_unique<TFCatRefresh>(Form->DirectoryAccess(), Form.get());
        D->edCAtalog->setText(K().Katalog);
        D->show();
        if (!QTest::qWaitForWindowActive(D.get()))
            qFatal("the dialog does not become active");
        return D;
    }
    // The directory the client reads and writes: the embedded store's or the LDAP server's.
    TDirectoryBackend& Directory() { return *Store->Directory; }
    void SetCatalog(const std::vector<TFieldWrite>& Fields) {
        Directory().WriteFields(Directory().Resolve(Katalog), Fields);
    }
    void SetEndTime(const QVariant& Value) { SetCatalog({{EndTime, Value}}); }
    QVariant CatalogField(const QString& Field) {
        const std::vector<QVariant> Values =
            Directory().ReadField(Directory().Resolve(Katalog), *Directory().FieldType(Field));
        return Values.empty() ? QVariant() : Values.front();
    }
    void Refresh() {
        QVERIFY(Directory().StartCatalogRefresh(Directory().Resolve(Katalog)));
        Directory().WaitForCatalogRefreshes();
    }
    QString EndText() const { return NDK->GetFieldValue(Katalog, EndTime); }
};

// "Katalog" opens the dialog on the configured catalog; "Aktualisieren" refreshes it for real and
// shows the new end time; every activation clears the result but a return from its own box.
void TCatRefreshTest::refreshFromTheMenu() {
    QAction* Menu = Of<QAction>(Form, "meKatalog");
    QVERIFY(Menu->isVisible());
    QStringList Texts;
    QString Activated, Result, ResultEnd, Reactivated, BackFromBox;
    bool Locked = false;
    Answer::With<TFCatRefresh>([&](TFCatRefresh& D) {
        Texts << D.windowTitle() << D.Label1->text() << D.edCAtalog->text() << D.edCAtalog->toolTip()
              << D.laErfolg->text() << D.buAktualisieren->text() << D.buAktualisieren->toolTip()
              << D.buClose->text() << D.buClose->toolTip();
        D.show();
        QApplication::setActiveWindow(&D);
        Activated = D.laErfolg->text();
        Locked =
            D.edCAtalog->isReadOnly() && !D.buAuswahl->isEnabled() &&
            D.edCAtalog->palette().color(QPalette::Base) == D.edCAtalog->palette().color(QPalette::Button);
        D.buAktualisieren->click();
        Result = D.laErfolg->text();
        ResultEnd = EndText();
        {
            QMessageBox Box(&D);
            Box.show();
            QApplication::setActiveWindow(&Box);
            QApplication::setActiveWindow(&D);
            BackFromBox = D.laErfolg->text();
        }
        QWidget Other;
        Other.show();
        QApplication::setActiveWindow(&Other);
        QApplication::setActiveWindow(&D);
        Reactivated = D.laErfolg->text();
        return int(QDialog::Rejected);
    });
    Menu->trigger();

    QCOMPARE(Texts, (QStringList{u"Benutzerkatalog aktualisieren"_s, u"Benutzerkatalog"_s,
                                 u"benutzer.dienste"_s, u"Name des Katalogobjekts"_s, u"LaErfolg"_s,
                                 u"Aktualisieren"_s, StartHint, u"&Zurück"_s,
                                 u"zurück zum Hauptformular, auch während Aktualisierung möglich."_s}));
    QCOMPARE(Activated, QString());
    QVERIFY(Locked);
    QCOMPARE(Result, Abgeschlossen + ResultEnd);
    QCOMPARE(BackFromBox, Result);
    QCOMPARE(Reactivated, QString());
    // The directory really gathered the catalog's rows.
    QVERIFY(!Directory().CatalogRows(Directory().Resolve(Katalog)).empty());
}

// The refresh has finished once the end time differs from the one before the start and is not
// earlier than the start's second.
void TCatRefreshTest::completionRule_data() {
    QTest::addColumn<QString>("Vorher");
    QTest::addColumn<QString>("Ende");
    QTest::addColumn<bool>("Finished");
    // The start is 13.06.2003 08:00:00.700.
    QTest::newRow("later") << u"12.06.2003 18:00:00"_s << u"13.06.2003 08:00:05"_s << true;
    QTest::newRow("within the start's second")
        << u"12.06.2003 18:00:00"_s << u"13.06.2003 08:00:00"_s << true;
    QTest::newRow("earlier") << u"12.06.2003 18:00:00"_s << u"13.06.2003 07:59:59"_s << false;
    QTest::newRow("old end in the start's second")
        << u"13.06.2003 08:00:00"_s << u"13.06.2003 08:00:00"_s << false;
    QTest::newRow("old end later than the start")
        << u"14.06.2003 08:00:00"_s << u"14.06.2003 08:00:00"_s << false;
}

void TCatRefreshTest::completionRule() {
    QFETCH(QString, Vorher);
    QFETCH(QString, Ende);
    QFETCH(bool, Finished);
    QCOMPARE(TFCatRefresh::Abgeschlossen(Then().addMSecs(700), Vorher, Ende), Finished);
}

// While the directory cannot write, the wait goes on whatever end time the catalog held before;
// "Zurück" ends it at once without stopping the refresh, the title-bar close waits for the end.
void TCatRefreshTest::waitEnds_data() {
    QTest::addColumn<QDateTime>("Before");
    QTest::addColumn<QString>("Action");
    QTest::addColumn<bool>("Completed");
    QTest::addColumn<bool>("Closed");
    const QDateTime Yesterday = QDateTime::currentDateTime().addDays(-1);
    QTest::newRow("old end earlier") << Yesterday << "release" << true << false;
    QTest::newRow("old end in the start's second") << Then() << "release" << true << false;
    QTest::newRow("old end later than the start") << Then().addDays(1) << "release" << true << false;
    QTest::newRow("Zurück") << Yesterday << "back" << false << true;
    QTest::newRow("title-bar close") << Yesterday << "close" << true << true;
}

void TCatRefreshTest::waitEnds() {
    QFETCH(QDateTime, Before);
    QFETCH(QString, Action);
    QFETCH(bool, Completed);
    QFETCH(bool, Closed);
    SetEndTime(Before);
    const QString Vorher = EndText();
    auto D = ShownDialog();
    auto Lock = std::make_unique<TCatalogHold>(*Store);
    bool Waited = false, OpenAfterClose = false;
    QTimer::singleShot(3 * TFCatRefresh::PollInterval, D.get(), [&] {
        Waited = D->Waiting() && D->laErfolg->text() == Begonnen && !D->buAktualisieren->isEnabled() &&
                 D->buAktualisieren->toolTip() == QStringLiteral("Aktualisierung wird gerade durchgeführt");
        if (Action == QLatin1String("back")) {
            D->buClose->click();
            return;
        }
        if (Action == QLatin1String("close"))
            OpenAfterClose = !D->close() && D->isVisible();
        Lock->Release();
    });
    D->buAktualisieren->click();

    QVERIFY(Waited);
    QCOMPARE(D->laErfolg->text(), Completed ? Abgeschlossen + EndText() : Begonnen);
    QCOMPARE(D->isVisible(), !Closed);
    QCOMPARE(OpenAfterClose, Action == QLatin1String("close"));
    QVERIFY(!D->Waiting());
    QVERIFY(D->buAktualisieren->isEnabled());
    QCOMPARE(D->buAktualisieren->toolTip(), StartHint);
    // The refresh started once and runs to its end however the wait ended.
    Lock.reset();
    QCOMPARE(TFaultInjection::Count(QStringLiteral("NWCatAdm.StartRefresh")), 1);
    QTRY_VERIFY(EndText() != Vorher);
}

// A refresh that cannot start, and an end time that is no date and time, end the run with the
// standard error box; the result text stays "begun" and the button comes back.
void TCatRefreshTest::failures_data() {
    QTest::addColumn<QString>("Catalog");
    QTest::addColumn<QString>("Fault");
    QTest::addColumn<QString>("Message");
    const QString Benutzer = u"benutzer.dienste"_s, NoDate = u"'' ist kein gültiges Datum und Uhrzeit"_s;
    QTest::newRow("start fails") << Benutzer << u"NWCatAdm.StartRefresh"_s << u"kaputt"_s;
    QTest::newRow("positioning fails") << Benutzer << u"NWCatAdm.FullName"_s << u"kaputt"_s;
    QTest::newRow("no catalog") << u"admin.dienste"_s << QString()
                                << u"NDS:\\\\SCHULE\\dienste\\admin ist kein Katalog (-641)"_s;
    QTest::newRow("no such object") << u"fehlt.dienste"_s << QString()
                                    << u"Objekt nicht gefunden: NDS:\\\\SCHULE\\dienste\\fehlt (-601)"_s;
    QTest::newRow("empty end time") << Benutzer << u"empty"_s << NoDate;
    QTest::newRow("unreadable end time") << Benutzer << u"NWEntry.GetFieldValue"_s << NoDate;
}

void TCatRefreshTest::failures() {
    QFETCH(QString, Catalog);
    QFETCH(QString, Fault);
    QFETCH(QString, Message);
    if (Fault == QLatin1String("empty"))
        SetEndTime(QVariant());
    else if (!Fault.isEmpty())
        TFaultInjection::FailAlways(Fault, QStringLiteral("kaputt"));
    // The directory writes no end time meanwhile.
    TCatalogHold Lock(*Store);
    auto D = ShownDialog();
    D->edCAtalog->setText(Catalog);
    D->buAktualisieren->click();
    QCOMPARE(TModalSeam::Shown(), QStringList{QStringLiteral("Fehler|") + Message});
    QCOMPARE(D->laErfolg->text(), Begonnen);
    QVERIFY(D->buAktualisieren->isEnabled());
    QCOMPARE(D->buAktualisieren->toolTip(), StartHint);
    QVERIFY(D->isVisible());
}

// A refresh gathers the chosen fields of the objects in scope whose layout passes the filter,
// each object once, and records its counts. The expectation is read through the directory.
void TCatRefreshTest::gathersScope_data() {
    QTest::addColumn<QStringList>("Scope");
    QTest::addColumn<QString>("Filter");
    QTest::addColumn<QStringList>("Fields");
    QTest::addColumn<QStringList>("Layouts"); // of the objects expected; "" any
    const QStringList Names{u"Surname"_s, u"Given Name"_s, u"Full Name"_s};
    QTest::newRow("demo catalog") << QStringList{Schueler} << u"User"_s << Names << QStringList{u"User"_s};
    QTest::newRow("overlapping scope, any case, unknown field")
        << QStringList{Schueler, Klasse5a} << u" user ,TEMPLATE"_s
        << QStringList{u"surname"_s, u"Gibt es nicht"_s, u"Home Directory"_s}
        << QStringList{u"User"_s, u"Template"_s};
    QTest::newRow("whole tree, unknown layout") << QStringList{} << u"Drucker"_s << Names << QStringList{};
    QTest::newRow("no filter, no fields")
        << QStringList{Klasse5a} << QString() << QStringList{} << QStringList{QString()};
}

void TCatRefreshTest::gathersScope() {
    QFETCH(QStringList, Scope);
    QFETCH(QString, Filter);
    QFETCH(QStringList, Fields);
    QFETCH(QStringList, Layouts);
    TDirectoryBackend& D = Directory();
    SetCatalog({{u"NDSCAT:Catalog Scope"_s, Scope},
                {u"NDSCAT:Filter"_s, Filter.isEmpty() ? QVariant() : QVariant(Filter)},
                {u"NDSCAT:Attribute List"_s, Fields}});
    QStringList Objects, Expected;
    for (const QString& Base : Scope)
        for (const QString& Layout : Layouts)
            for (const QString& Name : D.Search(D.Resolve(Base), QString(), Layout, 2))
                if (!Objects.contains(Name))
                    Objects << Name;
    for (const QString& Name : std::as_const(Objects))
        for (const QString& Field : D.FieldNames(D.Resolve(Name)))
            if (Fields.contains(Field, Qt::CaseInsensitive))
                for (const QVariant& V : D.ReadField(D.Resolve(Name), *D.FieldType(Field)))
                    Expected << Name + u'|' + Field + u'|' + V.toString();
    QVERIFY(Layouts.isEmpty() || !Objects.isEmpty());

    const QDateTime Before = TClock::Now().addSecs(-1);
    Refresh();
    QStringList Gathered;
    for (const TCatalogRow& R : D.CatalogRows(D.Resolve(Katalog)))
        Gathered << R.FullName + u'|' + R.Field + u'|' + R.Value.toString();
    Expected.sort();
    Gathered.sort();
    QCOMPARE(Gathered, Expected);
    QCOMPARE(CatalogField(u"NDSCAT:Actual Object Count"_s).toLongLong(), qint64(Objects.size()));
    QCOMPARE(CatalogField(u"NDSCAT:Actual Value Count"_s).toLongLong(), qint64(Expected.size()));
    QCOMPARE(CatalogField(u"NDSCAT:Actual Result"_s).toLongLong(), qint64(0));
    const QDateTime Start = CatalogField(u"NDSCAT:Actual Start Time"_s).toDateTime();
    QVERIFY(Start >= Before && Start <= CatalogField(EndTime).toDateTime());
}

// A refresh of a catalog runs once at a time, and each one ends with an end time of its own;
// one whose scope names no object fails with that code and keeps the rows it had.
void TCatRefreshTest::refreshRunsOnce() {
    TDirectoryBackend& D = Directory();
    const TObjectRef Catalog = D.Resolve(Katalog);
    QCOMPARE(CodeOf([&] { D.StartCatalogRefresh(D.Resolve(Unterricht)); }), ERR_INVALID_REQUEST);
    {
        TCatalogHold Hold(*Store);
        QVERIFY(D.StartCatalogRefresh(Catalog));
        QVERIFY(!D.StartCatalogRefresh(Catalog));
    }
    D.WaitForCatalogRefreshes();
    const QDateTime First = CatalogField(EndTime).toDateTime();
    const qint64 Rows = qint64(D.CatalogRows(Catalog).size());
    QVERIFY(Rows > 0);
    Refresh();
    QVERIFY(CatalogField(EndTime).toDateTime() > First);
    QCOMPARE(qint64(D.CatalogRows(Catalog).size()), Rows);

    const TObjectRef Gone = D.CreateObject(D.Resolve(Unterricht), u"Organizational Unit"_s, u"weg"_s);
    SetCatalog({{u"NDSCAT:Catalog Scope"_s, QStringList{Schueler, Gone.FullName}}});
    D.DeleteObject(Gone);
    const QDateTime Second = CatalogField(EndTime).toDateTime();
    Refresh();
    QCOMPARE(CatalogField(u"NDSCAT:Actual Result"_s).toLongLong(), qint64(ERR_NO_SUCH_ENTRY));
    QVERIFY(CatalogField(EndTime).toDateTime() > Second);
    QCOMPARE(qint64(D.CatalogRows(Catalog).size()), Rows);
    QCOMPARE(CatalogField(u"NDSCAT:Actual Value Count"_s).toLongLong(), Rows);
}

// A catalog that gathered rows is deleted like any object, and its rows with it.
void TCatRefreshTest::goesWithItsRows() {
    TDirectoryBackend& D = Directory();
    const TObjectRef Zweiter =
        D.CreateObject(D.Resolve(Prefix + u"\\dienste"_s), CatalogLayout(), u"zweiter"_s,
                       {{u"NDSCAT:Catalog Scope"_s, QStringList{Schueler}},
                        {u"NDSCAT:Attribute List"_s, QStringList{u"Surname"_s}}});
    QVERIFY(D.StartCatalogRefresh(Zweiter));
    D.WaitForCatalogRefreshes();
    QVERIFY(!D.CatalogRows(Zweiter).empty());
    D.DeleteObject(Zweiter);
    QCOMPARE(CodeOf([&] { D.Resolve(Zweiter.FullName); }), ERR_NO_SUCH_ENTRY);
}

PARVON_TEST_MAIN(TCatRefreshTest)
#include "tst_catrefresh.moc"
