#include "SchuelerListe_U.h"

#include "BenutzerFormular.h"
#include "CsvSpeichern.h"
#include "HeaderDlg_u.h"
#include "ListenHilfen.h"
#include "ListenZeilen.h"

#include <Names.h>

#include <DruckTitel.h>
#include <ErrorGuard.h>
#include <Konfiguration.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <PrintCanvas.h>
#include <PrintDialog.h>
#include <StringList.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QAction>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

namespace {
// A line of the list: kept in the order of the user's locale, without regard to case.
class TSchuelerEintrag : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& Other) const override {
        return CompareAsRead(text(), Other.text()) < 0;
    }
};
} // namespace

TSchuelerListeTab::TSchuelerListeTab(TKonfiguration& Konfiguration, TNDK* Ndk, QString& Klasse,
                                     TDruckTitel& DruckTitel, TPrintDialog& PrintDialog, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk), SelectedClass(Klasse), Titel(DruckTitel),
      PrintDialog1(PrintDialog) {
    setObjectName(QStringLiteral("TabSchuelerListe"));
    BuildUi();
    ConnectGuarded(BuKlassenAuswahl, &QToolButton::clicked, this, &TSchuelerListeTab::BuKlassenAuswahlClick);
    ConnectGuarded(buDruckSchueler, &QToolButton::clicked, this, &TSchuelerListeTab::buDruckSchuelerClick);
    ConnectGuarded(CsvAktion(LiKlassenliste, "acSchuelerCsv"), &QAction::triggered, this,
                   &TSchuelerListeTab::AlsCsvSpeichern);
}

void TSchuelerListeTab::BuKlassenAuswahlClick() {
    TNDK& N = Erreichbar(FNdk);
    QString Auswahl;
    if (!ChoosePicker(this, N, TPickerKind::KlassenAuswahl, K.ouSchueler, Auswahl))
        return;
    TWaitCursor Wait;
    SelectedClass = Auswahl;
    EdKlasse->setText(TNDK::PathToDotted(Auswahl));
    Titel.Header1 = QStringLiteral("Benutzer in Klasse ") + N.GetShortName(Auswahl);
    Nachrichten();
    N.SetFilters(QStringLiteral("User"));
    FillStudentList();
}

void TSchuelerListeTab::FillStudentList() {
    TNDK& N = Erreichbar(FNdk);
    // Emptied first: a class that cannot be read never shows the students of the one before.
    LiKlassenliste->clear();
    FZeilen.clear();
    FZeilen = SchuelerListe::Lesen(N, SelectedClass);
    // The list's font has a fixed pitch: a line is as wide as its characters.
    const int Zeichen = QFontMetrics(LiKlassenliste->font()).horizontalAdvance(u'x');
    for (const SchuelerListe::TZeile& Z : FZeilen) {
        const QString Text = SchuelerListe::Text(Z);
        auto* Eintrag = new TSchuelerEintrag(Text);
        Eintrag->setData(Qt::UserRole, Z.Benutzer);
        Eintrag->setSizeHint(QSize(Zeichen * int(Text.size()) + 8, 16));
        LiKlassenliste->addItem(Eintrag);
    }
}

void TSchuelerListeTab::AlsCsvSpeichern() {
    const QString Klasse =
        SelectedClass.isEmpty() ? QStringLiteral("Schueler") : Erreichbar(FNdk).GetShortName(SelectedClass);
    CsvSpeichern(this, Klasse + QStringLiteral(".csv"), SchuelerListe::Tabelle(FZeilen));
}

void TSchuelerListeTab::buDruckSchuelerClick() {
    TNDK& N = Erreichbar(FNdk);
    THeaderDlg Dlg(this);
    Dlg.Setzen(Titel);
    if (TModalSeam::Exec(Dlg) != QDialog::Accepted)
        return;
    // The captions stay also when the print dialog is cancelled.
    Titel = Dlg.Titel();
    if (!PrintDialog1.ShowDialog(this))
        return;
    TWaitCursor Wait;
    const TFilter Filter(N, QStringLiteral("User"));
    TStringList Liste;
    N.ListEntries(SelectedClass, Liste);
    PrintStudentList(Liste);
}

void TSchuelerListeTab::PrintStudentList(const TStringList& Liste) {
    TBenutzerZeilen Zeilen(Erreichbar(FNdk), Liste);
    const auto Canvas = PrintDialog1.BeginCanvas();
    FormularDrucken(*Canvas, Titel, Zeilen);
}
