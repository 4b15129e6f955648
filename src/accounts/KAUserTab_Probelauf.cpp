// The exam tab's dry run: what "Benutzer anlegen" would do, shown without changing anything.

#include "KAUserTab_U.h"
#include "PrueflingeProbelauf.h"
#include "SpinEdit.h"

#include <ListenDialog.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QLineEdit>

void TKAUserTab::buProbelaufUClick() {
    if (FLaeuft)
        return;
    TNDK& N = Erreichbar(FNdk);
    spBenutzerZahl->Uebernehmen();
    spBenutzerVon->Uebernehmen();
    TPrueflingeStart Start;
    Start.Container = N.DottedToPath(edKursU->text());
    Start.Zahl = spBenutzerZahl->value();
    Start.Ersatz = edIPErsatz->text();
    {
        const TWaitCursor Wait;
        FProbelauf = PrueflingeProbelauf(N, Start, Konto(), this);
    }
    const QString Kopf =
        (FProbelauf.Erfolgreich
             ? QStringLiteral("So würden %1 Benutzer in %2 angelegt oder aktualisiert.")
             : QStringLiteral("Der Lauf über %1 Benutzer in %2 bräche ab; warum, steht in der Liste."))
            .arg(Start.Zahl)
            .arg(edKursU->text()) +
        QStringLiteral(
            " Nichts davon ist geschehen: der Probelauf hat weder das Verzeichnis noch die Volumes "
            "geändert.");
    ListeZeigen(this, QStringLiteral("Probelauf"), QStringLiteral("Probelauf: Benutzer anlegen"), Kopf,
                ProbelaufZeilen(FProbelauf));
}
