#include "ListenFixture.h"

#include <TestMain.h>

#include <FaultInjection.h>
#include <HeaderDlg_u.h>
#include <KlassenListe_U.h>
#include <SchuelerListe_U.h>

#include <QApplication>
#include <QListWidget>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QToolButton>
#include <QtTest>

using namespace Demo;
using namespace Qt::StringLiterals;

// The tab "Schülerlisten": choosing a class, the ruled printout's pages, the captions kept between
// printouts, a failed printout, and both printouts through the real printer into a PDF file.
class TSchuelerListeTest : public TListenFixture {
    Q_OBJECT

    TSchuelerListeTab* Tab() const {
        return Child<TSchuelerListeTab>(Form.get(), QStringLiteral("TabSchuelerListe"));
    }
    QStringList Items() const {
        const auto* List = Child<QListWidget>(Tab(), QStringLiteral("LiKlassenliste"));
        QStringList Texts;
        for (int I = 0; I < List->count(); ++I)
            Texts << List->item(I)->text();
        return Texts;
    }
    void Choose(const QString& Entry, TPickerSeen* Seen = nullptr) {
        Answer::Picker(Entry, Seen);
        Child<QToolButton>(Tab(), QStringLiteral("BuKlassenAuswahl"))->click();
    }
    static QLineEdit* Edit(QDialog& Dlg, const char* Name) {
        return Child<QLineEdit>(&Dlg, QLatin1String(Name));
    }
    // Prints the chosen class: the caption dialog confirmed as it is offered, then PrintAnswer.
    void Print(TModalSeam::THandler PrintAnswer) {
        Answer::With<THeaderDlg>([](THeaderDlg&) { return int(QDialog::Accepted); });
        TModalSeam::Push(std::move(PrintAnswer));
        Child<QToolButton>(Tab(), QStringLiteral("buDruckSchueler"))->click();
    }
    // A page in short: its running numbers "first-last", then the texts of its foot line.
    QString PageSummary(int Page) const {
        QStringList Numbers, Foot;
        for (const TPrintCall& C : Paper.Texts(1, Page)) {
            if (C.X == 225)
                Numbers << C.Text;
            else if (C.Y == -2685)
                Foot << (C.Text.startsWith(QStringLiteral("Stand ")) ? QStringLiteral("Stand") : C.Text);
        }
        const QString Range = Numbers.isEmpty() ? QString() : Numbers.first() + u'-' + Numbers.last();
        return Range + u'|' + Foot.join(u',');
    }

private Q_SLOTS:
    void init() { StartListCase(); }
    void cleanup() { EndListCase(); }

    void chooseClass_data();
    void chooseClass();
    void pages_data();
    void pages();
    void rowLayout();
    void captionsKept();
    void printFailure();
    void toPdf_data();
    void toPdf();
};

void TSchuelerListeTest::chooseClass_data() {
    QTest::addColumn<bool>("User"); // a user is clicked instead of the class
    QTest::newRow("a class") << false;
    QTest::newRow("a user is refused") << true;
}

void TSchuelerListeTest::chooseClass() {
    QFETCH(bool, User);
    const QString Class = Klasse(
        Schueler, QStringLiteral("p4"), 4,
        {QStringLiteral("Zora N01"), QStringLiteral("anna N02"), QStringLiteral("Bert N03"), QString()});
    Form->DruckTitel.Header1 = QStringLiteral("alt");
    TPickerSeen Seen;
    Choose(User ? Class + QStringLiteral("\\u01") : Class, &Seen);
    QCOMPARE(Seen.Caption, QStringLiteral(" Klasse wählen"));
    QCOMPARE(Seen.Base, Schueler);
    QCOMPARE(Seen.Ok, !User);
    QCOMPARE(Child<QLineEdit>(Tab(), QStringLiteral("EdKlasse"))->text(),
             User ? QString() : QStringLiteral("p4.schueler.unterricht"));
    QCOMPARE(Form->SelectedClass, User ? QString() : Class);
    QCOMPARE(Form->DruckTitel.Header1,
             User ? QStringLiteral("alt") : QStringLiteral("Benutzer in Klasse p4"));
    // Sorted by name without regard to case; a user without full name shows the surname.
    const QStringList Sorted = {
        u" anna N02                     u02       "_s, u" Bert N03                     u03       "_s,
        u" N04                          u04       "_s, u" Zora N01                     u01       "_s};
    QCOMPARE(Items(), User ? QStringList() : Sorted);
    if (!User) {
        const auto* First = Child<QListWidget>(Tab(), QStringLiteral("LiKlassenliste"))->item(0);
        QCOMPARE(First->data(Qt::UserRole).toString(), Class + QStringLiteral("\\u02"));
        QCOMPARE(NDK->NWDir1->Filters(), QStringLiteral("User"));
    }
}

