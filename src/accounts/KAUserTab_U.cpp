#include "KAUserTab_U.h"

#include "KontenListe.h"
#include "PrueflingeLauf.h"
#include "SpinEdit.h"

#include <DialogBau.h>
#include <ErrorGuard.h>
#include <Konfiguration.h>
#include <ListenHilfen.h>
#include <MaskFormat.h>
#include <OUBrowser_U.h>
#include <PrintDialog.h>
#include <StringList.h>
#include <WaitCursor.h>
#include <ZeichenFilter.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

namespace {
QToolButton* SpeedButton(QWidget* Parent, const char* Name) {
    auto* B = new QToolButton(Parent);
    B->setObjectName(QLatin1String(Name));
    B->setText(QStringLiteral("..."));
    B->setFixedSize(26, 23);
    return B;
}

QLineEdit* Edit(QWidget* Parent, const char* Name) {
    auto* E = new QLineEdit(Parent);
    E->setObjectName(QLatin1String(Name));
    return E;
}

QComboBox* Combo(QWidget* Parent, const char* Name) {
    auto* C = new QComboBox(Parent);
    C->setObjectName(QLatin1String(Name));
    C->setEditable(true);
    C->setInsertPolicy(QComboBox::NoInsert);
    return C;
}

TSpinEdit* Spin(QWidget* Parent, const char* Name, int Minimum, int Maximum, int Value) {
    auto* S = new TSpinEdit(Minimum, Maximum, Value, Parent);
    S->setObjectName(QLatin1String(Name));
    S->setFixedWidth(60);
    return S;
}

// A line of the preview: plain text, cut at the panel's edge instead of widening the window.
QLabel* Vorschau(QWidget* Parent, const char* Name) {
    QLabel* L = NeuesLabel(Parent, Name, QString());
    L->setTextFormat(Qt::PlainText);
    L->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return L;
}

// A caption above a control, the two stacked.
QVBoxLayout* Stapel(QWidget* Oben, QWidget* Unten) {
    auto* L = new QVBoxLayout;
    L->setSpacing(0);
    L->addWidget(Oben);
    L->addWidget(Unten);
    return L;
}

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

void TKAUserTab::BuildUi() {
    // Created in the order the tab presents them, which is also the order of the input focus.
    Label21 = NeuesLabel(this, "Label21", QStringLiteral("OU für Raum- bzw. Kurs"));
    QFont Fett = Label21->font();
    Fett.setBold(true);
    Label21->setFont(Fett);
    edKursU = Edit(this, "edKursU");
    edKursU->setReadOnly(true);
    spKursU = SpeedButton(this, "spKursU");
    chAdressRestr =
        new QCheckBox(QStringLiteral("Netzwerk Adressbeschränkung eintragen/aktualisieren"), this);
    chAdressRestr->setObjectName(QStringLiteral("chAdressRestr"));
    Label22 = NeuesLabel(this, "Label22", QStringLiteral("OU der Workstations"));
    edWS = Edit(this, "edWS");
    edWS->setReadOnly(true);
    spWorkstations = SpeedButton(this, "spWorkstations");
    laWScount = NeuesLabel(this, "laWScount", QString());
    Label29 = NeuesLabel(this, "Label29", QStringLiteral("IP-Adresse Ersatzarbeitsplatz"));
    edIPErsatz = Edit(this, "edIPErsatz");
    edIPErsatz->setValidator(new TZeichenFilter(&edIPErsatzKeyPress, edIPErsatz));
    Label24 = NeuesLabel(this, "Label24", QStringLiteral("Attribut Vorname für neue Benutzer"));
    cbVorname = Combo(this, "cbVorname");
    cbVorname->addItems({QStringLiteral("Prüfling"), QStringLiteral("Teilnehmer")});
    cbVorname->setEditText(QStringLiteral("Prüfling"));
    Label32 = NeuesLabel(this, "Label32", QStringLiteral("nummerieren"));
    Label31 = NeuesLabel(this, "Label31", QStringLiteral("von"));
    spBenutzerVon = Spin(this, "spBenutzerVon", 0, 55, 1);
    Label23 = NeuesLabel(this, "Label23", QStringLiteral("Zahl der"));
    Label33 = NeuesLabel(this, "Label33", QStringLiteral("Benutzer"));
    spBenutzerZahl = Spin(this, "spBenutzerZahl", 1, 99, 16);
    Label25 = NeuesLabel(this, "Label25", QStringLiteral("Template für die neuen Benutzer"));
    cbTemplateU = Combo(this, "cbTemplateU");
    spTemplateU = SpeedButton(this, "spTemplateU");
    Label30 = NeuesLabel(this, "Label30", QStringLiteral("Passwort für Benutzer"));
    edPass = Edit(this, "edPass");
    edPass->setToolTip(QStringLiteral("Bei leerem Feld kein Passwort erforderlich"));
    Label34 = NeuesLabel(this, "Label34", QStringLiteral("Maske für Namensgebung"));
    edMaske = Edit(this, "edMaske");
    edMaske->setText(QStringLiteral("EDV1_B%%"));
    edMaske->setValidator(new TZeichenFilter(&edMaskeKeyPress, edMaske));

    QFrame* Panel = VorschauFeld(this, "Panel2");
    Label26 = NeuesLabel(Panel, "Label26", QStringLiteral("Erzeugen von"));
    laUsers = Vorschau(Panel, "laUsers");
    Label27 = NeuesLabel(Panel, "Label27", QStringLiteral("in"));
    laRaum = Vorschau(Panel, "laRaum");
    laRestrict = Vorschau(Panel, "laRestrict");
    laNewUser = NeuesLabel(this, "laNewUser", QString());
    laRestrNew = NeuesLabel(this, "laRestrNew", QString());
    laAktion = NeuesLabel(this, "laAktion", QString());
    laFortschritt = NeuesLabel(this, "laFortschritt", QStringLiteral("..."));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    spPrintRestr = new QToolButton(this);
    spPrintRestr->setObjectName(QStringLiteral("spPrintRestr"));
    spPrintRestr->setToolTip(QStringLiteral("Benutzerliste drucken"));
    spPrintRestr->setIcon(DruckerSymbol());
    spPrintRestr->setFixedSize(26, 26);
    buCreateUser = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                                   QStringLiteral("Benutzer anlegen"), this);
    buCreateUser->setObjectName(QStringLiteral("buCreateUser"));
    buCreateUser->setToolTip(QStringLiteral("Benutzer anlegen/aktualisieren"));
    buCreateUser->setMinimumWidth(150);

