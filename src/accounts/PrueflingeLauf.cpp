#include "PrueflingeLauf.h"

#include "KontoAnlage.h"

#include <EDirectoryError.h>
#include <ErrorText.h>
#include <IPTools_u.h>
#include <MaskFormat.h>
#include <ndk_u.h>

#include <algorithm>
#include <utility>

namespace {
using KontoAnlage::HomeRechte;
using KontoAnlage::LetzteEbene;

// Four numbers 0 to 255 joined by ".".
bool GueltigeAdresse(const QString& Text) {
    if (!IsDottedQuad(Text))
        return false;
    try {
        IpOctets(Text);
        return true;
    } catch (const EConvertError&) {
        return false;
    } catch (const ERangeError&) {
        return false;
    }
}

// A workstation and its address values, as a message names them.
QString WorkstationText(const QString& Workstation, const QString& Werte) {
    const QStringList Liste = Werte.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return QStringLiteral("Die Workstation ") + TNDK::PathToDotted(Workstation) +
           (Liste.isEmpty()
                ? QStringLiteral(" (\"WM:Network Address\" ist leer)")
                : QStringLiteral(" (\"WM:Network Address\": ") + Liste.join(QStringLiteral(", ")) + u')');
}
} // namespace

TPrueflingeLauf::TPrueflingeLauf(TNDK& Ndk, TFortschritt Fortschritt)
    : FNdk(Ndk), FFortschritt(std::move(Fortschritt)) {}

QString TPrueflingeLauf::HomeVerzeichnis(const QString& Home, const QString& Name, const QString& Kurs,
                                         const QString& Ordner) {
    return KontoAnlage::HomeVerzeichnis(Home, Name, Kurs, Ordner);
}

int TPrueflingeLauf::Ausfuehren(const TPrueflingeStart& Start, TPrueflingeKonto E) {
    FOhneRestriktion.clear();
    // Refused before the first account: every account would get the same wrong value.
    if (!Start.Ersatz.isEmpty() && !GueltigeAdresse(Start.Ersatz))
        throw EDirectoryError(QStringLiteral("Die Adresse der Ersatz-Workstation \"") + Start.Ersatz +
                              QStringLiteral("\" ist keine gültige IP-Adresse: vier Zahlen von 0 bis 255, "
                                             "durch Punkte getrennt (zum Beispiel 10.1.99.1). Es wurde kein "
                                             "Benutzer angelegt oder geändert."));
    const QString Kurs = FNdk.GetShortName(Start.Container);
    int Neu = 0;
    for (int K = 1; K <= Start.Zahl; ++K) {
        if (!FFortschritt(K, E))
            break;
        QString Name = QStringLiteral("Nr. %1").arg(K);
        try {
            Name = FormatMask(E.Maske, E.Von + K - 1);
            if (Name.isEmpty())
                throw EDirectoryError(QStringLiteral("Die Maske für Namensgebung ergibt keinen Namen."));
            const QString Benutzer = Start.Container + u'\\' + Name;
            if (!FNdk.EntryExists(Benutzer)) {
                Anlegen(Start.Container, Benutzer, Name, Kurs, E);
                ++Neu;
            } else {
                Vervollstaendigen(Benutzer, Name, Kurs, E);
            }
            KontoAnlage::HomeFlagsSetzen(FNdk, Benutzer, E.HomeFlags);
            if (E.Restriktion && !Binden(Benutzer, K, Start.Ersatz, E))
                FOhneRestriktion << Name;
            else if (!E.Restriktion)
                FNdk.ClearNetworkAddresses(Benutzer);
            FNdk.SetUserPassword(Benutzer, E.Passwort);
        } catch (const EDirectoryError& Fehler) {
            throw EDirectoryError(QStringLiteral("Abbruch bei Benutzer ") + Name + QStringLiteral(":\n") +
                                      Fehler.Message(),
                                  Fehler.Code());
        } catch (...) {
            throw EDirectoryError(QStringLiteral("Abbruch bei Benutzer ") + Name + QStringLiteral(":\n") +
                                  CurrentErrorText());
        }
    }
    return Neu;
}