void TSchuelerListeTest::pages_data() {
    QTest::addColumn<int>("Users");
    QTest::addColumn<QStringList>("Pages");
    QTest::newRow("no users") << 0 << QStringList{u"|Anzahl der Benutzer: 0,Stand"_s};
    QTest::newRow("30 users") << 30 << QStringList{u" 1.-30.|Anzahl der Benutzer: 30,Stand"_s};
    QTest::newRow("31 users") << 31
                              << QStringList{u" 1.-30.|Seite 1/2"_s,
                                             u"31.-31.|Anzahl der Benutzer: 31,Stand,Seite 2/2"_s};
    QTest::newRow("61 users") << 61
                              << QStringList{u" 1.-30.|Seite 1/3"_s, u"31.-60.|Seite 2/3"_s,
                                             u"61.-61.|Anzahl der Benutzer: 61,Stand,Seite 3/3"_s};
}

void TSchuelerListeTest::pages() {
    QFETCH(int, Users);
    QFETCH(QStringList, Pages);
    Choose(Klasse(Schueler, QStringLiteral("p"), Users));
    Print(TPrintDialog::AcceptToPdf(Dir->filePath(QStringLiteral("p.pdf"))));
    QCOMPARE(Paper.Documents(), 1);
    QCOMPARE(Paper.Pages(1), Pages.size());
    for (int P = 1; P <= Pages.size(); ++P) {
        QCOMPARE(PageSummary(P), Pages[P - 1]);
        QCOMPARE(Paper.Lines(1, P).size(), 32 + 5); // the ruling is complete on every page
        QCOMPARE(Paper.TextsOf(1, P).first(), QStringLiteral("Benutzer in Klasse p"));
    }
    const TPrintCall Date =
        Paper.Texts(1, Pages.size()).at(Paper.Texts(1, Pages.size()).size() - (Pages.size() > 1 ? 2 : 1));
    QCOMPARE(Date.Text, QStringLiteral("Stand ") + TClock::DateToStr(Then().date()));
    QCOMPARE((std::pair{Date.X, Date.Align}), (std::pair{1030, TTextAlign::Center}));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(NDK->NWDir1->Filters(), QString());
}

// Where the texts of a row and the headings stand, what is cut and what is not.
void TSchuelerListeTest::rowLayout() {
    const QString Long = QStringLiteral("Maximiliane Alexandra von und zu Hohenzollern-Sigmaringen");
    Choose(Klasse(Schueler, QStringLiteral("p"), 2, {Long, QString()}));
    Form->DruckTitel.Spalte4 = QStringLiteral("Bemerkung");
    Print(TPrintDialog::AcceptToPdf(Dir->filePath(QStringLiteral("p.pdf"))));
    QStringList Seen;
    for (const TPrintCall& C : Paper.Texts(1, 1)) {
        QString S = QStringLiteral("%1 %2,%3 %4%5")
                        .arg(C.Text)
                        .arg(C.X)
                        .arg(C.Y)
                        .arg(C.Font.Height)
                        .arg(C.Font.Bold ? u"b"_s : u""_s);
        if (C.Clipped)
            S += QStringLiteral(" [%1,%2,%3,%4]")
                     .arg(C.Clip.Left)
                     .arg(C.Clip.Top)
                     .arg(C.Clip.Right)
                     .arg(C.Clip.Bottom);
        Seen << S;
    }
    QCOMPARE(Seen.mid(0, 12), (QStringList{
                                  u"Benutzer in Klasse p 200,-100 60b"_s,
                                  u" 200,-190 50"_s,
                                  u"Name 310,-370 40b"_s,
                                  u"Anmeldename 840,-370 40b"_s,
                                  u"Bemerkung 1260,-370 40b"_s,
                                  u" 1. 225,-445 40"_s,
                                  Long + u" 310,-445 40 [310,-445,800,-485]"_s,
                                  u"u01 840,-445 40 [840,-445,1220,-485]"_s,
                                  u" 2. 225,-520 40"_s,
                                  u"N02 310,-520 40 [310,-520,800,-560]"_s,
                                  u"u02 840,-520 40 [840,-520,1220,-560]"_s,
                                  u"Anzahl der Benutzer: 2 200,-2685 30"_s,
                              }));
    // The ruling: the top line, the bottom line, the right edge at the printable width.
    const auto Lines = Paper.Lines(1, 1);
    QCOMPARE((QList<int>{Lines[0].X, Lines[0].Y, Lines[0].X2, Lines[0].Y2}),
             (QList<int>{200, -350, 1850, -350}));
    QCOMPARE((QList<int>{Lines[31].Y, Lines[33].X, Lines[33].Y2}), (QList<int>{-2675, 1850, -2675}));
}

