#include "DemoTree.h"

#include <SqliteStore.h>

#include <Clock.h>
#include <EDirectoryError.h>
#include <NWNetAddress.h>
#include <Names.h>

#include <QDateTime>
#include <QSet>
#include <algorithm>

namespace {

using TRef = TObjectRef;
using TFields = std::vector<TFieldWrite>;

const char* const GivenNames[] = {
    "Anna",  "Ben",      "Clara", "David", "Emma",  "Felix",  "Greta",  "Hannah",    "Jonas",   "Julia",
    "Leon",  "Lena",     "Lukas", "Marie", "Max",   "Mia",    "Niklas", "Paul",      "Sophie",  "Tim",
    "Laura", "Jan",      "Lea",   "Finn",  "Emily", "Noah",   "Lina",   "Elias",     "Johanna", "Moritz",
    "Tom",   "Sarah",    "Luis",  "Nele",  "Jakob", "Amelie", "Erik",   "Ida",       "Oskar",   "Frieda",
    "Anton", "Mathilda", "Karl",  "Sören", "Jörn",  "Lotte",  "Malte",  "Charlotte", "Henri",   "Zoë",
};

const char* const Surnames[] = {
    "Müller",   "Schmidt",    "Schneider", "Fischer", "Weber",    "Meyer",    "Wagner", "Becker",   "Schulz",
    "Hoffmann", "Schäfer",    "Koch",      "Bauer",   "Richter",  "Klein",    "Wolf",   "Schröder", "Neumann",
    "Schwarz",  "Zimmermann", "Braun",     "Krüger",  "Hofmann",  "Hartmann", "Lange",  "Schmitt",  "Werner",
    "Krause",   "Meier",      "Lehmann",   "Köhler",  "Herrmann", "König",    "Walter", "Huber",    "Kaiser",
    "Fuchs",    "Peters",     "Scholz",    "Möller",  "Weiß",     "Jung",     "Hahn",   "Vogel",    "Keller",
    "Günther",  "Berger",     "Winkler",   "Roth",    "Lorenz",   "Baumann",  "Böhm",   "Jäger",    "Groß",
};

// Login names are plain ASCII.
QString Ascii(const QString& Text) {
    QString R;
    for (QChar C : Text.toLower()) {
        switch (C.unicode()) {
        case 0xE4:
            R += QStringLiteral("ae");
            break;
        case 0xF6:
            R += QStringLiteral("oe");
            break;
        case 0xFC:
            R += QStringLiteral("ue");
            break;
        case 0xDF:
            R += QStringLiteral("ss");
            break;
        case 0xEB:
            R += QStringLiteral("e");
            break;
        default:
            if (C.isLetterOrNumber() && C.unicode() < 0x80)
                R += C;
        }
    }
    return R;
}

class TDemoBuilder {
public:
    explicit TDemoBuilder(TSqliteStore& Store) : FStore(Store) {}

    TRef Add(const TRef& Parent, const char* Layout, const QString& Name, const TFields& Fields = {}) {
        return FStore.CreateObject(Parent, QString::fromLatin1(Layout), Name, Fields);
    }

