#include "PrueflingeLauf.h"

#include <EDirectoryError.h>
#include <IPTools_u.h>
#include <MaskFormat.h>
#include <ndk_u.h>

#include <algorithm>
#include <utility>

namespace {
// The last level of a path or path field text: what follows its last "\" or ",".
QString LetzteEbene(QString Pfad) {
    while (Pfad.endsWith(u'\\'))
        Pfad.chop(1);
    return Pfad.mid(std::max(Pfad.lastIndexOf(u'\\'), Pfad.lastIndexOf(u',')) + 1);
}

// The rights mask a template gives new users on their home folder; it must be a whole number.
quint32 HomeRechte(TNDK& Ndk, const QString& Template) {
    const QString Text = Ndk.GetFieldValue(Template, QStringLiteral("Home Directory Rights"));
    bool Ok = false;
    const qint64 Mask = Text.trimmed().toLongLong(&Ok);
    if (!Ok)
        throw EDirectoryError(QStringLiteral("Das Template ") + TNDK::PathToDotted(Template) +
                              QStringLiteral(" hat keinen ganzzahligen Wert für \"Home Directory Rights\"."));
    return quint32(Mask);
}
} // namespace

TPrueflingeLauf::TPrueflingeLauf(TNDK& Ndk, TFortschritt Fortschritt)
    : FNdk(Ndk), FFortschritt(std::move(Fortschritt)) {}

QString TPrueflingeLauf::HomeVerzeichnis(const QString& Home, const QString& Name, const QString& Kurs,
                                         const QString& Ordner) {
    const QString Letzte = LetzteEbene(Home);
    if (Letzte.compare(Name, Qt::CaseInsensitive) == 0)
        return Home;
    QString Basis = Home;
    while (Basis.endsWith(u'\\'))
        Basis.chop(1);
    if (Letzte.compare(Kurs, Qt::CaseInsensitive) == 0)
        return Basis + u'\\' + Name;
    return Basis + u'\\' + Ordner + u'\\' + Name;
}

int TPrueflingeLauf::Ausfuehren(const TPrueflingeStart& Start, TPrueflingeKonto E) {
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
            }
            const QString Flags = E.HomeFlags.isEmpty() ? QStringLiteral("-DI -RI") : E.HomeFlags;
            FNdk.SetDirectoryFlags(FNdk.GetHomeDirectory(Benutzer), Flags);
            if (E.Restriktion)
                Binden(Benutzer, K, Start.Ersatz, E);
            else
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
    // Read before the account exists: an account left without its rights would never get them, since
    // a later run leaves an existing account's folder alone.
    const quint32 Rechte = HomeRechte(FNdk, E.Template);
    FNdk.AddUser(Container, Name, Name, E.Template);
    FNdk.SetFieldValue(Benutzer, QStringLiteral("Given Name"), E.Vorname);
    FNdk.SetFieldValue(Benutzer, QStringLiteral("Full Name"), E.Vorname + u' ' + Name);
    const QString Home =
        HomeVerzeichnis(FNdk.GetHomeDirectory(Benutzer), Name, Kurs, FNdk.GetShortName(E.Kurs));
    FNdk.SetFieldValue(Benutzer, QStringLiteral("Home Directory"), Home);
    const QString Pfad = FNdk.SplitFilePath(FNdk.GetHomeDirectory(Benutzer));
    FNdk.ForceDirectories(Pfad);
    FNdk.SetTrusteeRights(Pfad, Benutzer, TNDK::RightsToLetters(Rechte));
}

void TPrueflingeLauf::Binden(const QString& Benutzer, int K, const QString& Ersatz,
                             const TPrueflingeKonto& E) {
    // An account beyond the room's workstations keeps the restriction it has.
    if (K > E.Workstations.size())
        return;
    const QString Werte =
        FNdk.GetFieldValueList(E.Workstations.at(K - 1), QStringLiteral("WM:Network Address"));
    const QString Adresse = SelectWorkstationAddress(Werte, E.Netz, E.NetzMaske);
    FNdk.ClearNetworkAddresses(Benutzer);
    FNdk.AddNetworkAddress(Benutzer, Adresse);
    if (!Ersatz.isEmpty())
        FNdk.AddNetworkAddress(Benutzer, Ersatz);
}