void TSchuelerListeTest::captionsKept() {
    Form->DruckTitel = {QStringLiteral("Benutzer in EDV1"), QString(), QStringLiteral("Name"),
                        QStringLiteral("Anmeldename"), QStringLiteral("Network Address Restriction")};
    TDruckTitel Offered;
    auto Answer = [&](bool Ok) {
        Answer::With<THeaderDlg>([&, Ok](THeaderDlg& Dlg) {
            Offered = Dlg.Titel();
            if (!Ok)
                return int(QDialog::Rejected);
            // Typing stops at 60 characters; a caption longer than its field's limit does not grow.
            QTest::keyClicks(Edit(Dlg, "edHeader2"), QString(70, u'x'));
            QTest::keyClicks(Edit(Dlg, "edSpalte4"), u"!"_s);
            Edit(Dlg, "edSpalte2")->setText(QStringLiteral("Schüler"));
            return int(QDialog::Accepted);
        });
    };
    Answer(true);
    TModalSeam::Push(TPrintDialog::Cancel());
    Child<QToolButton>(Tab(), QStringLiteral("buDruckSchueler"))->click();
    QCOMPARE(Offered.Spalte4, QStringLiteral("Network Address Restriction")); // shown whole
    const TDruckTitel Entered{QStringLiteral("Benutzer in EDV1"), QString(60, u'x'),
                              QStringLiteral("Schüler"), QStringLiteral("Anmeldename"),
                              QStringLiteral("Network Address Restriction")};
    QCOMPARE(Form->DruckTitel, Entered);

    Answer(false);
    Child<QToolButton>(Tab(), QStringLiteral("buDruckSchueler"))->click();
    QCOMPARE(Offered, Entered);
    QCOMPARE(Form->DruckTitel, Entered);
    QCOMPARE(Paper.Documents(), 0);
}

void TSchuelerListeTest::printFailure() {
    Choose(Klasse(Schueler, QStringLiteral("p"), 2));
    TFaultInjection::FailNext(QStringLiteral("NWEntries.Refresh"));
    Print(TPrintDialog::AcceptToPdf(Dir->filePath(QStringLiteral("p.pdf"))));
    QCOMPARE(Paper.Documents(), 0);
    QCOMPARE(TModalSeam::Shown().size(), 4); // picker, caption dialog, print dialog, error
    QVERIFY(TModalSeam::Shown().last().startsWith(QStringLiteral("Fehler|")));
    QCOMPARE(NDK->NWDir1->Filters(), QString());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TSchuelerListeTest::toPdf_data() {
    QTest::addColumn<QString>("Button");
    QTest::addColumn<QList<QStringList>>("Pages"); // texts each page holds
    QTest::newRow("student list, 31 users")
        << u"buDruckSchueler"_s
        << QList<QStringList>{{u"Benutzer in Klasse p"_s, u"1. Vorname N01 u01"_s, u"u30"_s, u"Seite 1/2"_s},
                              {u"31."_s, u"Vorname N31"_s, u"Anzahl der Benutzer: 31"_s, u"Seite 2/2"_s}};
    QTest::newRow("class list") << u"buDruckenKlassen"_s
                                << QList<QStringList>{{u"Liste der Klassen"_s, u"Schülerzahl"_s,
                                                       u"ja -R----F"_s, u"-RWECMF"_s,
                                                       u"Anzahl der Klassen: 11"_s}};
}

void TSchuelerListeTest::toPdf() {
    QFETCH(QString, Button);
    QFETCH(QList<QStringList>, Pages);
    const QString File = Dir->filePath(QStringLiteral("out.pdf"));
    TPrintDialog::SetRecorder(nullptr);
    if (Button == QLatin1String("buDruckSchueler")) {
        Choose(Klasse(Schueler, QStringLiteral("p"), 31));
        Print(TPrintDialog::AcceptToPdf(File));
    } else {
        Child<TKlassenListeTab>(Form.get(), QStringLiteral("TabListeKlassen"))->TabListeKlassenShow();
        TModalSeam::Push(TPrintDialog::AcceptToPdf(File));
        Child<QToolButton>(Form.get(), Button)->click();
    }
    QPdfDocument Pdf;
    QCOMPARE(Pdf.load(File), QPdfDocument::Error::None);
    QCOMPARE(Pdf.pageCount(), Pages.size());
    for (int P = 0; P < Pages.size(); ++P) {
        const QString Text = Pdf.getAllText(P).text();
        for (const QString& Part : Pages[P])
            QVERIFY2(Text.contains(Part),
                     qPrintable(Part + QStringLiteral(" on page ") + QString::number(P + 1) + u'\n' + Text));
    }
}

PARVON_TEST_MAIN(TSchuelerListeTest)
#include "tst_schuelerliste.moc"
