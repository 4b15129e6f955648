// The widgets of the tab "Schülerlisten" and their layout.

#include "SchuelerListe_U.h"

#include "ListenHilfen.h"

#include <DialogBau.h>

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

void TSchuelerListeTab::BuildUi() {
    Label7 = NeuesLabel(this, "Label7", QStringLiteral("Klasse"));
    EdKlasse =
        NeuesEdit(this, "EdKlasse", true, QStringLiteral("Klasse, in die Schüler aufgenommen werden sollen"));
    Label7->setBuddy(EdKlasse);
    BuKlassenAuswahl =
        AuswahlKnopf(this, "BuKlassenAuswahl", QStringLiteral("Öffnet Dialog zur Klassenauswahl"));
    Label17 = NeuesLabel(this, "Label17", QStringLiteral("Voller Name"));
    Label18 = NeuesLabel(this, "Label18", QStringLiteral("Anmeldenamen"));

    LiKlassenliste = new QListWidget(this);
    LiKlassenliste->setObjectName(QStringLiteral("LiKlassenliste"));
    LiKlassenliste->setFont(QFont(QStringLiteral("Courier New")));
    LiKlassenliste->setSortingEnabled(true);
    LiKlassenliste->setUniformItemSizes(true);

    buDruckSchueler = DruckKnopf(this, "buDruckSchueler", QStringLiteral("Schülerliste drucken"));

    // The column captions stand above the list's name and login-name columns.
    const int Zeichen = QFontMetrics(LiKlassenliste->font()).horizontalAdvance(u'x');
    auto* Spalten = new QHBoxLayout;
    Spalten->setContentsMargins(LiKlassenliste->frameWidth() + 2 + Zeichen, 0, 0, 0);
    Spalten->setSpacing(0);
    Label17->setFixedWidth(29 * Zeichen);
    Spalten->addWidget(Label17);
    Spalten->addWidget(Label18);
    Spalten->addStretch(1);

    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->addWidget(Label7, 0, 0, 1, 2);
    Grid->addWidget(EdKlasse, 1, 0);
    Grid->addWidget(BuKlassenAuswahl, 1, 1);
    Grid->setRowMinimumHeight(2, 10);
    Grid->addLayout(Spalten, 3, 0);
    Grid->addWidget(LiKlassenliste, 4, 0);
    Grid->addWidget(buDruckSchueler, 4, 1, Qt::AlignTop);
    Grid->setRowStretch(4, 1);
}
