#include "KlassenListe_U.h"

#include "CsvSpeichern.h"
#include "ListenHilfen.h"
#include "ListenZeilen.h"

#include <ErrorGuard.h>
#include <Konfiguration.h>
#include <PrintCanvas.h>
#include <PrintDialog.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QShowEvent>
#include <QTableWidget>
#include <QToolButton>

TKlassenListeTab::TKlassenListeTab(TKonfiguration& Konfiguration, TNDK* Ndk, TPrintDialog& PrintDialog,
                                   QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk), PrintDialog1(PrintDialog) {
    setObjectName(QStringLiteral("TabListeKlassen"));
    BuildUi();
    ConnectGuarded(buDruckenKlassen, &QToolButton::clicked, this, &TKlassenListeTab::buDruckenKlassenClick);
    ConnectGuarded(CsvAktion(sgKlassen, "acKlassenCsv"), &QAction::triggered, this,
                   &TKlassenListeTab::AlsCsvSpeichern);
    // The grid's own actions (CSV) and, on a class row, "Klasse entfernen ..." in one menu.
    sgKlassen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(sgKlassen, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        Guarded(this, [&] {
            const std::unique_ptr<QMenu> Menu(KontextMenue(sgKlassen->rowAt(Pos.y())));
            Menu->exec(sgKlassen->viewport()->mapToGlobal(Pos));
        });
    });
}

void TKlassenListeTab::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (!Event->spontaneous())
        Guarded(this, [this] { TabListeKlassenShow(); });
}

QString TKlassenListeTab::Zelle(int Row, int Column) const {
    const QTableWidgetItem* Item = sgKlassen->item(Row, Column);
    return Item ? Item->text() : QString();
}

void TKlassenListeTab::SetZelle(int Row, int Column, const QString& Text) {
    if (QTableWidgetItem* Item = sgKlassen->item(Row, Column))
        Item->setText(Text);
    else
        sgKlassen->setItem(Row, Column, new QTableWidgetItem(Text));
}

void TKlassenListeTab::TabListeKlassenShow() {
    // The reads let window messages through; a showing meanwhile finds the table being read.
    if (FLaeuft)
        return;
    TNDK& N = Erreichbar(FNdk);
    TWaitCursor Wait;
    FLaeuft = true;
    laUpdate->setText(QStringLiteral("Daten werden neu ermittelt.\nVorgang kann bei einer großen Zahl von "
                                     "Klassen länger dauern."));
    const auto Ende = qScopeGuard([this] {
        laUpdate->clear();
        FLaeuft = false;
    });

    // Nothing of an earlier showing stays: a read that fails keeps only what this one found.
    sgKlassen->setRowCount(0);
    laKlassen->setText(QStringLiteral("Anzahl:"));
    sgKlassen->setHorizontalHeaderLabels(KlassenListe::Spalten());
    Nachrichten();
    NamenLesen(N);
    TauschLesen(N);
    SchuelerZaehlen(N);
}

void TKlassenListeTab::NamenLesen(TNDK& N) {
    const QStringList Klassen = KlassenListe::Namen(N, K.ouSchueler);
    Nachrichten();
    laKlassen->setText(QStringLiteral("Anzahl: ") + QString::number(KlassenListe::Anzahl(N, K.ouSchueler)));
    const auto Pause = qScopeGuard(Nachrichten);
    sgKlassen->setRowCount(int(Klassen.size()));
    for (int R = 0; R < Klassen.size(); ++R)
        SetZelle(R, Klasse, Klassen[R]);
}

void TKlassenListeTab::TauschLesen(TNDK& N) {
    const auto Pause = qScopeGuard(Nachrichten);
    for (int R = 0; R < sgKlassen->rowCount(); ++R) {
        QString Da, Liste;
        KlassenListe::Tausch(N, K.ouSchueler, K.TauschBase, Zelle(R, Klasse), Da, Liste);
        SetZelle(R, Tausch, Da);
        SetZelle(R, Rechte, Liste);
    }
}

void TKlassenListeTab::SchuelerZaehlen(TNDK& N) {
    const TFilter Filter(N, QStringLiteral("User"));
    for (int R = 0; R < sgKlassen->rowCount(); ++R) {
        const QString Name = Zelle(R, Klasse);
        if (!Name.isEmpty())
            SetZelle(R, Schuelerzahl, KlassenListe::Schuelerzahl(N, K.ouSchueler, Name));
    }
}

QList<QStringList> TKlassenListeTab::Tabelle() const {
    QList<QStringList> Rows{KlassenListe::Spalten()};
    for (int R = 0; R < sgKlassen->rowCount(); ++R)
        Rows.append({Zelle(R, Klasse), Zelle(R, Schuelerzahl), Zelle(R, Tausch), Zelle(R, Rechte)});
    return Rows;
}

void TKlassenListeTab::AlsCsvSpeichern() {
    CsvSpeichern(this, QStringLiteral("Klassen.csv"), Tabelle());
}

void TKlassenListeTab::buDruckenKlassenClick() {
    if (!PrintDialog1.ShowDialog(this))
        return;
    TWaitCursor Wait;
    const auto Job = PrintDialog1.BeginTextJob();
    Job->SetFont(QStringLiteral("Courier New"), 12);
    const QString Strich = QString(6, u' ') + QString(57, u'-');
    Job->WriteLine(QString());
    Job->WriteLine(QStringLiteral("      Liste der Klassen"));
    Job->WriteLine(QString());
    Job->WriteLine(QStringLiteral("       Klasse       Schülerzahl  Tausch    Rechte"));
    Job->WriteLine(Strich);
    for (int R = 0; R < sgKlassen->rowCount(); ++R)
        Job->WriteLine(QStringLiteral("       %1           %2       %3      %4")
                           .arg(Zelle(R, Klasse).leftJustified(7), Zelle(R, Schuelerzahl).leftJustified(3),
                                Zelle(R, Tausch).leftJustified(3), Zelle(R, Rechte).leftJustified(8)));
    Job->WriteLine(Strich);
    Job->WriteLine(QStringLiteral("        Anzahl der Klassen: ") + QString::number(sgKlassen->rowCount()));
    Job->EndDoc();
}
