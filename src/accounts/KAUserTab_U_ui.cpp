// The widgets of the tab "Prüflinge/Teilnehmer anlegen" and their layout.

#include "KAUserTab_U.h"

#include "SpinEdit.h"

#include <DialogBau.h>
#include <ListenHilfen.h>
#include <ZeichenFilter.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
TSpinEdit* Spin(QWidget* Parent, const char* Name, int Minimum, int Maximum, int Value) {
    auto* S = new TSpinEdit(Minimum, Maximum, Value, Parent);
    S->setObjectName(QLatin1String(Name));
    S->setFixedWidth(60);
    return S;
}

// An open eye, for the button that shows a hidden password.
QIcon AugenSymbol() {
    QPixmap Bild(32, 32);
    Bild.fill(Qt::transparent);
    QPainter P(&Bild);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(QColor(40, 40, 40), 2.5));
    QPainterPath Lid;
    Lid.moveTo(3, 16);
    Lid.quadTo(16, 3, 29, 16);
    Lid.quadTo(16, 29, 3, 16);
    P.drawPath(Lid);
    P.setBrush(QColor(40, 40, 40));
    P.drawEllipse(QPointF(16, 16), 5, 5);
    P.end();
    return QIcon(Bild);
}

// A caption above a control, the two stacked.
QVBoxLayout* Stapel(QWidget* Oben, QWidget* Unten) {
    auto* L = new QVBoxLayout;
    L->setSpacing(0);
    L->addWidget(Oben);
    L->addWidget(Unten);
    return L;
}
} // namespace