    void Build() {
        const QString Tree = QStringLiteral("SCHULE");
        FStore.AddTree(Tree);
        const QString Root = QStringLiteral("NDS:\\\\SCHULE");
        const QString Admin = Root + QStringLiteral("\\dienste\\admin");
        FStore.SetIdentity(Admin);
        const TRef TreeRoot = FStore.Resolve(Root);

        // Services: server, volumes, administrator, catalog.
        const TRef Dienste = Add(TreeRoot, "Organization", QStringLiteral("dienste"),
                                 {{QStringLiteral("Description"), QStringLiteral("Server und Dienste")}});
        const TRef Server =
            Add(Dienste, "NCP Server", QStringLiteral("SRV1"),
                {{QStringLiteral("Description"), QStringLiteral("Dateiserver der Schule")},
                 {QStringLiteral("Network Address"),
                  QVariantList{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x00\x01", 4)))}}});
        const QString DataObject = Root + QStringLiteral("\\dienste\\SRV1_DATA");
        for (const char* Volume : {"SYS", "DATA"}) {
            Add(Dienste, "Volume", QStringLiteral("SRV1_") + QString::fromLatin1(Volume),
                {{QStringLiteral("Host Server"), Server.FullName},
                 {QStringLiteral("Host Resource Name"), QString::fromLatin1(Volume)}});
            TVolume V;
            V.Server = QStringLiteral("SRV1");
            V.Volume = QString::fromLatin1(Volume);
            V.VolumeObject = Root + QStringLiteral("\\dienste\\SRV1_") + V.Volume;
            FStore.AddVolume(V);
        }
        const TRef AdminUser = Add(Dienste, "User", QStringLiteral("admin"),
                                   {{QStringLiteral("Surname"), QStringLiteral("Administrator")},
                                    {QStringLiteral("Full Name"), QStringLiteral("Administrator")},
                                    {QStringLiteral("Description"), QStringLiteral("Verwalter des Baums")}});
        FStore.SetPassword(AdminUser, QStringLiteral("admin"));
        // The catalog of the students' names, last refreshed yesterday; its rows come with the
        // first refresh.
        Add(Dienste, "NDSCAT:Master Catalog", QStringLiteral("benutzer"),
            {{QStringLiteral("Description"), QStringLiteral("Katalog aller Benutzer")},
             {QStringLiteral("NDSCAT:Catalog Scope"), Root + QStringLiteral("\\unterricht\\schueler")},
             {QStringLiteral("NDSCAT:Filter"), QStringLiteral("User")},
             {QStringLiteral("NDSCAT:Attribute List"),
              QStringList{QStringLiteral("Surname"), QStringLiteral("Given Name"),
                          QStringLiteral("Full Name")}},
             {QStringLiteral("NDSCAT:Actual Start Time"), TClock::Now().addDays(-1)},
             {QStringLiteral("NDSCAT:Actual End Time"), TClock::Now().addDays(-1).addSecs(42)},
             {QStringLiteral("NDSCAT:Actual Result"), qint64(0)}});

        // Teaching: classes below "schueler", templates, exam template.
        const TRef Unterricht = Add(TreeRoot, "Organization", QStringLiteral("unterricht"));
        const TRef Schueler = Add(Unterricht, "Organizational Unit", QStringLiteral("schueler"),
                                  {{QStringLiteral("Login Script"), LoginScript(QString())}});
        Add(Schueler, "Template", QStringLiteral("User_Template"),
            {{QStringLiteral("Home Directory"), DataObject + QStringLiteral(",home\\schueler")},
             {QStringLiteral("Login Script"),
              QStringLiteral("MAP DISPLAY OFF\r\nMAP INS S1:=SRV1_SYS:public\r\n")},
             {QStringLiteral("Password Required"), true},
             {QStringLiteral("Language"), QStringList{QStringLiteral("DEUTSCH")}},
             {QStringLiteral("Home Directory Rights"), qint64(0x0FB)}});
        Add(Unterricht, "Template", QStringLiteral("Pruefung_Template"),
            {{QStringLiteral("Home Directory"), DataObject + QStringLiteral(",home\\pruefung")},
             {QStringLiteral("Home Directory Rights"), qint64(0x0FB)},
             {QStringLiteral("Description"), QStringLiteral("Vorlage für Prüfungskonten")},
             {QStringLiteral("Login Script"),
              QStringLiteral("MAP DISPLAY OFF\r\nMAP ROOT H:=SRV1_DATA:home\\pruefung\r\n")}});
        // An exam account bound to its workstation in EDV1 and to a replacement workstation.
        const TRef Pruefung = Add(Unterricht, "Organizational Unit", QStringLiteral("pruefung"),
                                  {{QStringLiteral("Description"), QStringLiteral("Prüfungskonten")}});
        Add(Pruefung, "User", QStringLiteral("EDV1_B01"),
            {{QStringLiteral("Given Name"), QStringLiteral("Prüfling")},
             {QStringLiteral("Surname"), QStringLiteral("EDV1_B01")},
             {QStringLiteral("Full Name"), QStringLiteral("Prüfling EDV1_B01")},
             {QStringLiteral("Network Address Restriction"),
              QVariantList{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x01\x65", 4))),
                           QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x01\xC8", 4)))}}});
        Force(QStringLiteral("home\\pruefung"));
        Force(QStringLiteral("Tausch"));
        Force(QStringLiteral("home\\Tausch\\schueler"));

        const char* const Classes[] = {"5a", "5b", "6a", "6b", "7a", "7b", "8a", "9a", "10a", "11"};
        quint32 Seed = 20240801;
        auto Next = [&Seed](quint32 Range) {
            Seed = Seed * 1664525u + 1013904223u;
            return (Seed >> 8) % Range;
        };
        for (const char* ClassName : Classes) {
            const QString Name = QString::fromLatin1(ClassName);
            const QString Home = QStringLiteral("home\\schueler\\") + Name;
            const TRef Class = Add(Schueler, "Organizational Unit", Name,
                                   {{QStringLiteral("Login Script"), LoginScript(Name)},
                                    {QStringLiteral("Description"), QStringLiteral("Klasse ") + Name}});
            Add(Class, "Template", QStringLiteral("User_Template"),
                {{QStringLiteral("Home Directory"), DataObject + QLatin1Char(',') + Home},
                 {QStringLiteral("Password Required"), true},
                 {QStringLiteral("Language"), QStringList{QStringLiteral("DEUTSCH")}},
                 {QStringLiteral("Description"), QStringLiteral("Vorlage für Klasse ") + Name}});
            Force(Home);
            const int Students = 20 + int(Next(11));
            QSet<QString> Taken;
            for (int I = 0; I < Students; ++I) {
                const QString Given = QString::fromUtf8(GivenNames[Next(std::size(GivenNames))]);
                const QString Surname = QString::fromUtf8(Surnames[Next(std::size(Surnames))]);
                QString Login = Ascii(Surname) + QLatin1Char('_') + Ascii(Given);
                for (int N = 2; Taken.contains(Login); ++N)
                    Login = Ascii(Surname) + QLatin1Char('_') + Ascii(Given) + QString::number(N);
                Taken.insert(Login);
                Add(Class, "User", Login,
                    {{QStringLiteral("Given Name"), Given},
                     {QStringLiteral("Surname"), Surname},
                     {QStringLiteral("Full Name"), Given + QLatin1Char(' ') + Surname},
                     {QStringLiteral("Home Directory"),
                      DataObject + QLatin1Char(',') + Home + QLatin1Char('\\') + Login},
                     {QStringLiteral("Language"), QStringList{QStringLiteral("DEUTSCH")}}});
            }
        }

        // A course that the exam accounts of room EDV1 go into.
        Add(Schueler, "Organizational Unit", QStringLiteral("EDV1"),
            {{QStringLiteral("Description"), QStringLiteral("Kurs im Computerraum 1")}});

        // Home folders carry both flags; a few classes have an exchange folder with rights.
        for (const char* ClassName : {"5a", "6a", "7b", "10a"})
            Flags(QStringLiteral("home\\schueler\\") + QString::fromLatin1(ClassName), true, true);
        struct TExchange {
            const char* Class;
            int Rights;
            bool DeleteInhibit, RenameInhibit;
        };
        const TExchange Exchanges[] = {{"5a", 0x001 | 0x040, true, true},
                                       {"6a", 0x001 | 0x002 | 0x010 | 0x008 | 0x080 | 0x040, true, false},
                                       {"7b", 0x001 | 0x040, false, true}};
        for (const TExchange& E : Exchanges) {
            const QString Folder = QStringLiteral("home\\Tausch\\schueler\\") + QString::fromLatin1(E.Class);
            Force(Folder);
            Flags(Folder, E.DeleteInhibit, E.RenameInhibit);
            Grant(Folder, Root + QStringLiteral("\\unterricht\\schueler\\") + QString::fromLatin1(E.Class),
                  E.Rights);
        }
        ForceOn(QStringLiteral("SYS"), QStringLiteral("public"));
        ForceOn(QStringLiteral("SYS"), QStringLiteral("login"));

        // Rooms with their workstations: EDV1 with 20 seats (WS01 to WS20), EDV2 with 12 (WS21 to
        // WS32).
        const TRef Workstations = Add(TreeRoot, "Organization", QStringLiteral("Workstations"));
        for (int Room = 1; Room <= 2; ++Room) {
            const TRef R =
                Add(Workstations, "Organizational Unit", QStringLiteral("EDV%1").arg(Room),
                    {{QStringLiteral("Description"), QStringLiteral("Computerraum %1").arg(Room)}});
            const int Seats = Room == 1 ? 20 : 12;
            for (int Seat = 1; Seat <= Seats; ++Seat) {
                const int Number = (Room - 1) * 20 + Seat;
                const QString Name = QStringLiteral("WS%1").arg(Number, 2, 10, QLatin1Char('0'));
                const QString Inside = QStringLiteral("10.1.%1.%2").arg(Room).arg(100 + Seat);
                const QString Mac = QStringLiteral("00:1B:21:0A:%1:%2")
                                        .arg(Room, 2, 16, QLatin1Char('0'))
                                        .arg(Seat, 2, 16, QLatin1Char('0'))
                                        .toUpper();
                const QString Ipx =
                    QStringLiteral("IPX:00000001:001B210A%1").arg(Number, 4, 16, QLatin1Char('0')).toUpper();
                QStringList Addresses;
                switch (Seat) {
                case 3: // first an address outside the school network
                    Addresses = {QStringLiteral("192.168.0.%1").arg(Number), Inside};
                    break;
                case 5: // only outside
                    Addresses = {QStringLiteral("192.168.0.%1").arg(Number), Mac};
                    break;
                case 7: // no IP address at all
                    Addresses = {Ipx, Mac};
                    break;
                case 9: // written with leading zeros
                    Addresses = {
                        Mac,
                        QStringLiteral("010.001.%1.%2").arg(Room, 3, 10, QLatin1Char('0')).arg(100 + Seat)};
                    break;
                case 11: // an IPX value before the address
                    Addresses = {Ipx, Inside};
                    break;
                default:
                    Addresses = {Inside, Mac};
                }
                Add(R, "Workstation", Name,
                    {{QStringLiteral("WM:Network Address"), Addresses},
                     {QStringLiteral("Description"),
                      QStringLiteral("Raum EDV%1, Platz %2").arg(Room).arg(Seat)}});
            }
        }

        FStore.SetConnectedTrees({Root});
        FStore.SetServerConnections({{Server.FullName, QStringLiteral("SRV1")}});
    }

private:
    static QString LoginScript(const QString& Class) {
        QString S = QStringLiteral("MAP DISPLAY OFF\r\nMAP ERRORS OFF\r\n");
        if (Class.isEmpty()) {
            S += QStringLiteral("MAP ROOT H:=SRV1_DATA:home\\schueler\\%LOGIN_NAME\r\n");
        } else {
            S += QStringLiteral("MAP ROOT H:=SRV1_DATA:home\\schueler\\%1\\%LOGIN_NAME\r\n").arg(Class);
            S += QStringLiteral("MAP ROOT T:=SRV1_DATA:home\\Tausch\\schueler\\%1\r\n").arg(Class);
        }
        S += QStringLiteral("MAP INS S1:=SRV1_SYS:public\r\nWRITE \"Guten Tag, %FULL_NAME!\"\r\n");
        return S;
    }

    void ForceOn(const QString& Volume, const QString& Folder) {
        const QString Path = QStringLiteral("\\\\SRV1\\") + Volume + QLatin1Char('\\') + Folder;
        if (!FStore.CreateFolder(Path))
            ThrowDirectoryError(-1, QStringLiteral("%1 kann nicht angelegt werden").arg(Path));
    }
    void Force(const QString& Folder) { ForceOn(QStringLiteral("DATA"), Folder); }

    TFolderKey Folder(const QString& Path) {
        return FStore.OpenFolder(QStringLiteral("\\\\SRV1\\DATA\\") + Path);
    }

    void Flags(const QString& Path, bool DeleteInhibit, bool RenameInhibit) {
        const TFolderKey F = Folder(Path);
        FStore.SetFolderFlag(F, TFolderFlag::DeleteInhibit, DeleteInhibit);
        FStore.SetFolderFlag(F, TFolderFlag::RenameInhibit, RenameInhibit);
    }

    void Grant(const QString& Path, const QString& Trustee, int Mask) {
        const TFolderKey F = Folder(Path);
        const QString Name = FStore.Resolve(Trustee).FullName;
        FStore.AssignTrustee(F, Name, Mask);
    }

    TSqliteStore& FStore;
};

} // namespace

void CreateDemoTree(TSqliteStore& Store) {
    TDirectoryTransaction T(Store);
    TDemoBuilder(Store).Build();
    T.Commit();
}
