#include "KAUserTab_U.h"

#include "KontenListe.h"
#include "PrueflingeLauf.h"
#include "PrueflingeProbelauf.h"
#include "SpinEdit.h"

#include <DialogBau.h>
#include <ErrorGuard.h>
#include <JournaledRun.h>
#include <Konfiguration.h>
#include <LaufSperre.h>
#include <ListenHilfen.h>
#include <MaskFormat.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <PrintDialog.h>
#include <StringList.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <optional>

namespace {
bool Ziffer(QChar C) {
    return C >= u'0' && C <= u'9';
}
} // namespace

TKAUserTab::TKAUserTab(const TKonfiguration& Konfiguration, TNDK* Ndk, TStringList& WorkstationListe,
                       TDruckTitel& DruckTitel, TPrintDialog& PrintDialog, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk), FWorkstations(WorkstationListe), Titel(DruckTitel),
      PrintDialog1(PrintDialog) {
    setObjectName(QStringLiteral("tabKAUser"));
    BuildUi();
    Connect();
}

void TKAUserTab::Connect() {
    ConnectGuarded(spKursU, &QToolButton::clicked, this, &TKAUserTab::spKursUClick);
    ConnectGuarded(edKursU, &QLineEdit::textChanged, this, &TKAUserTab::edKursUChange);
    ConnectGuarded(chAdressRestr, &QCheckBox::clicked, this, &TKAUserTab::chAdressRestrClick);
    ConnectGuarded(spWorkstations, &QToolButton::clicked, this, &TKAUserTab::spWorkstationsClick);
    ConnectGuarded(edWS, &QLineEdit::textChanged, this, &TKAUserTab::edWSChange);
    ConnectGuarded(spTemplateU, &QToolButton::clicked, this, &TKAUserTab::spTemplateUClick);
    ConnectGuarded(cbVorname, &QComboBox::editTextChanged, this, &TKAUserTab::UpdateExamPreview);
    ConnectGuarded(spBenutzerZahl, &TSpinEdit::Geaendert, this, &TKAUserTab::UpdateExamPreview);
    ConnectGuarded(spBenutzerVon, &TSpinEdit::Geaendert, this, &TKAUserTab::UpdateExamPreview);
    ConnectGuarded(edMaske, &QLineEdit::textChanged, this, &TKAUserTab::UpdateExamPreview);
    ConnectGuarded(buCreateUser, &QPushButton::clicked, this, &TKAUserTab::buCreateUserClick);
    ConnectGuarded(buProbelaufU, &QPushButton::clicked, this, &TKAUserTab::buProbelaufUClick);
    ConnectGuarded(spPrintRestr, &QToolButton::clicked, this, &TKAUserTab::spPrintRestrClick);
    ConnectGuarded(buPruefungBeenden, &QPushButton::clicked, this, &TKAUserTab::buPruefungBeendenClick);
    ConnectGuarded(spPrintSlips, &QToolButton::clicked, this, &TKAUserTab::spPrintSlipsClick);
    ConnectGuarded(spPassZeigen, &QToolButton::toggled, this,
                   [this](bool Zeigen) { spPassZeigenClick(Zeigen); });
}

void TKAUserTab::Vorbereiten() {
    for (QLabel* L : {laWScount, laNewUser, laRestrNew, laAktion, laUsers, laRaum, laRestrict})
        L->clear();
}

void TKAUserTab::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    Guarded(this, [this] { tabKAUserShow(); });
}

void TKAUserTab::tabKAUserShow() {
    LaufKnoepfe();
}

void TKAUserTab::LaufKnoepfe() {
    const bool An = !FLaeuft && !edKursU->text().isEmpty();
    buCreateUser->setEnabled(An);
    buProbelaufU->setEnabled(An);
    buPruefungBeenden->setEnabled(An);
}

bool TKAUserTab::edMaskeKeyPress(QChar Key) {
    const char16_t C = Key.unicode();
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || Ziffer(Key) || C == u'%' || C == u'-' ||
           C == u'_';
}

bool TKAUserTab::edIPErsatzKeyPress(QChar Key) {
    return Ziffer(Key) || Key == u'.';
}

// ---------------------------------------------------------------------------------------------
// Inputs

void TKAUserTab::spKursUClick() {
    QString Auswahl;
    if (!ChoosePicker(this, Erreichbar(FNdk), TPickerKind::KursU, K.ouSchueler, Auswahl))
        return;
    edKursU->setText(TNDK::PathToDotted(Auswahl));
    FillTemplateList();
    if (chAdressRestr->isChecked())
        WorkstationsRaten();
}

