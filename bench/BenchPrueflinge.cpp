// The exam-account run of parvon-bench.

#include "BenchPrueflinge.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <ForwardingBackend.h>
#include <NWNetAddress.h>
#include <PrueflingeLauf.h>
#include <SqliteStore.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: exam accounts: " << Message << '\n';
    std::exit(2);
}

// The store as the directory, with the time spent setting passwords (hashing them) counted.
class TZeitStore final : public TForwardingBackend {
public:
    explicit TZeitStore(std::shared_ptr<TSqliteStore> Store) : TForwardingBackend(std::move(Store)) {}
    qint64 HashNs = 0;

    void SetPassword(const TObjectRef& O, const QString& Password) override {
        QElapsedTimer T;
        T.start();
        TForwardingBackend::SetPassword(O, Password);
        HashNs += T.nsecsElapsed();
    }
};

const QString Tree = QStringLiteral("NDS:\\\\SCHULE");

// The volume object of \\SRV1\DATA, a room of Konten workstations in 10.1.0.0/16 (the address
// after a hardware address, as rooms hold them) and the exam template in Schueler.
void Einrichten(TSqliteStore& Store, const QString& Schueler, int Konten) {
    TDirectoryTransaction T(Store);
    const TObjectRef Root = Store.Resolve(Tree);
    const TObjectRef Dienste =
        Store.CreateObject(Root, QStringLiteral("Organization"), QStringLiteral("dienste"));
    const TObjectRef Server =
        Store.CreateObject(Dienste, QStringLiteral("NCP Server"), QStringLiteral("SRV1"));
    Store.CreateObject(Dienste, QStringLiteral("Volume"), QStringLiteral("SRV1_DATA"),
                       {{QStringLiteral("Host Server"), Server.FullName},
                        {QStringLiteral("Host Resource Name"), QStringLiteral("DATA")}});
    TVolume Data;
    if (!Store.FindVolume(QStringLiteral("SRV1"), QStringLiteral("DATA"), Data)) {
        Data.Server = QStringLiteral("SRV1");
        Data.Volume = QStringLiteral("DATA");
        Store.AddVolume(Data);
    }
    const TObjectRef Raeume =
        Store.CreateObject(Root, QStringLiteral("Organization"), QStringLiteral("Workstations"));
    const TObjectRef Raum =
        Store.CreateObject(Raeume, QStringLiteral("Organizational Unit"), QStringLiteral("PRUEF"));
    for (int W = 1; W <= Konten; ++W)
        Store.CreateObject(Raum, QStringLiteral("Workstation"),
                           QStringLiteral("PC%1").arg(W, 3, 10, QLatin1Char('0')),
                           {{QStringLiteral("WM:Network Address"),
                             QStringList{QStringLiteral("00:1B:21:0A:00:%1").arg(W, 2, 16, QLatin1Char('0')),
                                         QStringLiteral("10.1.%1.%2").arg(1 + W / 200).arg(1 + W % 200)}}});
    Store.CreateObject(
        Store.Resolve(Schueler), QStringLiteral("Template"), QStringLiteral("Pruef_Template"),
        {{QStringLiteral("Home Directory"), Dienste.FullName + QStringLiteral("\\SRV1_DATA,home\\pruef")},
         {QStringLiteral("Home Directory Rights"), qint64(0x0FB)}});
    T.Commit();
}

TPrueflingeZeit Lauf(TNDK& Ndk, TZeitStore& Zeit, const TPrueflingeStart& Start, const TPrueflingeKonto& E,
                     int Erwartet) {
    Zeit.HashNs = 0;
    const QDateTime Vorher = TClock::Now();
    QElapsedTimer T;
    T.start();
    TPrueflingeLauf Run(Ndk, [](int, TPrueflingeKonto&) { return true; });
    const int Neu = Run.Ausfuehren(Start, E);
    TPrueflingeZeit Z;
    Z.Gesamt = T.nsecsElapsed() / 1e9;
    Z.Hashen = Zeit.HashNs / 1e9;
    Z.Warten = Vorher.msecsTo(TClock::Now()) / 1e3;
    if (Neu != Erwartet)
        Fail(QStringLiteral("%1 accounts created, %2 expected").arg(Neu).arg(Erwartet));
    return Z;
}

} // namespace

TPrueflingeBench BenchPrueflinge(const std::shared_ptr<TSqliteStore>& Store, const QString& Schueler,
                                 int Konten, int Rounds) {
    Einrichten(*Store, Schueler, Konten);
    auto Zeit = std::make_shared<TZeitStore>(Store);
    TDirectoryClient Client(Zeit, Store);
    TDirectoryClient& Vorher = TDirectoryClient::Instance();
    TDirectoryClient::SetInstance(&Client);
    TClock::SetInstantPauses(true);

    TPrueflingeBench Ergebnis;
    Ergebnis.Konten = Konten;
    {
        TNDK Ndk(nullptr, Client);
        TStringList Workstations;
        Ndk.SetFilters(QStringLiteral("Workstation"));
        Ndk.ListEntries(Tree + QStringLiteral("\\Workstations\\PRUEF"), Workstations);
        Ndk.SetFilters(QString());
        Workstations.Sort(
            [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });

        // Bound to the room with a replacement address and a password, as a school runs it.
        TPrueflingeKonto E{.Kurs = QString(),
                           .Maske = QString(),
                           .Template = Schueler + QStringLiteral("\\Pruef_Template"),
                           .Vorname = QStringLiteral("Prüfling"),
                           .HomeFlags = QStringLiteral("/+DI/+RI"),
                           .Restriktion = true,
                           .Workstations = Workstations.ObjectTexts(),
                           .Netz = QStringLiteral("10.1.0.0"),
                           .NetzMaske = QStringLiteral("255.255.0.0"),
                           .Passwort = QStringLiteral("geheim")};
        for (int R = 1; R <= Rounds; ++R) {
            const QString Kurs = QStringLiteral("PRUEF%1").arg(R);
            Ndk.AddOrganizationalUnit(Schueler, Kurs);
            const TPrueflingeStart Start{Schueler + u'\\' + Kurs, Konten, QStringLiteral("10.1.250.1")};
            E.Kurs = Start.Container;
            E.Maske = Kurs + QStringLiteral("_B%2.2d");
            const TPrueflingeZeit Neu = Lauf(Ndk, *Zeit, Start, E, Konten);
            const TPrueflingeZeit Zweiter = Lauf(Ndk, *Zeit, Start, E, 0);
            if (R == 1 || Neu.Programm() < Ergebnis.Neu.Programm())
                Ergebnis.Neu = Neu;
            if (R == 1 || Zweiter.Programm() < Ergebnis.Zweiter.Programm())
                Ergebnis.Zweiter = Zweiter;

            const QString Letzter = Start.Container + QStringLiteral("\\%1_B%2").arg(Kurs).arg(Konten);
            if (Ndk.GetNetworkAddresses(Letzter).split(QStringLiteral("\r\n")).size() != 2 ||
                !Ndk.DirectoryExists(
                    QStringLiteral("\\\\SRV1\\DATA\\home\\pruef\\%1\\%1_B%2").arg(Kurs).arg(Konten)))
                Fail(QStringLiteral("%1 lacks its restriction or its home folder").arg(Letzter));
        }
    }
    TClock::Reset();
    TDirectoryClient::SetInstance(&Vorher);
    return Ergebnis;
}
