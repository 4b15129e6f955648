// The widgets of the tab "neue Klasse" and their layout.

#include "KlassenTab_U.h"

#include <DialogBau.h>
#include <Names.h>
#include <RadioGroup.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

void TKlassenTab::BuildUi() {
    Label1 = NeuesLabel(this, "Label1", QStringLiteral("Name der Klasse"));
    EdNeueklasse = NeuesEdit(this, "EdNeueklasse");
    EdNeueklasse->setValidator(new TKlassenNameValidator(EdNeueklasse));
    EdNeueklasse->setMaxLength(MaxNameLength); // the class becomes a container of that name
    EdNeueklasse->setFixedWidth(180);
    EdNeueklasse->installEventFilter(this);
    Label1->setBuddy(EdNeueklasse);

    Label3 = NeuesLabel(this, "Label3", QStringLiteral("Klasse anlegen in (Basis-Container)"));
    EdContainer =
        NeuesEdit(this, "EdContainer", true, QStringLiteral("OU auswählen, in der Klassen angelegt werden"));
    SpContainer = AuswahlKnopf(this, "SpContainer");

    Label4 = NeuesLabel(this, "Label4", QStringLiteral("Loginscript übernehmen : "));
    chLogKlasse = new QCheckBox(QStringLiteral("von Klasse"), this);
    chLogKlasse->setObjectName(QStringLiteral("chLogKlasse"));
    chLogKlasse->setChecked(true);
    chLogDatei = new QCheckBox(QStringLiteral("aus Datei"), this);
    chLogDatei->setObjectName(QStringLiteral("chLogDatei"));
    EdLoginscript = NeuesEdit(this, "EdLoginscript", true);
    SpLoginscript = AuswahlKnopf(this, "SpLoginscript",
                                 QStringLiteral("Klasse mit korrektem Loginscript  auswählen mit "));
    spLogDatei = AuswahlKnopf(this, "spLogDatei");
    spLogDatei->hide();

    Label15 =
        NeuesLabel(this, "Label15", QStringLiteral("Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)"));
    edHomeBase = NeuesEdit(this, "edHomeBase", true);
    spHomeBase = AuswahlKnopf(this, "spHomeBase");

    GroupBox1 = new QGroupBox(QStringLiteral(" Klassentauschverzeichnis "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    chTausch = new QCheckBox(QStringLiteral("Tauschverzeichnis anlegen"), GroupBox1);
    chTausch->setObjectName(QStringLiteral("chTausch"));
    chTausch->setChecked(true);
    raTausch = new TRadioGroup(QStringLiteral(" Schüler können "),
                               {QStringLiteral("nur lesen"), QStringLiteral("lesen und schreiben")},
                               GroupBox1, Qt::Horizontal);
    raTausch->setObjectName(QStringLiteral("raTausch"));
    raTausch->SetItemIndex(0);
    Label14 = NeuesLabel(GroupBox1, "Label14", QStringLiteral("Basispfad für Klassentauschverz."));
    edTauschbase = NeuesEdit(GroupBox1, "edTauschbase", true);
    buTauschBase = AuswahlKnopf(GroupBox1, "buTauschBase");

    chTemplate = new QCheckBox(QStringLiteral("User_Template in Klasse anlegen"), this);
    chTemplate->setObjectName(QStringLiteral("chTemplate"));
    Label5 = NeuesLabel(this, "Label5", QStringLiteral("Muster User_Template (als Vorlage)"));
    EdTemplate = NeuesEdit(this, "EdTemplate", true);
    SpTemplate = AuswahlKnopf(this, "SpTemplate", QStringLiteral("User_Template in einer Klasse auswählen"));

    MeProtokol = new QPlainTextEdit(this);
    MeProtokol->setObjectName(QStringLiteral("MeProtokol"));
    MeProtokol->setReadOnly(true);
    {
        QPalette Pal = MeProtokol->palette();
        Pal.setColor(QPalette::Base, Pal.color(QPalette::Button));
        MeProtokol->setPalette(Pal);
    }
    BuAnlegen = new QPushButton(QStringLiteral("anlegen"), this);
    BuAnlegen->setObjectName(QStringLiteral("BuAnlegen"));
    BuAnlegen->setToolTip(QStringLiteral("neue Klasse anlegen"));
    BuAnlegen->setMinimumWidth(90);
    BuProbelauf = new QPushButton(QStringLiteral("Probelauf"), this);
    BuProbelauf->setObjectName(QStringLiteral("BuProbelauf"));
    BuProbelauf->setToolTip(QStringLiteral("zeigen, was \"anlegen\" tun würde, ohne etwas zu ändern"));
    BuProbelauf->setMinimumWidth(90);

    // Layout: one column of inputs, their picker buttons at the right edge.
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->setVerticalSpacing(3);
    Grid->setColumnStretch(0, 1);
    int Row = 0;
    auto Gap = [&](int Height) { Grid->setRowMinimumHeight(Row++, Height); };
    Grid->addWidget(Label1, Row++, 0, 1, 2);
    Grid->addWidget(EdNeueklasse, Row++, 0, 1, 2, Qt::AlignLeft);
    Gap(6);
    Grid->addWidget(Label3, Row++, 0, 1, 2);
    Grid->addWidget(EdContainer, Row, 0);
    Grid->addWidget(SpContainer, Row++, 1);
    Gap(6);
    auto* LoginRow = new QHBoxLayout;
    LoginRow->setSpacing(12);
    LoginRow->addWidget(Label4);
    LoginRow->addWidget(chLogKlasse);
    LoginRow->addWidget(chLogDatei);
    LoginRow->addStretch(1);
    Grid->addLayout(LoginRow, Row++, 0, 1, 2);
    Grid->addWidget(EdLoginscript, Row, 0);
    Grid->addWidget(SpLoginscript, Row, 1);
    Grid->addWidget(spLogDatei, Row++, 1);
    Gap(6);
    Grid->addWidget(Label15, Row++, 0, 1, 2);
    Grid->addWidget(edHomeBase, Row, 0);
    Grid->addWidget(spHomeBase, Row++, 1);
    Gap(8);
    auto* Tausch = new QGridLayout(GroupBox1);
    Tausch->setHorizontalSpacing(4);
    Tausch->setVerticalSpacing(3);
    Tausch->setColumnStretch(0, 1);
    // The check box beside the rights, so that the protocol finds room below once it is shown;
    // the rights keep their height. The box's top is level with the rights' top: it comes first.
    raTausch->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* TauschRow = new QHBoxLayout;
    TauschRow->addWidget(chTausch, 0, Qt::AlignTop);
    TauschRow->addStretch(1);
    TauschRow->addWidget(raTausch);
    Tausch->addLayout(TauschRow, 0, 0, 1, 2);
    Tausch->addWidget(Label14, 1, 0, 1, 2);
    Tausch->addWidget(edTauschbase, 2, 0);
    Tausch->addWidget(buTauschBase, 2, 1);
    Grid->addWidget(GroupBox1, Row++, 0, 1, 2);
    Gap(8);
    Grid->addWidget(chTemplate, Row++, 0, 1, 2);
    Grid->addWidget(Label5, Row++, 0, 1, 2);
    Grid->addWidget(EdTemplate, Row, 0);
    Grid->addWidget(SpTemplate, Row++, 1);
    Gap(8);
    Grid->addWidget(MeProtokol, Row, 0, 1, 2);
    Grid->setRowStretch(Row++, 1);
    auto* RunRow = new QHBoxLayout;
    RunRow->setSpacing(6);
    RunRow->addStretch(1);
    RunRow->addWidget(BuProbelauf);
    RunRow->addWidget(BuAnlegen);
    Grid->addLayout(RunRow, Row++, 0, 1, 2);
}
