#include "KlassenProbelauf.h"

#include "KlassenLauf.h"

#include <DryRun.h>
#include <ndk_u.h>

namespace {

QString JaNein(bool On) {
    return On ? QStringLiteral("ja") : QStringLiteral("nein");
}

} // namespace

std::vector<TRunInput> KlassenJournalEingaben(const TKlassenEingaben& E) {
    std::vector<TRunInput> I{
        {QStringLiteral("Name der Klasse"), E.Name},
        {QStringLiteral("Basis-Container"), E.Basis},
        {QStringLiteral("Loginscript"), E.LoginVonKlasse ? QStringLiteral("von Klasse ") + E.LoginKlasse
                                                         : QStringLiteral("aus Datei ") + E.LoginDatei},
        {QStringLiteral("Basisverzeichnis"), E.HomeBase},
        {QStringLiteral("Attribute Homeverzeichnis"), E.HomeFlags},
        {QStringLiteral("Tauschverzeichnis anlegen"), JaNein(E.Tausch)},
    };
    if (E.Tausch) {
        I.push_back({QStringLiteral("Basispfad Tauschverzeichnis"), E.TauschBase});
        I.push_back({QStringLiteral("Attribute Tauschverzeichnis"), E.TauschFlags});
        I.push_back({QStringLiteral("Rechte der Schüler"), E.Rechte});
    }
    I.push_back({QStringLiteral("User_Template anlegen"), JaNein(E.Template)});
    if (E.Template)
        I.push_back({QStringLiteral("Muster User_Template"), E.MusterTemplate});
    return I;
}

bool KlasseMitBericht(TKlassenLauf& Lauf, const TKlassenEingaben& E,
                      const std::function<void(const TRunChange&)>& Record) {
    Lauf.SetFehler([&Record](const QString& Line, const QString& Grund) { Record(LaufFehler(Line, Grund)); });
    const bool Angelegt = Lauf.Anlegen(E);
    Lauf.SetFehler({});
    return Angelegt;
}

TLaufBericht KlassenProbelauf(TNDK& Ndk, const TKlassenEingaben& E, QWidget* Owner) {
    TLaufBericht B;
    TProbeNdk Probe(Ndk, Owner);
    TDryRun& Dry = Probe.Dry;
    TNDK& Kopie = Probe.Ndk;
    TKlassenLauf Lauf(Kopie, [&B](const QString& Line) { B.Protokoll << Line; });
    if (Lauf.Vorhanden(E)) {
        Dry.Record(LaufFehler(QStringLiteral("Klasse ") + E.Name,
                              QStringLiteral("Die Klasse ") + E.Name + QStringLiteral(" gibt es in ") +
                                  E.ContainerText + QStringLiteral(" bereits.")));
        B.Aenderungen = Dry.Changes();
        return B;
    }
    B.Erfolgreich = KlasseMitBericht(Lauf, E, [&Dry](const TRunChange& C) { Dry.Record(C); });
    B.Aenderungen = Dry.Changes();
    return B;
}
