#include "KlassenListe_U.h"

#include "ListenHilfen.h"

#include <Names.h>

#include <ErrorGuard.h>
#include <Konfiguration.h>
#include <PrintCanvas.h>
#include <PrintDialog.h>
#include <StringList.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QShowEvent>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>

TKlassenListeTab::TKlassenListeTab(TKonfiguration& Konfiguration, TNDK* Ndk, TPrintDialog& PrintDialog,
                                   QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk), PrintDialog1(PrintDialog) {
    setObjectName(QStringLiteral("TabListeKlassen"));
    BuildUi();
    ConnectGuarded(buDruckenKlassen, &QToolButton::clicked, this, &TKlassenListeTab::buDruckenKlassenClick);
    sgKlassen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(sgKlassen, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        const int Row = sgKlassen->rowAt(Pos.y());
        if (Row < 0)
            return;
        Guarded(this, [&] {
            const std::unique_ptr<QMenu> Menu(KontextMenue(Row));
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
    sgKlassen->setHorizontalHeaderLabels({QStringLiteral("Klasse"), QStringLiteral("Schülerzahl"),
                                          QStringLiteral("Tausch"), QStringLiteral("Rechte")});
    Nachrichten();
    NamenLesen(N);
    TauschLesen(N);
    SchuelerZaehlen(N);
}

void TKlassenListeTab::NamenLesen(TNDK& N) {
    QStringList Klassen;
    {
        const TFilter Filter(N, QStringLiteral("Organizational Unit"));
        TStringList Liste;
        N.ListEntries(K.ouSchueler, Liste);
        Klassen = Liste.Texts();
        std::sort(Klassen.begin(), Klassen.end(),
                  [](const QString& A, const QString& B) { return CompareAsRead(A, B) < 0; });
        Nachrichten();
        laKlassen->setText(QStringLiteral("Anzahl: ") + QString::number(N.CountEntries(K.ouSchueler)));
    }
    const auto Pause = qScopeGuard(Nachrichten);
    sgKlassen->setRowCount(int(Klassen.size()));
    for (int R = 0; R < Klassen.size(); ++R)
        SetZelle(R, Klasse, Klassen[R]);
}

void TKlassenListeTab::TauschLesen(TNDK& N) {
    const auto Pause = qScopeGuard(Nachrichten);
    for (int R = 0; R < sgKlassen->rowCount(); ++R) {
        const QString Name = Zelle(R, Klasse);
        const QString Ordner = K.TauschBase + u'\\' + Name;
        const bool Da = N.DirectoryExists(Ordner);
        SetZelle(R, Tausch, Da ? QStringLiteral("ja") : QStringLiteral("-"));
        SetZelle(R, Rechte, Da ? N.GetTrusteeRights(Ordner, K.ouSchueler + u'\\' + Name) : QString());
    }
}

void TKlassenListeTab::SchuelerZaehlen(TNDK& N) {
    const TFilter Filter(N, QStringLiteral("User"));
    for (int R = 0; R < sgKlassen->rowCount(); ++R) {
        const QString Name = Zelle(R, Klasse);
        if (Name.isEmpty())
            continue;
        const int Anzahl = N.CountEntries(K.ouSchueler + u'\\' + Name);
        SetZelle(R, Schuelerzahl, Anzahl > 0 ? QString::number(Anzahl) : QStringLiteral("-"));
    }
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