void TKAUserTab::BuildUi() {
    // Created in the order the tab presents them, which is also the order of the input focus.
    Label21 = NeuesLabel(this, "Label21", QStringLiteral("OU für Raum- bzw. Kurs"));
    QFont Fett = Label21->font();
    Fett.setBold(true);
    Label21->setFont(Fett);
    edKursU = NeuesEdit(this, "edKursU", true);
    spKursU = AuswahlKnopf(this, "spKursU");
    chAdressRestr =
        new QCheckBox(QStringLiteral("Netzwerk Adressbeschränkung eintragen/aktualisieren"), this);
    chAdressRestr->setObjectName(QStringLiteral("chAdressRestr"));
    Label22 = NeuesLabel(this, "Label22", QStringLiteral("OU der Workstations"));
    edWS = NeuesEdit(this, "edWS", true);
    spWorkstations = AuswahlKnopf(this, "spWorkstations");
    laWScount = NeuesLabel(this, "laWScount", QString());
    Label29 = NeuesLabel(this, "Label29", QStringLiteral("IP-Adresse Ersatzarbeitsplatz"));
    edIPErsatz = NeuesEdit(this, "edIPErsatz");
    edIPErsatz->setValidator(new TZeichenFilter(&edIPErsatzKeyPress, edIPErsatz));
    Label24 = NeuesLabel(this, "Label24", QStringLiteral("Attribut Vorname für neue Benutzer"));
    cbVorname = NeueAuswahlBox(this, "cbVorname");
    cbVorname->addItems({QStringLiteral("Prüfling"), QStringLiteral("Teilnehmer")});
    cbVorname->setEditText(QStringLiteral("Prüfling"));
    Label32 = NeuesLabel(this, "Label32", QStringLiteral("nummerieren"));
    Label31 = NeuesLabel(this, "Label31", QStringLiteral("von"));
    spBenutzerVon = Spin(this, "spBenutzerVon", 0, 55, 1);
    Label23 = NeuesLabel(this, "Label23", QStringLiteral("Zahl der"));
    Label33 = NeuesLabel(this, "Label33", QStringLiteral("Benutzer"));
    spBenutzerZahl = Spin(this, "spBenutzerZahl", 1, 99, 16);
    Label25 = NeuesLabel(this, "Label25", QStringLiteral("Template für die neuen Benutzer"));
    cbTemplateU = NeueAuswahlBox(this, "cbTemplateU");
    spTemplateU = AuswahlKnopf(this, "spTemplateU");
    Label30 = NeuesLabel(this, "Label30", QStringLiteral("Passwort für Benutzer"));
    edPass = NeuesEdit(this, "edPass", false, QStringLiteral("Bei leerem Feld kein Passwort erforderlich"));
    // Hidden unless asked for: the tab is often seen by others (a projector, a room of students).
    edPass->setEchoMode(QLineEdit::Password);
    spPassZeigen = new QToolButton(this);
    spPassZeigen->setObjectName(QStringLiteral("spPassZeigen"));
    spPassZeigen->setCheckable(true);
    spPassZeigen->setIcon(AugenSymbol());
    spPassZeigen->setToolTip(QStringLiteral("Passwort zeigen"));
    spPassZeigen->setFocusPolicy(Qt::TabFocus);
    Label34 = NeuesLabel(this, "Label34", QStringLiteral("Maske für Namensgebung"));
    edMaske = NeuesEdit(this, "edMaske");
    edMaske->setText(QStringLiteral("EDV1_B%%"));
    edMaske->setValidator(new TZeichenFilter(&edMaskeKeyPress, edMaske));

    QFrame* Panel = VorschauFeld(this, "Panel2");
    Label26 = NeuesLabel(Panel, "Label26", QStringLiteral("Erzeugen von"));
    laUsers = VorschauZeile(Panel, "laUsers");
    Label27 = NeuesLabel(Panel, "Label27", QStringLiteral("in"));
    laRaum = VorschauZeile(Panel, "laRaum");
    laRestrict = VorschauZeile(Panel, "laRestrict");
    laNewUser = NeuesLabel(this, "laNewUser", QString());
    laRestrNew = NeuesLabel(this, "laRestrNew", QString());
    // The names of the accounts left without a restriction may fill lines.
    laRestrNew->setWordWrap(true);
    laAktion = NeuesLabel(this, "laAktion", QString());
    laFortschritt = NeuesLabel(this, "laFortschritt", QStringLiteral("..."));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    spPrintRestr = DruckKnopf(this, "spPrintRestr", QStringLiteral("Benutzerliste drucken"));
    spPrintSlips = DruckKnopf(this, "spPrintSlips", QStringLiteral("Anmeldezettel drucken"));
    spPrintSlips->setMinimumWidth(0);
    spPrintSlips->setMaximumWidth(QWIDGETSIZE_MAX);
    spPrintSlips->setText(QStringLiteral("Anmeldezettel"));
    spPrintSlips->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buPruefungBeenden = new QPushButton(QStringLiteral("Prüfung beenden ..."), this);
    buPruefungBeenden->setObjectName(QStringLiteral("buPruefungBeenden"));
    buPruefungBeenden->setToolTip(
        QStringLiteral("Dateien der Konten in ein Archiv sammeln, dann die Konten sperren"));
    buCreateUser = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                                   QStringLiteral("Benutzer anlegen"), this);
    buCreateUser->setObjectName(QStringLiteral("buCreateUser"));
    buCreateUser->setToolTip(QStringLiteral("Benutzer anlegen/aktualisieren"));
    buCreateUser->setMinimumWidth(150);
    buProbelaufU = new QPushButton(QStringLiteral("Probelauf"), this);
    buProbelaufU->setObjectName(QStringLiteral("buProbelaufU"));
    buProbelaufU->setToolTip(
        QStringLiteral("zeigen, was \"Benutzer anlegen\" tun würde, ohne etwas zu ändern"));

    // Off until a container is chosen; the workstation inputs follow the address box alone.
    for (QWidget* W : std::initializer_list<QWidget*>{chAdressRestr, edWS, spWorkstations, edIPErsatz,
                                                      cbVorname, spBenutzerVon, spBenutzerZahl, cbTemplateU,
                                                      spTemplateU, edMaske, spPrintRestr, spPrintSlips,
                                                      buCreateUser, buProbelaufU, buPruefungBeenden})
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
    Grid->addWidget(spPassZeigen, 8, 4);
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
    Knoepfe->setSpacing(6);
    Knoepfe->addWidget(spPrintRestr);
    Knoepfe->addWidget(spPrintSlips);
    Knoepfe->addStretch(1);
    Knoepfe->addWidget(buPruefungBeenden);
    // The end of an exam apart from the two buttons of the creation run.
    Knoepfe->addSpacing(24);
    Knoepfe->addWidget(buProbelaufU);
    Knoepfe->addWidget(buCreateUser);
    Grid->addLayout(Knoepfe, 16, 0, 1, 5);
}
