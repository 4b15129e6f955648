#include "KlassenLauf.h"

#include <Clock.h>
#include <EDirectoryError.h>
#include <ErrorText.h>
#include <StringList.h>
#include <VolumePath.h>
#include <ndk_u.h>

#include <utility>

namespace {
const QString UserTemplate = QStringLiteral("User_Template");

// Runs one step: true when it went through. An error of the step and a failure it answers (false)
// count alike; the protocol reports the step, not the error's own text, which goes to Grund.
bool Schritt(const std::function<bool()>& Step, QString& Grund) {
    Grund.clear();
    try {
        return Step();
    } catch (...) {
        Grund = CurrentErrorText();
        return false;
    }
}

// Why a folder could not be made: a path that breaks the rules of a volume path, else one on no
// volume the workstation reaches (or one the server refused).
QString OrdnerFehler(const QString& Pfad) {
    VolumePath::TParts Parts;
    QString Why;
    if (!VolumePath::Split(Pfad, Parts, &Why))
        return QStringLiteral("Der Ordner ") + Pfad + QStringLiteral(" ist kein gültiger Pfad: ") + Why;
    return QStringLiteral("Der Ordner ") + Pfad +
           QStringLiteral(
               " liegt auf keinem Volume dieses Arbeitsplatzes oder kann dort nicht angelegt werden.");
}

// Makes a folder; a failure raises with the reason.
bool OrdnerAnlegen(TNDK& Ndk, const QString& Pfad) {
    if (!Ndk.ForceDirectories(Pfad))
        throw EDirectoryError(OrdnerFehler(Pfad));
    return true;
}
} // namespace

QString TKlassenEingaben::NeuerContainer() const {
    return Basis + u'\\' + Name;
}
QString TKlassenEingaben::KlassenVerzeichnis() const {
    return HomeBase + u'\\' + Name;
}
QString TKlassenEingaben::TauschVerzeichnis() const {
    return TauschBase + u'\\' + Name;
}
QString TKlassenEingaben::NeuesTemplate() const {
    return NeuerContainer() + u'\\' + UserTemplate;
}

TKlassenLauf::TKlassenLauf(TNDK& Ndk, TProtokoll Protokoll) : FNdk(Ndk), FProtokoll(std::move(Protokoll)) {}

QString TKlassenLauf::Rechte(int ItemIndex) {
    return ItemIndex == 1 ? QStringLiteral("RWECMF") : QStringLiteral("R----F");
}

bool TKlassenLauf::Vorhanden(const TKlassenEingaben& E) {
    TStringList Gefunden;
    FNdk.SearchObjects(E.Basis, E.Name, QStringLiteral("Organizational Unit"), Gefunden);
    return Gefunden.Count() > 0;
}

bool TKlassenLauf::EintragAbwarten(const QString& Entry, int Pausen) {
    for (int Pause = 0;; ++Pause) {
        if (FNdk.EntryExists(Entry))
            return true;
        if (Pause >= Pausen)
            return false;
        TClock::Pause(100);
    }
}

bool TKlassenLauf::Pflicht(const std::function<bool()>& Step, const QString& Fehler) {
    if (Schritt(Step, FGrund))
        return true;
    if (FFehler)
        FFehler(Fehler, FGrund);
    FProtokoll(Fehler);
    FProtokoll(QStringLiteral("Abbruch."));
    return false;
}

void TKlassenLauf::FlagsSetzen(const QString& Verzeichnis, const QString& Flags, const QString& Art) {
    if (Flags.isEmpty())
        return;
    if (Schritt(
            [&] {
                FNdk.SetDirectoryFlags(Verzeichnis, Flags);
                return true;
            },
            FGrund)) {
        FProtokoll(Art + u' ' + Flags);
        return;
    }
    const QString Line = QStringLiteral("Fehler bei Attributeinstellung ") + Art;
    if (FFehler)
        FFehler(Line, FGrund);
    FProtokoll(Line);
}

bool TKlassenLauf::Anlegen(const TKlassenEingaben& E) {
    const bool Angelegt = ContainerAnlegen(E) && KlassenverzeichnisAnlegen(E) &&
                          (!E.Tausch || TauschverzeichnisAnlegen(E)) && (!E.Template || TemplateAnlegen(E));
    if (Angelegt)
        FProtokoll(QStringLiteral("Klasse ") + E.Name + QStringLiteral(" erfolgreich angelegt."));
    return Angelegt;
}

