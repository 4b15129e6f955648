// Taking back the run that created a class, from the class list's context menu.

#include "KlassenListe_U.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <ErrorGuard.h>
#include <Konfiguration.h>
#include <ListenDialog.h>
#include <ModalSeam.h>
#include <RunUndo.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QMenu>
#include <QTableWidget>

qint64 TKlassenListeTab::Erzeuger(int Row) {
    TNDK& N = Erreichbar(FNdk);
    TRunJournal* Journal = N.Client().Journal();
    const QString Name = Zelle(Row, Klasse);
    if (!Journal || Name.isEmpty())
        return 0;
    return Journal->CreatedBy({K.ouSchueler + u'\\' + Name}).front();
}

QMenu* TKlassenListeTab::KontextMenue(int Row) {
    auto* Menu = new QMenu(this);
    Menu->setObjectName(QStringLiteral("meKlassen"));
    if (Row >= 0) {
        QAction* Entfernen = Menu->addAction(QStringLiteral("Klasse entfernen ..."));
        Entfernen->setObjectName(QStringLiteral("meKlasseEntfernen"));
        Entfernen->setEnabled(Erzeuger(Row) != 0);
        if (!Entfernen->isEnabled())
            Entfernen->setToolTip(
                QStringLiteral("Nur eine Klasse, die ein Lauf im Protokoll angelegt hat, lässt "
                               "sich so entfernen."));
        connect(Entfernen, &QAction::triggered, this,
                [this, Row] { Guarded(this, [&] { KlasseEntfernen(Row); }); });
        Menu->addSeparator();
    }
    Menu->addActions(sgKlassen->actions());
    return Menu;
}

void TKlassenListeTab::KlasseEntfernen(int Row) {
    TNDK& N = Erreichbar(FNdk);
    const QString Name = Zelle(Row, Klasse);
    const qint64 Run = Erzeuger(Row);
    if (!Run) {
        TModalSeam::Information(this,
                                QStringLiteral("Die Klasse ") + Name +
                                    QStringLiteral(" hat kein Lauf im Protokoll angelegt; sie wird nicht "
                                                   "entfernt."));
        return;
    }
    TUndoPlan Plan;
    {
        const TWaitCursor Wait;
        Plan = PlanUndo(N.Client(), Run);
    }
    QString Kopf =
        QStringLiteral("Die Klasse %1 wurde am %2 von %3 angelegt (Lauf %4). Diese Änderungen werden "
                       "in umgekehrter Reihenfolge zurückgenommen:")
            .arg(Name, TClock::DateTimeToStr(Plan.Run.Started.toLocalTime()), Plan.Run.Login)
            .arg(Run);
    if (!Plan.Complete())
        Kopf +=
            QStringLiteral("\nWas BLEIBT, kam seit dem Lauf dazu oder wurde seitdem geändert; es wird nicht "
                           "gelöscht, und die Klasse bleibt bestehen.");
    if (!ListeZeigen(this, QStringLiteral("KlasseEntfernen"), QStringLiteral("Klasse entfernen"), Kopf,
                     Plan.Lines(), QStringLiteral("Entfernen")))
        return;
    bool Ok = false;
    QStringList Ergebnis;
    {
        const TWaitCursor Wait;
        Ergebnis = ExecuteUndo(N.Client(), Plan, &Ok);
    }
    ListeZeigen(this, QStringLiteral("KlasseEntferntErgebnis"), QStringLiteral("Klasse entfernen"),
                Ok ? QStringLiteral("Die Klasse %1 ist entfernt.").arg(Name)
                   : QStringLiteral("Die Klasse %1 wurde nicht ganz entfernt:").arg(Name),
                Ergebnis);
    TabListeKlassenShow();
}
