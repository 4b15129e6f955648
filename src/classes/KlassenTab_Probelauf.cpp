// The class tab's dry run: what "anlegen" would do, shown without changing anything.

#include "KlassenLauf.h"
#include "KlassenProbelauf.h"
#include "KlassenTab_U.h"

#include <ListenDialog.h>
#include <ModalSeam.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QLineEdit>
#include <optional>

void TKlassenTab::BuProbelaufClick() {
    if (FLaeuft)
        return;
    const TKlassenEingaben E = Eingaben();
    if (E.Name.isEmpty() || TKlassenNameValidator::Sanitized(E.Name) != E.Name) {
        TModalSeam::Error(this, QStringLiteral("Es ist kein gültiger Name für die neue Klasse angegeben."));
        return;
    }
    {
        const TWaitCursor Wait;
        FProbelauf = KlassenProbelauf(Erreichbar(FNdk), E, this);
    }
    const TLaufBericht& Bericht = FProbelauf;
    const QString Kopf =
        Bericht.Erfolgreich
            ? QStringLiteral("So würde die Klasse %1 angelegt. Nichts davon ist geschehen: der Probelauf hat "
                             "weder das Verzeichnis noch die Volumes geändert.")
                  .arg(E.Name)
            : QStringLiteral(
                  "Die Klasse %1 ließe sich so nicht anlegen; was fehlschlüge, steht in der Liste. "
                  "Nichts davon ist geschehen.")
                  .arg(E.Name);
    ListeZeigen(this, QStringLiteral("Probelauf"), QStringLiteral("Probelauf: Klasse ") + E.Name, Kopf,
                ProbelaufZeilen(Bericht));
}