    // Off until a container is chosen; the workstation inputs follow the address box alone.
    for (QWidget* W : std::initializer_list<QWidget*>{chAdressRestr, edWS, spWorkstations, edIPErsatz,
                                                      cbVorname, spBenutzerVon, spBenutzerZahl, cbTemplateU,
                                                      spTemplateU, edMaske, spPrintRestr, buCreateUser})
        W->setEnabled(false);
    EditFarbe(edWS, false);
    EditFarbe(edIPErsatz, false);

    // Two columns of inputs, each caption above its control; the preview, the progress and the
    // buttons below them.
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->setVerticalSpacing(3);
    Grid->setColumnStretch(0, 1);
    Grid->setColumnMinimumWidth(2, 24);
    Grid->setColumnStretch(3, 1);
    Grid->addWidget(Label21, 0, 0, 1, 2);
    Grid->addWidget(edKursU, 1, 0);
    Grid->addWidget(spKursU, 1, 1);
    Grid->setRowMinimumHeight(2, 8);
    Grid->addWidget(chAdressRestr, 3, 0, 1, 2);
    Grid->addWidget(Label22, 4, 0, 1, 2);
    Grid->addWidget(edWS, 5, 0);
    Grid->addWidget(spWorkstations, 5, 1);
    Grid->addWidget(laWScount, 6, 0, 1, 2);
    Grid->addWidget(Label29, 7, 0, 1, 2);
    Grid->addWidget(edIPErsatz, 8, 0);
    Grid->addWidget(Label24, 9, 0, 1, 2);
    Grid->addWidget(cbVorname, 10, 0);