bool TKlassenLauf::ContainerAnlegen(const TKlassenEingaben& E) {
    return Pflicht(
        [&] {
            FNdk.AddOrganizationalUnit(E.Basis, E.Name);
            if (FNdk.AddFailed)
                throw EDirectoryError(QStringLiteral("Die Organisatorische Einheit ") + E.NeuerContainer() +
                                      QStringLiteral(" kann nicht angelegt werden."));
            FProtokoll(QStringLiteral("Organisatorische Einheit für ") + E.Name +
                       QStringLiteral(" angelegt."));
            if (E.LoginVonKlasse) {
                FNdk.CopyLoginScript(E.LoginKlasse, E.NeuerContainer());
                FProtokoll(QStringLiteral("Loginscript kopiert von ") + E.LoginKlasse);
            } else {
                FNdk.SetLoginScriptFromFile(E.NeuerContainer(), E.LoginDatei);
                FProtokoll(QStringLiteral("Loginscript gelesen von ") + E.LoginDatei);
            }
            return true;
        },
        QStringLiteral("Fehler bei Erstellung von OU."));
}

bool TKlassenLauf::KlassenverzeichnisAnlegen(const TKlassenEingaben& E) {
    // Only inside a volume; its flags do not decide the run.
    if (!Pflicht([&] { return OrdnerAnlegen(FNdk, E.KlassenVerzeichnis()); },
                 QStringLiteral("Fehler bei Erstellung von Verzeichnis")))
        return false;
    FProtokoll(QStringLiteral("Klassenverzeichnis erstellt"));
    FlagsSetzen(E.KlassenVerzeichnis(), E.HomeFlags, QStringLiteral("Homeverzeichnis"));
    return true;
}

bool TKlassenLauf::TauschverzeichnisAnlegen(const TKlassenEingaben& E) {
    const QString Verzeichnis = E.TauschVerzeichnis();
    if (!Pflicht(
            [&] {
                OrdnerAnlegen(FNdk, Verzeichnis);
                // Give the server time to show the new folder: at most 100 pauses, the last one
                // without a test after it. The run goes on either way.
                for (int Pause = 1; Pause <= 100; ++Pause) {
                    TClock::Pause(100);
                    if (Pause < 100 && FNdk.DirectoryExists(Verzeichnis))
                        break;
                }
                return true;
            },
            QStringLiteral("Fehler bei Erstellung von Verzeichnis")))
        return false;
    FProtokoll(QStringLiteral("Tauschverzeichnis erstellt"));
    FlagsSetzen(Verzeichnis, E.TauschFlags, QStringLiteral("Tauschverzeichnis"));
    return Pflicht(
        [&] {
            FProtokoll(QStringLiteral("Rechtevergabe an Tauschverzeichnis"));
            FProtokoll(QStringLiteral("bitte warten."));
            FNdk.SetTrusteeRights(Verzeichnis, E.NeuerContainer(), E.Rechte);
            FProtokoll(QStringLiteral("Rechte an Tauschverzeichnis ") + E.Rechte);
            return true;
        },
        QStringLiteral("Fehler bei Rechte für Tauschverz."));
}

bool TKlassenLauf::TemplateAnlegen(const TKlassenEingaben& E) {
    if (!Pflicht(
            [&] {
                FNdk.CopyTemplate(E.MusterTemplate, E.NeuerContainer(), UserTemplate);
                FProtokoll(QStringLiteral("User_Template übertragen."));
                return true;
            },
            QStringLiteral("Template konnte nicht übertragen werden.")))
        return false;
    // The copy is normally found at once; ten seconds at most.
    if (!Pflicht([&] { return EintragAbwarten(E.NeuesTemplate(), 100); },
                 QStringLiteral("Template nicht gefunden.")))
        return false;
    // No server connection for the folder gives no path field text: that is no conversion.
    QString Pfad;
    if (!Pflicht(
            [&] {
                Pfad = FNdk.UncToNds(E.KlassenVerzeichnis());
                return !Pfad.isEmpty();
            },
            QStringLiteral("UNC2NDS failed")))
        return false;
    FProtokoll(QStringLiteral("UNC2NDS"));
    if (!Pflicht(
            [&] {
                FNdk.SetFieldValue(E.NeuesTemplate(), QStringLiteral("Home Directory"), Pfad);
                return true;
            },
            QStringLiteral("Homeverzeichnispfad nicht erstellt.")))
        return false;
    FProtokoll(QStringLiteral("Pfad für Homeverzeichnis festgelegt."));
    return true;
}
