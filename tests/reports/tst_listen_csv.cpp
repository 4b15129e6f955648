// The lists as spreadsheet files: the console's CSV of the class overview, of a class's students
// and of a container's accounts hold the rows the window shows and prints, and the lists' context
// menus write the same files.

#include "ListenFixture.h"

#include <TestMain.h>

#include <CsvText.h>
#include <DruckTitel.h>
#include <KlassenListe_U.h>
#include <KontenListe.h>
#include <ListenZeilen.h>
#include <SchuelerListe_U.h>

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QProcess>
#include <QtTest>

using namespace Demo;
using namespace Qt::StringLiterals;

class TListenCsvTest : public TListenFixture {
    Q_OBJECT

    // The console's CSV of a list.
    QByteArray Console(const QStringList& Args) const {
        QProcess P;
        P.start(QStringLiteral(PARVON_DIRTOOL), QStringList{u"--store"_s, Store->Path(), u"csv"_s} + Args);
        if (!P.waitForFinished(120000) || P.exitCode() != 0)
            qFatal("parvon-dirtool csv failed: %s", P.readAllStandardError().constData());
        return P.readAllStandardOutput();
    }
    // What the context menu item Name of the list writes through the save dialog.
    QByteArray Saved(QWidget* List, const char* Name) const {
        const QString Path = Dir->filePath(QLatin1String(Name) + u".csv"_s);
        Answer::With<QFileDialog>([Path](QFileDialog& Dlg) {
            Dlg.selectFile(Path);
            return int(Dlg.acceptMode() == QFileDialog::AcceptSave ? QDialog::Accepted : QDialog::Rejected);
        });
        QAction* Item = Child<QAction>(List, QLatin1String(Name));
        if (!List->actions().contains(Item) || Item->text() != u"Als CSV speichern ..."_s)
            qFatal("%s is not in the context menu", Name);
        Item->trigger();
        QFile F(Path);
        return F.open(QIODevice::ReadOnly) ? F.readAll() : "<missing>"_ba;
    }
    static QList<QStringList> Split(const QStringList& Rows) {
        QList<QStringList> Table;
        for (const QString& R : Rows)
            Table << R.split(u'|');
        return Table;
    }

private Q_SLOTS:
    void init() {
        StartListCase();
        WriteIni("[config]\r\n"_ba); // the window's configuration: the defaults
        // A class whose names need quoting and show umlauts.
        Klasse(Schueler, u"Übung"_s, 2, {u"Müller, \"Max\""_s, u"Zoë Groß"_s});
    }
    void cleanup() { EndListCase(); }

    void classes() {
        auto* Tab = Child<TKlassenListeTab>(Form.get(), u"TabListeKlassen"_s);
        Tab->TabListeKlassenShow();
        const QByteArray Csv = Console({u"classes"_s, u"--ini"_s, IniPath()});
        QCOMPARE(Csv, CsvText(QList<QStringList>{KlassenListe::Spalten()} + Split(GridRows())));
        QVERIFY(Csv.startsWith("\xEF\xBB\xBF"
                               "Klasse,Sch\xC3\xBC"
                               "lerzahl,Tausch,Rechte\r\n5a,"));
        QVERIFY(Csv.contains("\r\n\xC3\x9C"
                             "bung,2,-,\r\n"));
        QCOMPARE(Csv.count("\r\n"), Grid()->rowCount() + 1);
        QCOMPARE(Saved(Grid(), "acKlassenCsv"), Csv);
    }

    void students() {
        Answer::Picker(Schueler + u"\\Übung"_s);
        auto* Tab = Child<TSchuelerListeTab>(Form.get(), u"TabSchuelerListe"_s);
        Child<QToolButton>(Tab, u"BuKlassenAuswahl"_s)->click();
        const auto* List = Child<QListWidget>(Tab, u"LiKlassenliste"_s);
        const QByteArray Csv = Console({u"students"_s, u"Übung"_s, u"--ini"_s, IniPath()});
        QCOMPARE(Csv, "\xEF\xBB\xBFVoller Name,Anmeldenamen\r\n\"M\xC3\xBCller, \"\"Max\"\"\",u01\r\n"
                      "Zo\xC3\xAB Gro\xC3\x9F,u02\r\n"_ba);
        // Row for row the list's lines.
        const std::vector<SchuelerListe::TZeile> Rows{{u"Müller, \"Max\""_s, u"u01"_s, {}},
                                                      {u"Zoë Groß"_s, u"u02"_s, {}}};
        QCOMPARE(List->count(), 2);
        for (int I = 0; I < 2; ++I)
            QCOMPARE(List->item(I)->text(), SchuelerListe::Text(Rows[size_t(I)]));
        QCOMPARE(Saved(const_cast<QListWidget*>(List), "acSchuelerCsv"), Csv);
    }

    // The accounts as the account list prints them: name, login name, restriction.
    void accounts() {
        TDruckTitel Titel;
        TPrintDialog Dialog;
        KontenlisteDrucken(*NDK, Pruefung, Titel, Dialog);
        QStringList Printed;
        for (const TPrintCall& C : Paper.Texts(1, 1))
            if (C.Y < -370 && C.Y > -2685 && C.X != 225)
                Printed << C.Text;
        QList<QStringList> Rows{{u"Name"_s, u"Anmeldename"_s, u"Network Address Restriction"_s}};
        for (qsizetype I = 0; I + 2 < Printed.size(); I += 3)
            Rows.append(Printed.mid(I, 3));
        QVERIFY(Printed.contains(u"10.1.1.101 / 10.1.1.200"_s));
        QCOMPARE(Console({u"accounts"_s, u"pruefung.unterricht"_s}), CsvText(Rows));
    }
};

PARVON_TEST_MAIN(TListenCsvTest)
#include "tst_listen_csv.moc"
