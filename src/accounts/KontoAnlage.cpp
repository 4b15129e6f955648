#include "KontoAnlage.h"

#include <EDirectoryError.h>
#include <ndk_u.h>

#include <algorithm>

namespace KontoAnlage {

QString LetzteEbene(QString Pfad) {
    while (Pfad.endsWith(u'\\'))
        Pfad.chop(1);
    return Pfad.mid(std::max(Pfad.lastIndexOf(u'\\'), Pfad.lastIndexOf(u',')) + 1);
}

quint32 HomeRechte(TNDK& Ndk, const QString& Template) {
    const QString Text = Ndk.GetFieldValue(Template, QStringLiteral("Home Directory Rights"));
    bool Ok = false;
    const qint64 Mask = Text.trimmed().toLongLong(&Ok);
    if (!Ok)
        throw EDirectoryError(QStringLiteral("Das Template ") + TNDK::PathToDotted(Template) +
                              QStringLiteral(" hat keinen ganzzahligen Wert für \"Home Directory Rights\"."));
    return quint32(Mask);
}

QString HomeVerzeichnis(const QString& Home, const QString& Name, const QString& Kurs,
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

QString Anlegen(TNDK& Ndk, const TNeuesKonto& K, quint32 Rechte) {
    const QString Benutzer = K.Container + u'\\' + K.Name;
    Ndk.AddUser(K.Container, K.Name, K.Nachname, K.Template);
    Ndk.SetFieldValue(Benutzer, QStringLiteral("Given Name"), K.Vorname);
    Ndk.SetFieldValue(Benutzer, QStringLiteral("Full Name"), K.VollerName);
    const QString Home = HomeVerzeichnis(Ndk.GetHomeDirectory(Benutzer), K.Name, K.Kurs, K.Ordner);
    Ndk.SetFieldValue(Benutzer, QStringLiteral("Home Directory"), Home);
    const QString Pfad = Ndk.SplitFilePath(Ndk.GetHomeDirectory(Benutzer));
    Ndk.ForceDirectories(Pfad);
    Ndk.SetTrusteeRights(Pfad, Benutzer, TNDK::RightsToLetters(Rechte));
    return Benutzer;
}

void HomeFlagsSetzen(TNDK& Ndk, const QString& Benutzer, const QString& Flags) {
    Ndk.SetDirectoryFlags(Ndk.GetHomeDirectory(Benutzer),
                          Flags.isEmpty() ? QStringLiteral("-DI -RI") : Flags);
}

} // namespace KontoAnlage
