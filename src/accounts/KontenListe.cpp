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

namespace {
TStringList Benutzer(TNDK& Ndk, const QString& Container) {
    TStringList Liste;
    const TFilter Filter(Ndk, QStringLiteral("User"));
    Ndk.ListEntries(Container, Liste);
    return Liste;
}
} // namespace

QList<QStringList> KontenZeilen(TNDK& Ndk, const QString& Container) {
    const TStringList Liste = Benutzer(Ndk, Container);
    QList<QStringList> Rows{{QStringLiteral("Name"), QStringLiteral("Anmeldename"),
                             QStringLiteral("Network Address Restriction")}};
    TRestriktionsZeilen Zeilen(Ndk, Liste);
    for (int I = 0; I < Zeilen.Count(); ++I) {
        const TFormularZeile Z = Zeilen.Zeile(I);
        Rows.append({Z.Name, Z.Anmeldename, Z.Spalte4.value_or(QString())});
    }
    return Rows;
}

void KontenlisteDrucken(TNDK& Ndk, const QString& Container, TDruckTitel& Titel, TPrintDialog& PrintDialog1) {
    const TStringList Liste = Benutzer(Ndk, Container);
    Titel.Header1 = QStringLiteral("Benutzer in ") + Ndk.GetShortName(Container);
    Titel.Spalte4 = QStringLiteral("Network Address Restriction");
    TRestriktionsZeilen Zeilen(Ndk, Liste);
    const auto Canvas = PrintDialog1.BeginCanvas();
    FormularDrucken(*Canvas, Titel, Zeilen);
}
