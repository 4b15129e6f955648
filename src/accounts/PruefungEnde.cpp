#include "PruefungEnde.h"

#include "ZipArchiv.h"

#include <Clock.h>
#include <DryRun.h>
#include <EDirectoryError.h>
#include <JournaledRun.h>
#include <MaskFormat.h>
#include <Secrets.h>
#include <ndk_u.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <cerrno>
#include <cstring>
#include <sodium.h>
#include <utility>

namespace {
QString Bytes(qint64 N) {
    return QStringLiteral("%1 Byte").arg(N);
}

QString DateienText(int Zahl, qint64 Groesse) {
    return (Zahl == 1 ? QStringLiteral("1 Datei") : QStringLiteral("%1 Dateien").arg(Zahl)) +
           QStringLiteral(", ") + Bytes(Groesse);
}

// The number and size of the files the archive takes from an account.
std::pair<int, qint64> Umfang(const TPruefungEndeKonto& K) {
    int Zahl = 0;
    qint64 Groesse = 0;
    for (const VolumeFiles::TEntry& E : K.Dateien)
        if (!E.Folder && E.LeftOut.isEmpty()) {
            ++Zahl;
            Groesse += E.Size;
        }
    return {Zahl, Groesse};
}
} // namespace

QStringList TPruefungEndePlan::Zeilen(const QString& Archiv) const {
    QStringList Z;
    Z << QStringLiteral("Archiv %1 wird angelegt%2")
             .arg(QDir::toNativeSeparators(Archiv),
                  QFileInfo::exists(Archiv) ? QStringLiteral(" (die Datei dort wird ersetzt)") : QString());
    for (const TPruefungEndeKonto& K : Konten) {
        const QString Vor = K.Name + QStringLiteral(": ");
        if (!K.Vorhanden) {
            Z << Vor + QStringLiteral("nicht vorhanden, wird übersprungen");
            continue;
        }
        if (!K.Fehlt.isEmpty()) {
            Z << Vor + QStringLiteral("keine Dateien zu sammeln (") + K.Fehlt + u')';
        } else {
            const auto [Zahl, Groesse] = Umfang(K);
            Z << Vor + DateienText(Zahl, Groesse) + QStringLiteral(" aus ") + K.Home;
            for (const VolumeFiles::TEntry& E : K.Dateien)
                if (!E.LeftOut.isEmpty())
                    Z << Vor + E.Path + QStringLiteral(" wird nicht gesammelt (") + E.LeftOut + u')';
        }
    }
    return Z;
}

TPruefungEnde::TPruefungEnde(TNDK& Ndk, TFortschritt Fortschritt)
    : FNdk(Ndk), FFortschritt(std::move(Fortschritt)) {}

