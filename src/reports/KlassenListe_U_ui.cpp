// The widgets of the tab "Liste der Klassen" and their layout.

#include "KlassenListe_U.h"

#include "ListenHilfen.h"

#include <DialogBau.h>

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// The widths of the columns, in pixels.
const int Spaltenbreiten[] = {130, 82, 52, 65};
} // namespace

void TKlassenListeTab::BuildUi() {
    Label19 = NeuesLabel(this, "Label19", QStringLiteral("Liste der momentan vorhandenen Klassen"));

    sgKlassen = new QTableWidget(0, 4, this);
    sgKlassen->setObjectName(QStringLiteral("sgKlassen"));
    sgKlassen->setFont(QFont(QStringLiteral("Courier New")));
    sgKlassen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgKlassen->setSelectionMode(QAbstractItemView::SingleSelection);
    sgKlassen->setWordWrap(false);
    sgKlassen->verticalHeader()->hide();
    sgKlassen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sgKlassen->verticalHeader()->setDefaultSectionSize(16);
    sgKlassen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sgKlassen->horizontalHeader()->setHighlightSections(false);
    int Breite = 2 * sgKlassen->frameWidth() + sgKlassen->verticalScrollBar()->sizeHint().width();
    for (int C = Klasse; C <= Rechte; ++C) {
        sgKlassen->setColumnWidth(C, Spaltenbreiten[C]);
        Breite += Spaltenbreiten[C];
    }
    sgKlassen->setFixedWidth(Breite);

    laKlassen = NeuesLabel(this, "laKlassen", QStringLiteral("Anzahl:"));
    laUpdate = NeuesLabel(this, "laUpdate", QString());
    laUpdate->setWordWrap(true);
    laUpdate->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette Blau = laUpdate->palette();
    Blau.setColor(QPalette::WindowText, Qt::blue);
    laUpdate->setPalette(Blau);

    buDruckenKlassen = DruckKnopf(this, "buDruckenKlassen", QStringLiteral("Liste drucken"));

    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(16);
    Grid->addWidget(Label19, 0, 0);
    Grid->addWidget(sgKlassen, 1, 0);
    Grid->addWidget(laKlassen, 2, 0);
    auto* Rechts = new QVBoxLayout;
    Rechts->addWidget(buDruckenKlassen);
    Rechts->addSpacing(12);
    Rechts->addWidget(laUpdate);
    Rechts->addStretch(1);
    Grid->addLayout(Rechts, 1, 1);
    Grid->setColumnStretch(1, 1);
    Grid->setRowStretch(1, 1);
}