    auto* Nummern = new QHBoxLayout;
    Nummern->setSpacing(6);
    Nummern->addLayout(Stapel(Label32, Label31));
    Nummern->addWidget(spBenutzerVon, 0, Qt::AlignBottom);
    Nummern->addSpacing(24);
    Nummern->addLayout(Stapel(Label23, Label33));
    Nummern->addWidget(spBenutzerZahl, 0, Qt::AlignBottom);
    Nummern->addStretch(1);
    Grid->addLayout(Nummern, 0, 3, 2, 2);
    Grid->addWidget(Label25, 4, 3, 1, 2);
    Grid->addWidget(cbTemplateU, 5, 3);
    Grid->addWidget(spTemplateU, 5, 4);
    Grid->addWidget(Label30, 7, 3, 1, 2);
    Grid->addWidget(edPass, 8, 3);
    Grid->addWidget(Label34, 9, 3, 1, 2);
    Grid->addWidget(edMaske, 10, 3);
    Grid->setRowMinimumHeight(11, 14);

    auto* Zeilen = new QGridLayout(Panel);
    Zeilen->setContentsMargins(8, 6, 8, 6);
    Zeilen->setColumnStretch(1, 1);
    Zeilen->addWidget(Label26, 0, 0);
    Zeilen->addWidget(laUsers, 0, 1);
    Zeilen->addWidget(Label27, 1, 0);
    Zeilen->addWidget(laRaum, 1, 1);
    Zeilen->addWidget(laRestrict, 2, 1);
    Grid->addWidget(Panel, 12, 0, 1, 5);
    Grid->setRowMinimumHeight(13, 10);

    auto* Lauf = new QGridLayout;
    Lauf->setHorizontalSpacing(8);
    Lauf->setColumnStretch(2, 1);
    Lauf->addWidget(laAktion, 0, 0);
    Lauf->addWidget(laFortschritt, 0, 1);
    Lauf->addWidget(ProgressBar1, 1, 0, 1, 3);
    Lauf->addWidget(laNewUser, 2, 0, 1, 3);
    Lauf->addWidget(laRestrNew, 3, 0, 1, 3);
    Grid->addLayout(Lauf, 14, 0, 1, 5);
    Grid->setRowStretch(15, 1);

    auto* Knoepfe = new QHBoxLayout;
    Knoepfe->addWidget(spPrintRestr);
    Knoepfe->addStretch(1);
    Knoepfe->addWidget(buCreateUser);
    Grid->addLayout(Knoepfe, 16, 0, 1, 5);
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
    ConnectGuarded(spPrintRestr, &QToolButton::clicked, this, &TKAUserTab::spPrintRestrClick);
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
    buCreateUser->setEnabled(!FLaeuft && !edKursU->text().isEmpty());
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
    buCreateUser->setEnabled(Gewaehlt && !FLaeuft);
    ResetExamMask();
    UpdateExamPreview();
    // Once a container was chosen, these stay on.
    if (Gewaehlt)
        for (QWidget* W :
             std::initializer_list<QWidget*>{cbTemplateU, spTemplateU, spPrintRestr, cbVorname,
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
    TPrueflingeKonto E;
    E.Kurs = edKursU->text();
    E.Von = spBenutzerVon->Wert();
    E.Maske = FExamUserMask;
    E.Template = cbTemplateU->currentText();
    E.Vorname = cbVorname->currentText();
    E.HomeFlags = K.HomeFlags;
    E.Restriktion = chAdressRestr->isChecked();
    E.Workstations = &FWorkstations;
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
    // The button is off while the run lasts and on again however it ends.
    struct TLauf {
        TKAUserTab& Tab;
        explicit TLauf(TKAUserTab& T) : Tab(T) {
            Tab.FLaeuft = true;
            Tab.FStopp = false;
            Tab.buCreateUser->setEnabled(false);
        }
        ~TLauf() {
            Tab.FLaeuft = false;
            Tab.buCreateUser->setEnabled(true);
        }
    } Lauf(*this);

    TPrueflingeStart Start;
    Start.Container = N.DottedToPath(edKursU->text());
    Start.Zahl = spBenutzerZahl->value();
    Start.Ersatz = edIPErsatz->text();
    ProgressBar1->setRange(0, Start.Zahl);
    ProgressBar1->setValue(0);
    laAktion->setText(QStringLiteral("Benutzer anlegen/aktualisieren"));
    laNewUser->clear();
    laRestrNew->clear();
    TPrueflingeLauf Run(
        N, [this] { return Konto(); }, [this](int Nummer) { return Fortschritt(Nummer); });
    const int Neu = Run.Ausfuehren(Start);
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
