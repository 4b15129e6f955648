#include "PrueflingeProbelauf.h"

#include <DryRun.h>
#include <ErrorText.h>
#include <ndk_u.h>

std::vector<TRunInput> PrueflingeJournalEingaben(const TPrueflingeStart& S, const TPrueflingeKonto& K) {
    std::vector<TRunInput> I{
        {QStringLiteral("Container"), S.Container},
        {QStringLiteral("Zahl der Benutzer"), QString::number(S.Zahl)},
        {QStringLiteral("nummerieren von"), QString::number(K.Von)},
        {QStringLiteral("Maske"), K.Maske},
        {QStringLiteral("Template"), K.Template},
        {QStringLiteral("Vorname"), K.Vorname},
        {QStringLiteral("Attribute Homeverzeichnis"), K.HomeFlags},
        {QStringLiteral("Netzwerkadressbeschränkung"),
         K.Restriktion ? QStringLiteral("ja") : QStringLiteral("nein")},
        {QStringLiteral("Passwort"),
         K.Passwort.isEmpty() ? QStringLiteral("leer") : QStringLiteral("gesetzt")},
    };
    if (K.Restriktion) {
        I.push_back({QStringLiteral("Workstations"), QString::number(K.Workstations.size())});
        I.push_back({QStringLiteral("Schulnetz"), K.Netz + u'/' + K.NetzMaske});
        I.push_back({QStringLiteral("Ersatzarbeitsplatz"), S.Ersatz});
    }
    return I;
}

int PrueflingeMitBericht(TPrueflingeLauf& Lauf, const TPrueflingeStart& Start, const TPrueflingeKonto& Konto,
                         const std::function<void(const TRunChange&)>& Record, QStringList& Protokoll) {
    auto Ungebunden = [&] {
        for (const QString& Name : Lauf.OhneRestriktion())
            Record(LaufFehler(Name, QStringLiteral("ohne Netzwerkadressbeschränkung")));
    };
    try {
        const int Neu = Lauf.Ausfuehren(Start, Konto);
        Ungebunden();
        Protokoll << QString::number(Neu) + QStringLiteral(" Benutzer neu angelegt");
        return Neu;
    } catch (...) {
        Ungebunden();
        Record(LaufFehler(QStringLiteral("Lauf"), CurrentErrorText()));
        throw;
    }
}

TLaufBericht PrueflingeProbelauf(TNDK& Ndk, const TPrueflingeStart& Start, const TPrueflingeKonto& Konto,
                                 QWidget* Owner) {
    TLaufBericht B;
    TProbeNdk Probe(Ndk, Owner);
    TDryRun& Dry = Probe.Dry;
    TNDK& Kopie = Probe.Ndk;
    TPrueflingeLauf Lauf(Kopie, [](int, TPrueflingeKonto&) { return true; });
    try {
        PrueflingeMitBericht(
            Lauf, Start, Konto, [&Dry](const TRunChange& C) { Dry.Record(C); }, B.Protokoll);
        B.Erfolgreich = true;
    } catch (...) {
        B.Protokoll << QStringLiteral("Abbruch: ") + CurrentErrorText();
    }
    B.Aenderungen = Dry.Changes();
    return B;
}