QString TPruefungEnde::ZufallsPasswort() {
    if (sodium_init() < 0)
        throw EDirectoryError(QStringLiteral("Die Zufallsquelle des Systems ist nicht verfügbar."));
    static constexpr char Zeichen[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString P(32, Qt::Uninitialized);
    for (QChar& C : P)
        C = QLatin1Char(Zeichen[randombytes_uniform(sizeof(Zeichen) - 1)]);
    return P;
}

TPruefungEndePlan TPruefungEnde::Planen(const TPruefungEndeStart& Start) {
    TPruefungEndePlan Plan;
    for (int I = 0; I < Start.Zahl; ++I) {
        TPruefungEndeKonto K;
        K.Name = FormatMask(Start.Maske, Start.Von + I);
        K.Benutzer = Start.Container + u'\\' + K.Name;
        K.Vorhanden = !K.Name.isEmpty() && FNdk.EntryExists(K.Benutzer);
        if (K.Vorhanden) {
            K.Restriktion =
                FNdk.GetNetworkAddresses(K.Benutzer).replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
            const QString Feld = FNdk.GetHomeDirectory(K.Benutzer);
            try {
                if (Feld.isEmpty()) {
                    K.Fehlt = QStringLiteral("kein Basisverzeichnis");
                } else {
                    K.Home = FNdk.SplitFilePath(Feld);
                    if (!FNdk.DirectoryExists(K.Home)) {
                        K.Fehlt = QStringLiteral("der Ordner ") + K.Home + QStringLiteral(" fehlt");
                    } else {
                        K.Lokal = FNdk.LocalFolder(K.Home);
                        K.Dateien = FNdk.ListFiles(K.Home);
                    }
                }
            } catch (const EDirectoryError& Fehler) {
                K.Fehlt = Fehler.Message();
                K.Dateien.clear();
            }
        }
        Plan.Konten.push_back(std::move(K));
    }
    return Plan;
}

void TPruefungEnde::Archivieren(const TPruefungEndeStart& Start, const TPruefungEndePlan& Plan,
                                TPruefungEndeErgebnis& Ergebnis) {
    const int N = int(Plan.Konten.size());
    TZipArchiv Zip(Start.Archiv);
    // Files that vanished between the listing and the writing, by their names in the archive.
    QHash<QString, QString> Verloren;
    const QDateTime Jetzt = TClock::Now();
    for (const TPruefungEndeKonto& K : Plan.Konten) {
        if (!K.Vorhanden)
            continue;
        Zip.Ordner(K.Name + u'/', Jetzt);
        for (const VolumeFiles::TEntry& E : K.Dateien) {
            const QString Name = K.Name + u'/' + E.Path;
            if (!E.LeftOut.isEmpty())
                Ergebnis.Ausgelassen << Name + QStringLiteral(": ") + E.LeftOut;
            else if (E.Folder)
                Zip.Ordner(Name + u'/', E.Modified);
            else
                Zip.Datei(
                    Name,
                    [&Verloren, Name, Lokal = K.Lokal, Pfad = E.Path] {
                        const int Fd = VolumeFiles::OpenBelow(Lokal, Pfad);
                        if (Fd < 0)
                            Verloren.insert(Name, QString::fromLocal8Bit(std::strerror(errno)));
                        return Fd;
                    },
                    E.Modified);
        }
    }
    // Written last, so that it names the files that could not be read after all.
    Zip.Text(
        QStringLiteral("Inhalt.txt"),
        [&] {
            QStringList L;
            L << QStringLiteral("Gesammelt: ") + TClock::DateTimeToStr(Jetzt)
              << QStringLiteral("Container: ") + TNDK::PathToDotted(Start.Container) << QString();
            for (const TPruefungEndeKonto& K : Plan.Konten) {
                if (!K.Vorhanden) {
                    L << K.Name + QStringLiteral(": nicht vorhanden");
                    continue;
                }
                L << K.Name + (K.Home.isEmpty() ? QString() : QStringLiteral(" (") + K.Home + u')');
                if (!K.Fehlt.isEmpty())
                    L << QStringLiteral("  keine Dateien: ") + K.Fehlt;
                int Zahl = 0;
                qint64 Groesse = 0;
                for (const VolumeFiles::TEntry& E : K.Dateien) {
                    const QString Name = K.Name + u'/' + E.Path;
                    QString Zeile =
                        QStringLiteral("  ") + E.Path + (E.Folder ? QStringLiteral("/") : QString());
                    if (!E.LeftOut.isEmpty()) {
                        Zeile += QStringLiteral("  nicht gesammelt: ") + E.LeftOut;
                    } else if (const auto V = Verloren.constFind(Name); V != Verloren.cend()) {
                        Zeile += QStringLiteral("  nicht lesbar: ") + *V;
                    } else if (!E.Folder) {
                        Zeile += QStringLiteral("  ") + Bytes(E.Size) + QStringLiteral("  ") +
                                 TClock::DateTimeToStr(E.Modified.toLocalTime());
                        ++Zahl;
                        Groesse += E.Size;
                    }
                    L << Zeile;
                }
                if (K.Fehlt.isEmpty())
                    L << QStringLiteral("  ") + DateienText(Zahl, Groesse);
                Ergebnis.Dateien += Zahl;
                Ergebnis.Bytes += Groesse;
            }
            return (L.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
        },
        Jetzt);
    Zip.Schliessen([&](double Anteil) {
        return FFortschritt(int(Anteil * N), 2 * N, QStringLiteral("Dateien sammeln"));
    });
    for (auto It = Verloren.cbegin(); It != Verloren.cend(); ++It)
        Ergebnis.Ausgelassen << It.key() + QStringLiteral(": ") + It.value();
}

TPruefungEndeErgebnis TPruefungEnde::Ausfuehren(const TPruefungEndeStart& Start) {
    TPruefungEndeErgebnis Ergebnis;
    const QString Kurs = TNDK::PathToDotted(Start.Container);
    TJournaledRun Lauf(FNdk.Client(), QStringLiteral("Prüfung beenden"), Kurs, FNdk.TreePrefix(),
                       {{QStringLiteral("Container"), Kurs},
                        {QStringLiteral("Maske"), Start.Maske},
                        {QStringLiteral("von"), QString::number(Start.Von)},
                        {QStringLiteral("Zahl"), QString::number(Start.Zahl)},
                        {QStringLiteral("Archiv"), QDir::toNativeSeparators(Start.Archiv)}});
    auto Aufzeichnen = [&](const TRunChange& C) {
        if (FProbe)
            FProbe(C);
        else
            Lauf.Record(C);
    };
    auto Fehler = [&](const QString& Ziel, const QString& Grund) { Aufzeichnen(LaufFehler(Ziel, Grund)); };
    const TPruefungEndePlan Plan = Planen(Start);
    const int N = int(Plan.Konten.size());
    for (const TPruefungEndeKonto& K : Plan.Konten)
        if (!K.Vorhanden)
            Fehler(K.Benutzer, QStringLiteral("nicht vorhanden, übersprungen"));
        else if (!K.Fehlt.isEmpty())
            Fehler(K.Benutzer, QStringLiteral("keine Dateien gesammelt: ") + K.Fehlt);
    if (FProbe) {
        for (const TPruefungEndeKonto& K : Plan.Konten) {
            const auto [Zahl, Groesse] = Umfang(K);
            Ergebnis.Dateien += Zahl;
            Ergebnis.Bytes += Groesse;
            for (const VolumeFiles::TEntry& E : K.Dateien)
                if (!E.LeftOut.isEmpty())
                    Ergebnis.Ausgelassen << K.Name + u'/' + E.Path + QStringLiteral(": ") + E.LeftOut;
        }
    } else {
        try {
            Archivieren(Start, Plan, Ergebnis);
        } catch (const EArchivFehler& F) {
            Fehler(Start.Archiv, QString::fromStdString(F.what()));
            throw;
        }
    }
    TRunChange Archiv;
    Archiv.Kind = TRunChange::TKind::WriteFile;
    Archiv.Target = Start.Archiv;
    Archiv.Detail = QStringLiteral("Archiv mit ") + DateienText(Ergebnis.Dateien, Ergebnis.Bytes) +
                    QStringLiteral(" der Konten von ") + Kurs;
    Aufzeichnen(Archiv);
    for (const QString& A : Ergebnis.Ausgelassen)
        Fehler(A.section(QStringLiteral(": "), 0, 0),
               QStringLiteral("nicht gesammelt: ") + A.section(QStringLiteral(": "), 1));

    bool Abgebrochen = false;
    for (int I = 0; I < N; ++I) {
        const TPruefungEndeKonto& K = Plan.Konten[size_t(I)];
        if (!Abgebrochen && !FFortschritt(N + I + 1, 2 * N, QStringLiteral("Konten sperren")))
            Abgebrochen = true;
        if (!K.Vorhanden)
            continue;
        QString Grund;
        if (Abgebrochen) {
            Grund = QStringLiteral("abgebrochen, unverändert");
        } else {
            try {
                // The password first: an account whose password stays the exam's keeps its
                // restriction.
                TSecretText Passwort(ZufallsPasswort());
                if (!FNdk.SetUserPassword(K.Benutzer, Passwort.Text()))
                    Grund = QStringLiteral("Passwort nicht gesetzt, Netzwerkadressbeschränkung bleibt");
                else if (!FNdk.ClearNetworkAddresses(K.Benutzer))
                    Grund =
                        QStringLiteral("neues Passwort gesetzt, Netzwerkadressbeschränkung nicht entfernt");
            } catch (const EDirectoryError& F) {
                Grund = F.Message();
            }
        }
        if (Grund.isEmpty()) {
            Ergebnis.Gesperrt << K.Name;
        } else {
            Ergebnis.Fehler << K.Name + QStringLiteral(": ") + Grund;
            Fehler(K.Benutzer, Grund);
        }
    }
    Lauf.End(Abgebrochen ? QStringLiteral("abgebrochen")
                         : QStringLiteral("%1 Konten gesperrt, %2 nicht")
                               .arg(Ergebnis.Gesperrt.size())
                               .arg(Ergebnis.Fehler.size()));
    return Ergebnis;
}

TLaufBericht PruefungEndeProbelauf(TNDK& Ndk, const TPruefungEndeStart& Start, QWidget* Owner) {
    TLaufBericht B;
    TProbeNdk Probe(Ndk, Owner);
    TDryRun& Dry = Probe.Dry;
    TNDK& Kopie = Probe.Ndk;
    TPruefungEnde Ende(Kopie, [](int, int, const QString&) { return true; });
    Ende.Probe([&Dry](const TRunChange& C) { Dry.Record(C); });
    try {
        const TPruefungEndeErgebnis E = Ende.Ausfuehren(Start);
        B.Protokoll
            << QStringLiteral("%1 Konten gesperrt, %2 nicht").arg(E.Gesperrt.size()).arg(E.Fehler.size());
        B.Erfolgreich = true;
    } catch (...) {
        B.Protokoll << QStringLiteral("Abbruch: ") + CurrentErrorText();
    }
    B.Aenderungen = Dry.Changes();
    return B;
}
