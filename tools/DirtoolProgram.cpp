// parvon-dirtool: the commands that do what the program does, through the program's own directory
// access object: the import of BImport files and the lists as comma-separated values.

#include "Dirtool.h"

#include <BImportLauf.h>
#include <CsvText.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <IniFile.h>
#include <Konfiguration.h>
#include <KontenListe.h>
#include <ListenZeilen.h>
#include <ModalSeam.h>
#include <ndk_u.h>
#include <treeSelect_u.h>

#include <QComboBox>

#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// The tree the access object works in: the one Tree names (the tree choice answered with it when
// the workstation is connected to several), else the one it chooses itself.
TTool& TreeChosen(TTool& Tool, const QString& Tree) {
    if (Tree.isEmpty())
        return Tool;
    if (!Tool.Client.Directory().ConnectedTrees().contains(TreeArgFullName(Tree), Qt::CaseInsensitive))
        throw EDirectoryError(QStringLiteral("The workstation is not connected to %1.").arg(TreeName(Tree)));
    TModalSeam::Push([Tree](QDialog& Dialog) {
        if (auto* Choice = qobject_cast<TTreeSelect*>(&Dialog))
            Choice->ComboBox1->setEditText(TreeArgFullName(Tree));
        return int(QDialog::Accepted);
    });
    return Tool;
}

// The program's access object on the console's client, with the program's configuration.
class TProgramm {
public:
    TProgramm(TTool& Tool, const QString& IniDatei, const QString& Tree)
        : Ndk(nullptr, TreeChosen(Tool, Tree).Client) {
        if (!Tree.isEmpty())
            TModalSeam::Clear(); // the tree choice was answered, or not asked with one tree
        QString Datei = IniDatei;
        if (Datei.isEmpty())
            Datei = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                    QStringLiteral("/Parvon.ini");
        if (!IniDatei.isEmpty() && !QFileInfo::exists(IniDatei))
            throw EDirectoryError(QStringLiteral("No configuration file %1.").arg(IniDatei));
        K.Laden(Datei, {[this](const QString& D) { return Ndk.DottedToPath(D); }, &TNDK::PathToDotted});
        // Without a configured exchange base the program takes the one beside the home directory
        // of the student base's template, as its class tab offers it at start.
        if (K.TauschBase.isEmpty()) {
            try {
                const QString Home = Ndk.GetFieldValue(TKonfiguration::TemplateIn(K.ouSchueler),
                                                       QStringLiteral("Home Directory"));
                if (!Home.isEmpty())
                    K.TauschBase = TKonfiguration::TauschAusHome(Ndk.SplitFilePath(Home));
            } catch (const EDirectoryError&) {
            }
        }
    }
    // A container or user the console names: a full name, a dotted name, or (without a ".") a name
    // below the student base.
    QString Objekt(const QString& Name) {
        if (Name.startsWith(QLatin1String("NDS:\\\\"), Qt::CaseInsensitive))
            return Name;
        if (!Name.contains(u'.'))
            return K.ouSchueler + u'\\' + Name;
        return Ndk.DottedToPath(Name);
    }

    TNDK Ndk;
    TKonfiguration K;
};

// Takes "--name VALUE" out of Args; "" when it is not there.
QString Option(QStringList& Args, const QString& Name) {
    const qsizetype At = Args.indexOf(Name);
    if (At < 0)
        return QString();
    if (At + 1 >= Args.size())
        throw EUsage(QStringLiteral("%1 needs a value.").arg(Name));
    const QString Value = Args[At + 1];
    Args.remove(At, 2);
    return Value;
}

bool Switch(QStringList& Args, const QString& Name) {
    return Args.removeAll(Name) > 0;
}

void NoOtherOptions(const QStringList& Args) {
    for (const QString& A : Args)
        if (A.startsWith(QLatin1String("--")))
            throw EUsage(QStringLiteral("Unknown option: %1").arg(A));
}

QString Where(const TBImportPlan::TKonto& K) {
    return K.Zeile.Name + QStringLiteral(" in ") + TNDK::PathToDotted(K.Container);
}

} // namespace

bool ProgramCommand(const QString& Command) {
    return Command == QLatin1String("bimport") || Command == QLatin1String("csv");
}

