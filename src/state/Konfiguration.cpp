#include "Konfiguration.h"

#include <IniFile.h>

namespace {
const QString Section = QStringLiteral("config");
const QString DefaultFlags = QStringLiteral("/+DI/+RI");

// An empty name stays empty in both directions.
QString Umgewandelt(const std::function<QString(const QString&)>& Umwandlung, const QString& Name) {
    return Name.isEmpty() ? QString() : Umwandlung(Name);
}
} // namespace

void TKonfiguration::Lesen(const TIniFile& Ini, const TNamen& Namen) {
    auto Read = [&](const char* Key, const QString& Default = QString()) {
        return Ini.ReadString(Section, QLatin1String(Key), Default);
    };
    // The yes form: an empty value leaves the switch as it is.
    auto YesForm = [&](const char* Key, bool& Switch) {
        const QString V = Read(Key, QStringLiteral("no"));
        if (!V.isEmpty())
            Switch = V.at(0).toUpper() == u'Y';
    };

    Netz = Read("net", QStringLiteral("10.1.0.0"));
    NetzMaske = Read("netmask", QStringLiteral("255.255.0.0"));
    Debug = IstTrue(Read("debug", QStringLiteral("FALSE")));

    ouSchueler = Umgewandelt(Namen.ZuVoll, Read("ouSchueler", QStringLiteral("schueler.unterricht")));

    LoginVonKlasse = Read("LoginSource").toUpper() != QLatin1String("FILE");
    if (LoginVonKlasse)
        LoginKlasse = Umgewandelt(Namen.ZuVoll, Read("Loginscript"));
    else
        LoginDatei = Read("Loginscript");

    MusterTemplate = Umgewandelt(Namen.ZuVoll, Read("Template"));
    YesForm("CreateTemplate", CreateTemplate);
    TauschBase = OhneBackslash(Read("TauschBase"));
    YesForm("CreateTausch", CreateTausch);
    HomeBase = OhneBackslash(Read("HomeBase"));
    HomeFlags = FlagsLesen(Read("HomeFlags", DefaultFlags));
    TauschFlags = FlagsLesen(Read("TauschFlags", DefaultFlags));
    Katalog = Read("Katalog");

    BImport = IstTrue(Read("BImport", QStringLiteral("FALSE")));
    CreateUser = IstTrue(Read("CreateUser", QStringLiteral("FALSE")));
}

void TKonfiguration::Schreiben(TIniFile& Ini, const TNamen& Namen) const {
    auto Write = [&](const char* Key, const QString& Value) {
        Ini.WriteString(Section, QLatin1String(Key), Value);
    };
    auto YesNo = [](bool On) { return On ? QStringLiteral("yes") : QStringLiteral("no"); };

    Write("ouSchueler", Umgewandelt(Namen.ZuPunkt, ouSchueler));
    if (LoginVonKlasse) {
        Write("LoginSource", QStringLiteral("OUKlasse"));
        Write("Loginscript", Umgewandelt(Namen.ZuPunkt, LoginKlasse));
    } else {
        Write("LoginSource", QStringLiteral("File"));
        Write("Loginscript", LoginDatei);
    }
    Write("Template", Umgewandelt(Namen.ZuPunkt, MusterTemplate));
    Write("CreateTemplate", YesNo(CreateTemplate));
    Write("TauschBase", TauschBase);
    Write("CreateTausch", YesNo(CreateTausch));
    Write("TauschFlags", TauschFlags);
    Write("HomeBase", HomeBase);
    Write("HomeFlags", HomeFlags);
    // An empty catalog name is not written: a name already in the file stays.
    if (!Katalog.isEmpty())
        Write("Katalog", Katalog);
}

void TKonfiguration::Laden(const QString& IniDatei, const TNamen& Namen) {
    Lesen(TIniFile(IniDatei), Namen);
}

void TKonfiguration::Speichern(const QString& IniDatei, const TNamen& Namen) {
    TIniFile Ini(IniDatei);
    Schreiben(Ini, Namen);
    Ini.UpdateFile();
    Geaendert = false;
}

bool TKonfiguration::IstTrue(const QString& Text) {
    return Text.toUpper() == QLatin1String("TRUE");
}

QString TKonfiguration::FlagsLesen(const QString& Text) {
    const QString Upper = Text.toUpper();
    return FlagText(Upper.contains(QLatin1String("+DI")), Upper.contains(QLatin1String("+RI")));
}

QString TKonfiguration::FlagText(bool DeleteInhibit, bool RenameInhibit) {
    QString Flags;
    if (DeleteInhibit)
        Flags = QStringLiteral("/+DI");
    if (RenameInhibit)
        Flags += QStringLiteral("/+RI");
    return Flags;
}

QString TKonfiguration::OhneBackslash(const QString& Path) {
    return Path.endsWith(u'\\') ? Path.chopped(1) : Path;
}

QString TKonfiguration::TemplateIn(const QString& Container) {
    return Container + QStringLiteral("\\User_Template");
}

QString TKonfiguration::TauschAusHome(const QString& Path) {
    QString P = Path;
    qsizetype At = 0;
    for (qsizetype I = P.size() - 2; I >= 1; --I) {
        if (P.at(I) == u'\\') {
            At = I;
            break;
        }
    }
    P.insert(At, QStringLiteral("\\Tausch"));
    return P;
}