void TPrueflingeLauf::Anlegen(const QString& Container, const QString& Benutzer, const QString& Name,
                              const QString& Kurs, const TPrueflingeKonto& E) {
    // Read before the account exists: a template without rights refuses the account before it is
    // made.
    const quint32 Rechte = HomeRechte(FNdk, E.Template);
    KontoAnlage::Anlegen(FNdk,
                         {Container, Name, Name, E.Vorname, E.Vorname + u' ' + Name, E.Template, Kurs,
                          FNdk.GetShortName(E.Kurs)},
                         Rechte);
}

void TPrueflingeLauf::Vervollstaendigen(const QString& Benutzer, const QString& Name, const QString& Kurs,
                                        const TPrueflingeKonto& E) {
    // An earlier run may have ended (killed) between the account's creation and its rights. What is
    // missing is made now; what is there stays as it is.
    QString Home = FNdk.GetHomeDirectory(Benutzer);
    if (LetzteEbene(Home).compare(Name, Qt::CaseInsensitive) != 0) {
        // A home that is not the account's own folder: still the template's when the earlier run
        // ended before it gave the account its own, else chosen by hand and left alone.
        if (Home.isEmpty() || Home != FNdk.GetHomeDirectory(E.Template))
            return;
        if (FNdk.GetFieldValue(Benutzer, QStringLiteral("Given Name")).isEmpty())
            FNdk.SetFieldValue(Benutzer, QStringLiteral("Given Name"), E.Vorname);
        if (FNdk.GetFieldValue(Benutzer, QStringLiteral("Full Name")).isEmpty())
            FNdk.SetFieldValue(Benutzer, QStringLiteral("Full Name"), E.Vorname + u' ' + Name);
        FNdk.SetFieldValue(Benutzer, QStringLiteral("Home Directory"),
                           HomeVerzeichnis(Home, Name, Kurs, FNdk.GetShortName(E.Kurs)));
        Home = FNdk.GetHomeDirectory(Benutzer);
    }
    const QString Pfad = FNdk.SplitFilePath(Home);
    const bool Fehlt = !FNdk.DirectoryExists(Pfad);
    if (!Fehlt && !FNdk.GetTrusteeRights(Pfad, Benutzer).isEmpty())
        return;
    const quint32 Rechte = HomeRechte(FNdk, E.Template);
    if (Fehlt)
        FNdk.ForceDirectories(Pfad);
    FNdk.SetTrusteeRights(Pfad, Benutzer, TNDK::RightsToLetters(Rechte));
}

bool TPrueflingeLauf::Binden(const QString& Benutzer, int K, const QString& Ersatz,
                             const TPrueflingeKonto& E) {
    // An account beyond the room's workstations keeps the restriction it has.
    if (K > E.Workstations.size())
        return !FNdk.GetNetworkAddresses(Benutzer).isEmpty();
    const QString& Workstation = E.Workstations.at(K - 1);
    const QString Werte = FNdk.GetFieldValueList(Workstation, QStringLiteral("WM:Network Address"));
    QString Adresse;
    try {
        Adresse = SelectWorkstationAddress(Werte, E.Netz, E.NetzMaske);
    } catch (const std::exception& Fehler) {
        // Only the conversion of an address text fails here: that of a value or of the network.
        throw EDirectoryError(WorkstationText(Workstation, Werte) +
                              QStringLiteral(" hat keine brauchbare Adresse: ") + ErrorText(Fehler));
    }
    FNdk.ClearNetworkAddresses(Benutzer);
    bool Gebunden = false;
    if (Adresse.isEmpty())
        FNdk.ShowAddressError(WorkstationText(Workstation, Werte) +
                              QStringLiteral(" hat keine Adresse im Schulnetz ") + E.Netz + u'/' +
                              E.NetzMaske);
    else
        Gebunden = FNdk.AddNetworkAddress(Benutzer, Adresse);
    if (!Ersatz.isEmpty())
        Gebunden = FNdk.AddNetworkAddress(Benutzer, Ersatz) || Gebunden;
    return Gebunden;
}
