// The import of a BImport file in parvon-bench.

#include "BenchBImport.h"

#include <BImportDatei.h>
#include <BImportLauf.h>
#include <Clock.h>
#include <DirectoryClient.h>
#include <SqliteStore.h>
#include <ndk_u.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
[[noreturn]] void Fail(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: BImport: " << Message << '\n';
    std::exit(2);
}
} // namespace

TBImportBench BenchBImport(const std::shared_ptr<TSqliteStore>& Store, const QString& Schueler, int Zeilen,
                           int Rounds) {
    TDirectoryClient Client(Store, Store);
    TDirectoryClient& Vorher = TDirectoryClient::Instance();
    TDirectoryClient::SetInstance(&Client);
    TClock::SetInstantPauses(true);
    QTemporaryDir Folder;
    TBImportBench Ergebnis;
    Ergebnis.Zeilen = Zeilen;
    {
        TNDK Ndk(nullptr, Client);
        TBImportLauf Lauf(Ndk, Client.Directory());
        for (int R = 1; R <= Rounds; ++R) {
            const QString Kurs = QStringLiteral("BIMP%1").arg(R);
            Ndk.AddOrganizationalUnit(Schueler, Kurs);
            const QString Datei = Folder.filePath(Kurs + QStringLiteral(".txt"));
            BImportSchreiben(Datei,
                             {Kurs + QStringLiteral("_B%2.2d"), Kurs, QStringLiteral("Prüfling"), Zeilen});
            QFile F(Datei);
            if (!F.open(QIODevice::ReadOnly))
                Fail(QStringLiteral("the file was not written"));
            const QByteArray Text = F.readAll();
            const TBImportStart Start{QString(), Schueler, Schueler + QStringLiteral("\\Pruef_Template"),
                                      QStringLiteral("/+DI/+RI")};
            const auto Import = [&](int Erwartet, double& Bestes) {
                const QDateTime Anfang = TClock::Now();
                QElapsedTimer T;
                T.start();
                const int Neu = Lauf.Ausfuehren(Lauf.Pruefen(Text, Start), Start);
                const double Sekunden = T.nsecsElapsed() / 1e9;
                if (Neu != Erwartet)
                    Fail(QStringLiteral("%1 accounts created, %2 expected").arg(Neu).arg(Erwartet));
                if (R == 1 || Sekunden < Bestes)
                    Bestes = Sekunden;
                if (Erwartet)
                    Ergebnis.Warten = Anfang.msecsTo(TClock::Now()) / 1e3;
            };
            Import(Zeilen, Ergebnis.Neu);
            Import(0, Ergebnis.Zweiter);
            const QString Letzter =
                Schueler + u'\\' + Kurs + u'\\' + Kurs + QStringLiteral("_B%1").arg(Zeilen);
            if (Ndk.GetFieldValue(Letzter, QStringLiteral("Full Name")) !=
                    QStringLiteral("Prüfling ") + Kurs + QStringLiteral("_B%1").arg(Zeilen) ||
                Ndk.GetTrusteeRights(Ndk.SplitFilePath(Ndk.GetHomeDirectory(Letzter)), Letzter).isEmpty())
                Fail(QStringLiteral("%1 lacks its name or its home folder's rights").arg(Letzter));
        }
    }
    TClock::Reset();
    TDirectoryClient::SetInstance(&Vorher);
    return Ergebnis;
}