int Bimport(TTool& Tool, QStringList Args) {
    const QString Container = Option(Args, QStringLiteral("--container"));
    const QString Template = Option(Args, QStringLiteral("--template"));
    const QString Ini = Option(Args, QStringLiteral("--ini"));
    const QString Tree = Option(Args, QStringLiteral("--tree"));
    const bool DryRun = Switch(Args, QStringLiteral("--dry-run"));
    NoOtherOptions(Args);
    Need(Args, 1, 1);
    if (Template.isEmpty())
        throw EUsage(QStringLiteral("bimport needs --template."));
    const QByteArray Datei = ReadInput(Args[0]);

    TProgramm P(Tool, Ini, Tree);
    const TBImportStart Start{Container.isEmpty() ? QString() : P.Objekt(Container), P.K.ouSchueler,
                              P.Objekt(Template), P.K.HomeFlags};
    TBImportLauf Lauf(P.Ndk, Tool.Client.Directory());
    const TBImportPlan Plan = Lauf.Pruefen(Datei, Start);
    if (!Plan.Fehler.empty()) {
        QTextStream Err(stderr);
        Err << Args[0] << ": " << Plan.Fehler.size() << (Plan.Fehler.size() == 1 ? " fault" : " faults")
            << ", nothing changed:\n";
        for (const QString& Line : BImport::FaultLines(Plan.Fehler))
            Err << "  " << Line << '\n';
        return 2;
    }
    if (Plan.Konten.empty()) {
        Out() << "The file holds no account; nothing changed.\n";
        return 0;
    }
    const int Vorhanden = int(Plan.Konten.size()) - Plan.Neu();
    for (const TBImportPlan::TKonto& K : Plan.Konten)
        if (K.Vorhanden)
            Out() << "Exists, left alone: " << Where(K) << '\n';
    if (DryRun) {
        for (const TBImportPlan::TKonto& K : Plan.Konten)
            if (!K.Vorhanden)
                Out() << "Would create " << Where(K) << " (Surname \"" << K.Zeile.Surname
                      << "\", Given Name \"" << K.Zeile.GivenName << "\", Full Name \"" << K.Zeile.FullName
                      << "\")\n";
        Out() << Plan.Neu() << " accounts would be created, " << Vorhanden << " exist already.\n";
        return 0;
    }
    const int Neu = Lauf.Ausfuehren(
        Plan, Start, [](const TBImportPlan::TKonto& K) { Out() << "Created " << Where(K) << '\n'; });
    if (Neu == 0)
        Out() << "No account created: all " << Vorhanden << " exist already.\n";
    else
        Out() << Neu << " accounts created, " << Vorhanden << " existed already.\n";
    return 0;
}

int Csv(TTool& Tool, QStringList Args) {
    const QString Ini = Option(Args, QStringLiteral("--ini"));
    const QString Tree = Option(Args, QStringLiteral("--tree"));
    NoOtherOptions(Args);
    if (Args.isEmpty())
        throw EUsage(QStringLiteral("csv needs a list: classes, students or accounts."));
    const QString Liste = Args.takeFirst();
    TProgramm P(Tool, Ini, Tree);
    QList<QStringList> Zeilen;
    QString Ausgabe;
    if (Liste == QLatin1String("classes")) {
        Need(Args, 0, 1);
        Zeilen = KlassenListe::Zeilen(P.Ndk, P.K.ouSchueler, P.K.TauschBase);
        Ausgabe = Args.value(0);
    } else if (Liste == QLatin1String("students")) {
        Need(Args, 1, 2);
        P.Ndk.SetFilters(QStringLiteral("User"));
        Zeilen = SchuelerListe::Tabelle(SchuelerListe::Lesen(P.Ndk, P.Objekt(Args[0])));
        P.Ndk.SetFilters(QString());
        Ausgabe = Args.value(1);
    } else if (Liste == QLatin1String("accounts")) {
        Need(Args, 1, 2);
        Zeilen = KontenZeilen(P.Ndk, P.Objekt(Args[0]));
        Ausgabe = Args.value(1);
    } else {
        throw EUsage(QStringLiteral("Unknown list: %1").arg(Liste));
    }
    WriteOutput(Ausgabe, CsvText(Zeilen));
    return 0;
}
