#include "KontenListe.h"

#include <BenutzerFormular.h>
#include <DruckTitel.h>
#include <ListenHilfen.h>
#include <PrintDialog.h>
#include <StringList.h>
#include <ndk_u.h>

namespace {
// The users with their restriction, read when their row is drawn.
class TRestriktionsZeilen : public TBenutzerZeilen {
public:
    using TBenutzerZeilen::TBenutzerZeilen;

protected:
    std::optional<QString> Spalte4(const QString& Benutzer) override {
        return RestriktionsText(Ndk(), Benutzer);
    }
};
} // namespace

QString RestriktionsText(TNDK& Ndk, const QString& Benutzer) {
    return Ndk.GetNetworkAddresses(Benutzer).replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
}

void KontenlisteDrucken(TNDK& Ndk, const QString& Container, TDruckTitel& Titel, TPrintDialog& PrintDialog1) {
    TStringList Liste;
    {
        const TFilter Filter(Ndk, QStringLiteral("User"));
        Ndk.ListEntries(Container, Liste);
    }
    Titel.Header1 = QStringLiteral("Benutzer in ") + Ndk.GetShortName(Container);
    Titel.Spalte4 = QStringLiteral("Network Address Restriction");
    TRestriktionsZeilen Zeilen(Ndk, Liste);
    const auto Canvas = PrintDialog1.BeginCanvas();
    FormularDrucken(*Canvas, Titel, Zeilen);
}