void TKAUserTab::edKursUChange() {
    const bool Gewaehlt = !edKursU->text().isEmpty();
    LaufKnoepfe();
    ResetExamMask();
    UpdateExamPreview();
    // Once a container was chosen, these stay on.
    if (Gewaehlt)
        for (QWidget* W :
             std::initializer_list<QWidget*>{cbTemplateU, spTemplateU, spPrintRestr, spPrintSlips, cbVorname,
                                             spBenutzerZahl, spBenutzerVon, edMaske, chAdressRestr})
            W->setEnabled(true);
}

void TKAUserTab::ResetExamMask() {
    TNDK& N = Erreichbar(FNdk);
    edMaske->setText(N.GetShortName(N.DottedToPath(edKursU->text())) + QStringLiteral("_B%%"));
}

void TKAUserTab::WorkstationsRaten() {
    TNDK& N = Erreichbar(FNdk);
    const QString Raum = N.GetShortName(N.DottedToPath(edKursU->text())) + QStringLiteral(".Workstations");
    edWS->setText(N.EntryExists(N.DottedToPath(Raum)) ? Raum : QString());
}

void TKAUserTab::FillTemplateList() {
    TNDK& N = Erreichbar(FNdk);
    cbTemplateU->clear();
    const TFilter Filter(N, QStringLiteral("Template"));
    TStringList Liste;
    N.ListEntries(K.ouSchueler, Liste);
    for (int I = 0; I < Liste.Count(); ++I)
        cbTemplateU->addItem(TNDK::PathToDotted(Liste.Object(I) ? Liste.Object(I)->Text : QString()));
    cbTemplateU->setEditText(cbTemplateU->count() > 0 ? cbTemplateU->itemText(0) : QString());
}

void TKAUserTab::chAdressRestrClick() {
    const bool An = chAdressRestr->isChecked();
    for (QWidget* W : std::initializer_list<QWidget*>{spWorkstations, edWS, edIPErsatz})
        W->setEnabled(An);
    EditFarbe(edWS, An);
    EditFarbe(edIPErsatz, An);
    if (An) {
        WorkstationsRaten();
    } else {
        edIPErsatz->clear();
        edWS->clear();
    }
    UpdateExamPreview();
}

void TKAUserTab::spWorkstationsClick() {
    QString Auswahl;
    if (ChoosePicker(this, Erreichbar(FNdk), TPickerKind::Workstations, K.ouSchueler, Auswahl))
        edWS->setText(TNDK::PathToDotted(Auswahl));
}

void TKAUserTab::edWSChange() {
    TNDK& N = Erreichbar(FNdk);
    const TFilter Filter(N, QStringLiteral("Workstation"));
    FWorkstations.Clear();
    // An empty edit addresses the tree root.
    N.ListEntries(N.DottedToPath(edWS->text()), FWorkstations);
    FWorkstations.Sort(
        [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });
    const int Zahl = FWorkstations.Count();
    laWScount->setText(QStringLiteral("Zahl der Workstations: ") + QString::number(Zahl));
    if (Zahl > 0)
        spBenutzerZahl->setValue(Zahl);
}

void TKAUserTab::spTemplateUClick() {
    QString Auswahl;
    if (ChoosePicker(this, Erreichbar(FNdk), TPickerKind::TemplateU, K.ouSchueler, Auswahl))
        cbTemplateU->setEditText(TNDK::PathToDotted(Auswahl));
}

void TKAUserTab::UpdateExamPreview() {
    const std::optional<QString> Pattern = MaskPattern(edMaske->text());
    if (!Pattern)
        return;
    FExamUserMask = *Pattern;
    const int Von = spBenutzerVon->Wert();
    const QString Erster = FormatMask(FExamUserMask, Von);
    const QString Letzter = FormatMask(FExamUserMask, Von + spBenutzerZahl->Wert() - 1);
    laUsers->setText(Erster + QStringLiteral("  bis  ") + Letzter);
    laRaum->setText(edKursU->text());
    laRestrict->setText(chAdressRestr->isChecked() ? QStringLiteral("mit Netzwerkadressbeschränkung")
                                                   : QStringLiteral("ohne Netzwerkadressbeschränkung"));
}

// ---------------------------------------------------------------------------------------------
// The run and the printout

