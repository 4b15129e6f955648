// The widgets of the tab "Datei für Bimport" and their layout.

#include "BImportTab_U.h"

#include <DialogBau.h>

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace {
// A preview line: the text exactly as the file holds it, in black, to be selected and copied.
QLabel* PreviewLine(QWidget* Parent, const char* Name) {
    QLabel* L = VorschauZeile(Parent, Name);
    L->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette Pal = L->palette();
    Pal.setColor(QPalette::WindowText, Qt::black);
    L->setPalette(Pal);
    return L;
}
} // namespace

void TBImportTab::BuildUi() {
    Label1 =
        NeuesLabel(this, "Label1",
                   QStringLiteral("Mit dieser Programmfunktion kann eine Importdatei für BImport erzeugt"));
    Label2 = NeuesLabel(this, "Label2",
                        QStringLiteral("werden, wie sie für Klassenarbeitsbnutzer bzw. für Kurse an den"));
    Label3 = NeuesLabel(this, "Label3", QStringLiteral("Multimediastandorten benötigt werden."));

    Label4 = NeuesLabel(this, "Label4", QStringLiteral("Raum- bzw. Kursbezeichnung"));
    edKurs = NeuesEdit(this, "edKurs", true);
    edKurs->setText(QStringLiteral("EDV1"));
    Label4->setBuddy(edKurs);
    spKurs = AuswahlKnopf(this, "spKurs");

    Label5 = NeuesLabel(this, "Label5", QStringLiteral("Zahl der Benutzer"));
    spZahl = new QSpinBox(this);
    spZahl->setObjectName(QStringLiteral("spZahl"));
    // No limit either way: 0 or below gives an empty file.
    spZahl->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    spZahl->setSingleStep(1);
    spZahl->setValue(16);
    spZahl->setFixedWidth(90);
    Label5->setBuddy(spZahl);

    Label9 =
        NeuesLabel(this, "Label9", QStringLiteral("Es werden die Benutzer EDV1_B01 bis  EDV1_B20 angelegt"));

    Name = NeuesLabel(this, "Name", QStringLiteral("Attribut Vorname"));
    cbName = NeueAuswahlBox(this, "cbName");
    cbName->addItems({QStringLiteral("Prüfling"), QStringLiteral("Teilnehmer")});
    cbName->setEditText(QStringLiteral("Prüfling"));
    Name->setBuddy(cbName);

    Label6 = NeuesLabel(this, "Label6", QStringLiteral("Maske für Namensgebung"));
    edMaske1 = NeuesEdit(this, "edMaske1");
    edMaske1->setText(QStringLiteral("EDV1_B%%"));
    Label6->setBuddy(edMaske1);

    Label7 = NeuesLabel(this, "Label7", QStringLiteral("Erzeugen von"));
    QFrame* Preview = VorschauFeld(this, "Panel1");
    lafirst = PreviewLine(Preview, "lafirst");
    Label8 = NeuesLabel(Preview, "Label8", QStringLiteral("..."));
    QFont Bold = Label8->font();
    Bold.setBold(true);
    Label8->setFont(Bold);
    laLast = PreviewLine(Preview, "laLast");
    auto* Lines = new QVBoxLayout(Preview);
    Lines->setContentsMargins(8, 6, 8, 6);
    Lines->setSpacing(2);
    Lines->addWidget(lafirst);
    Lines->addWidget(Label8);
    Lines->addWidget(laLast);

    Button1 = new QPushButton(QStringLiteral("BImport Datei erzeugen"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumWidth(170);

    // Two columns of inputs, each caption above its control; the preview below them.
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->setVerticalSpacing(3);
    Grid->setColumnStretch(0, 1);
    Grid->setColumnMinimumWidth(2, 28);
    Grid->setColumnStretch(3, 1);
    int Row = 0;
    auto Gap = [&](int Height) { Grid->setRowMinimumHeight(Row++, Height); };
    for (QLabel* Intro : {Label1, Label2, Label3})
        Grid->addWidget(Intro, Row++, 0, 1, 4);
    Gap(16);
    Grid->addWidget(Label4, Row, 0, 1, 2);
    Grid->addWidget(Label5, Row++, 3);
    Grid->addWidget(edKurs, Row, 0);
    Grid->addWidget(spKurs, Row, 1);
    Grid->addWidget(spZahl, Row++, 3, Qt::AlignLeft);
    Gap(4);
    Grid->addWidget(Label9, Row++, 0, 1, 4);
    Gap(16);
    Grid->addWidget(Name, Row, 0, 1, 2);
    Grid->addWidget(Label6, Row++, 3);
    Grid->addWidget(cbName, Row, 0, 1, 2);
    Grid->addWidget(edMaske1, Row++, 3);
    Gap(16);
    Grid->addWidget(Label7, Row++, 0, 1, 4);
    Grid->addWidget(Preview, Row++, 0, 1, 4);
    Grid->setRowStretch(Row++, 1);
    auto* Run = new QHBoxLayout;
    Run->addStretch(1);
    Run->addWidget(Button1);
    Grid->addLayout(Run, Row++, 0, 1, 4);
}