TPrueflingeKonto TKAUserTab::Konto() const {
    TNDK& N = Erreichbar(FNdk);
    TPrueflingeKonto E;
    E.Kurs = N.DottedToPath(edKursU->text());
    E.Von = spBenutzerVon->Wert();
    E.Maske = FExamUserMask;
    E.Template = N.DottedToPath(cbTemplateU->currentText());
    E.Vorname = cbVorname->currentText();
    E.HomeFlags = K.HomeFlags;
    E.Restriktion = chAdressRestr->isChecked();
    E.Workstations = FWorkstations.ObjectTexts();
    E.Netz = K.Netz;
    E.NetzMaske = K.NetzMaske;
    E.Passwort = edPass->text();
    return E;
}

bool TKAUserTab::Fortschritt(int Nummer) {
    ProgressBar1->setValue(Nummer);
    laFortschritt->setText(QString::number(Nummer) + u'/' + QString::number(spBenutzerZahl->Wert()));
    Nachrichten();
    return !FStopp;
}

void TKAUserTab::buCreateUserClick() {
    // The run lets events through; a second start meanwhile is ignored.
    if (FLaeuft)
        return;
    TNDK& N = Erreichbar(FNdk);
    // Numbers still being typed count as leaving their edit would make them.
    spBenutzerZahl->Uebernehmen();
    spBenutzerVon->Uebernehmen();
    FStopp = false;
    // The run buttons are off while the run lasts and on again however it ends.
    buPruefungBeenden->setEnabled(false);
    const TLaufSperre Lauf(FLaeuft, buCreateUser, [this] { LaufKnoepfe(); });

    TPrueflingeStart Start;
    Start.Container = N.DottedToPath(edKursU->text());
    Start.Zahl = spBenutzerZahl->value();
    Start.Ersatz = edIPErsatz->text();
    ProgressBar1->setRange(0, Start.Zahl);
    ProgressBar1->setValue(0);
    laAktion->setText(QStringLiteral("Benutzer anlegen/aktualisieren"));
    laNewUser->clear();
    laRestrNew->clear();
    // Every account takes the inputs as they stand once the events before it are handled.
    int Begonnen = 0;
    TPrueflingeLauf Run(N, [this, &Begonnen](int Nummer, TPrueflingeKonto& E) {
        Begonnen = Nummer;
        const bool Weiter = Fortschritt(Nummer);
        E = Konto();
        return Weiter;
    });
    // Which accounts are left unbound shows also after a run that failed part way, not after one
    // refused before its first account.
    const auto Ungebunden = qScopeGuard([&] {
        if (!chAdressRestr->isChecked() || Begonnen == 0)
            return;
        // The window keeps its size: the first names in the label, all of them in its tool tip.
        constexpr int Gezeigt = 10;
        const QStringList& Ohne = Run.OhneRestriktion();
        QString Text =
            QString::number(Ohne.size()) + QStringLiteral(" Benutzer ohne Netzwerkadressbeschränkung");
        if (!Ohne.isEmpty())
            Text += QStringLiteral(": ") + Ohne.mid(0, Gezeigt).join(QStringLiteral(", ")) +
                    (Ohne.size() > Gezeigt ? QStringLiteral(" und %1 weitere").arg(Ohne.size() - Gezeigt)
                                           : QString());
        laRestrNew->setText(Text);
        laRestrNew->setToolTip(Ohne.join(QStringLiteral(", ")));
    });
    // Journaled with every change; the boxes the run shows are journaled too.
    TJournaledRun Journal(N.Client(), QStringLiteral("Prüflinge anlegen"), edKursU->text(), N.TreePrefix(),
                          PrueflingeJournalEingaben(Start, Konto()));
    N.Meldungen = [this, &Journal](const QString& Text) {
        Journal.Record(LaufFehler(QStringLiteral("Meldung"), Text));
        TModalSeam::Plain(this, Text);
    };
    const auto KeineMeldungen = qScopeGuard([&N] { N.Meldungen = {}; });
    QStringList Protokoll;
    const int Neu = PrueflingeMitBericht(
        Run, Start, Konto(), [&Journal](const TRunChange& C) { Journal.Record(C); }, Protokoll);
    Journal.End(QStringLiteral("erfolgreich"));
    laNewUser->setText(QString::number(Neu) + QStringLiteral(" Benutzer neu angelegt"));
    ProgressBar1->setValue(ProgressBar1->maximum());
}

void TKAUserTab::spPrintRestrClick() {
    TNDK& N = Erreichbar(FNdk);
    if (!PrintDialog1.ShowDialog(this))
        return;
    TWaitCursor Wait;
    KontenlisteDrucken(N, N.DottedToPath(edKursU->text()), Titel, PrintDialog1);
}
