// parvon-dirtool: the administrator's console of the embedded directory and of the trees the
// client settings give an LDAP server.

#include "Dirtool.h"

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <DirectoryNotice.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <NWCatAdm.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <NWUsrGrp.h>
#include <NWVolAdm.h>
#include <Rights.h>
#include <Secrets.h>
#include <SqliteStore.h>
#include <WorkstationClient.h>
#include <WorkstationStore.h>

#include <ModalSeam.h>

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>

namespace {

const char* const Usage =
    "Usage: parvon-dirtool [--store FOLDER] COMMAND [ARGUMENTS]\n"
    "\n"
    "Console of the embedded directory. The store is FOLDER, else the folder named by\n"
    "PARVON_CLIENT_STORE, else \"client\" in the user's data location: the store the program\n"
    "uses. The store is taken as it is; \"demo\" fills an empty one. A tree that the client\n"
    "settings (client.ini in the store's folder, or the file PARVON_CLIENT_SETTINGS names) give\n"
    "an LDAP server is read and written there.\n"
    "\n"
    "Commands:\n"
    "  demo                          create the demo tree SCHULE in an empty store\n"
    "  export TREE [FILE]            write the tree as LDIF (to standard output without FILE)\n"
    "  import TREE FILE              read LDIF into the tree, creating it when missing (\"-\" reads\n"
    "                                standard input); on any error nothing is changed (an\n"
    "                                import into an LDAP tree broken off by a server that died\n"
    "                                is taken back at the next contact). A store connected to\n"
    "                                no tree is connected to it, and the text's servers get\n"
    "                                server connections\n"
    "  export-volumes [FILE]         write the volumes with their folders, flags and trustees\n"
    "                                (to standard output without FILE; the format is in the\n"
    "                                README)\n"
    "  import-volumes FILE           read such a file: volumes, folders, flags, rights (after\n"
    "                                the tree's import, which makes the trustees)\n"
    "  list FULLNAME                 a container's entries with their layouts\n"
    "  show FULLNAME                 an entry with every field and all values\n"
    "  flags UNCPATH                 a folder's Delete Inhibit and Rename Inhibit\n"
    "  trustees UNCPATH              a folder's trustees with their rights (S R W E C M F A)\n"
    "  trees                         the store's trees; \"*\" marks the connected ones\n"
    "  connect-tree TREE             connect the workstation to the tree\n"
    "  disconnect-tree TREE          drop the workstation's connection to the tree\n"
    "  servers                       the server connections (full name, display name)\n"
    "  add-server FULLNAME [DISPLAYNAME]\n"
    "                                add a server connection (display name: the short name)\n"
    "  remove-server NAME            remove a server connection (full name or display name)\n"
    "  volumes                       the volumes: \\\\SERVER\\VOLUME, root folder, volume object\n"
    "  set-volume-root \\\\SERVER\\VOLUME FOLDER\n"
    "                                set the local root folder of a volume\n"
    "  check-volumes [--repair]      the folders of volumes on real folders whose ACL no longer\n"
    "                                matches their trustees, or holds more than the parent passes\n"
    "                                on to a folder without any (exit status 1); --repair mends it\n"
    "  add-user FULLNAME SURNAME TEMPLATE\n"
    "                                create a user with the fields of a template (full names)\n"
    "  restrictions FULLNAME         a user's network address restriction: TCP/IP values as\n"
    "                                dotted quads, other values in their text form\n"
    "  set-password FULLNAME         set a user's password in upper case, as the program sets\n"
    "                                it (kept as a salted hash only)\n"
    "  check-password FULLNAME [PASSWORD]\n"
    "                                check a password in upper case, as the program sets it, so\n"
    "                                geheim and GEHEIM are the same (exit status 0: right, 1:\n"
    "                                wrong)\n"
    "  catalog FULLNAME              a catalog's settings, the state of its last refresh and the\n"
    "                                rows it gathered\n"
    "  refresh-catalog FULLNAME      refresh a catalog, wait for the end and show its state\n"
    "  posix-ids [CONTEXT]           give every user and container below the context (without\n"
    "                                one: each connected tree) that has no POSIX id one\n"
    "  posix-id FULLNAME             a user's uid, primary gid, login and home folder, or a\n"
    "                                container's gid (exit status 1: none yet)\n"
    "  posix-ranges [UIDS GIDS]      the ranges the embedded store takes ids from; with two\n"
    "                                ranges (FIRST-LAST) sets them\n"
    "  journal [ID]                  the runs of the program's journal (journal.db in the store's\n"
    "                                folder); with ID one run: its inputs and every change\n"
    "  undo ID [--dry-run] [--yes]   take a run back: its changes in reverse order, after a\n"
    "                                confirmation (--yes: none); what changed since is listed\n"
    "                                and kept; --dry-run only lists (exit status 1: not all)\n"
    "  bimport FILE --template DOTTED [--container DOTTED] [--dry-run]\n"
    "                                create the accounts of a BImport file as the exam-account\n"
    "                                run creates them (name fields, home folder, the template's\n"
    "                                home directory rights, home folder flags): each line's\n"
    "                                account in the container, else in the course (field 2)\n"
    "                                below the student base. Existing accounts are left alone.\n"
    "                                The whole file is checked first (Windows-1252, five quoted\n"
    "                                fields, CR LF, names the directory takes); with any fault\n"
    "                                nothing is changed and each is named with its line.\n"
    "                                --dry-run lists what would be created\n"
    "  csv classes [FILE]            the class overview as CSV (UTF-8, to standard output\n"
    "  csv students CLASS [FILE]     without FILE), the students of a class, the accounts of a\n"
    "  csv accounts CONTAINER [FILE] container with their restrictions, as the program lists them\n"
    "\n"
    "bimport and csv take the student base, the exchange base and the home folder flags from\n"
    "the program's configuration: --ini FILE, else Parvon.ini in the user's configuration\n"
    "folder, else the defaults. They work in the tree --tree TREE names, else in the one the\n"
    "program would choose (the first, when the workstation is connected to several). DOTTED,\n"
    "CLASS and CONTAINER are dotted names (EDV1.schueler.unterricht), full names, or a name\n"
    "below the student base (EDV1).\n"
    "\n"
    "A password is read from standard input (its first line) unless given; a password on the\n"
    "command line can be seen by every user of the machine.\n"
    "\n"
    "Full names: NDS:\\\\TREE\\O\\OU\\CN, e.g. NDS:\\\\SCHULE\\unterricht\\schueler\n"
    "Exit status 2 on errors, with the error text on standard error.\n";

// "\\SRV\VOL\dir\sub" gives "\\SRV\VOL".
QString VolumeOf(const QString& Path) {
    int Count = 0;
    for (int I = 0; I < Path.size(); ++I)
        if (Path[I] == QLatin1Char('\\') && ++Count == 4)
            return Path.left(I);
    return Path;
}

QString ValueText(const QVariant& Value) {
    if (Value.metaType() == QMetaType::fromType<NWNetAddress>())
        return Value.value<NWNetAddress>().Value();
    if (Value.metaType().id() == QMetaType::QByteArray)
        return QString::fromLatin1(Value.toByteArray().toHex().toUpper());
    if (Value.metaType().id() == QMetaType::QDateTime)
        return Value.toDateTime().toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    return Value.toString();
}

QVariantList ValueList(const QVariant& Value) {
    if (Value.metaType().id() == QMetaType::QVariantList)
        return Value.toList();
    QVariantList Result;
    if (Value.metaType().id() == QMetaType::QStringList) {
        for (const QString& S : Value.toStringList())
            Result.append(S);
    } else if (Value.isValid()) {
        Result.append(Value);
    }
    return Result;
}

int List(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    NWDir Dir(Tool.Client);
    Dir.SetFilters(QString());
    Dir.SetFullName(Args[0]);
    NWEntries* Entries = Dir.Entries();
    if (!Entries)
        throw EDirectoryError(QStringLiteral("%1 is no container.").arg(Dir.FullName()));
    for (int I = 0; I < Entries->Count(); ++I) {
        const NWEntryPtr E = Entries->Item(I);
        Out() << QStringLiteral("%1  %2").arg(E->Layout(), -24).arg(E->ShortName()) << '\n';
    }
    return 0;
}

int Show(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    NWDir Dir(Tool.Client);
    Dir.SetFullName(Args[0]);
    Out() << "Name:   " << Dir.FullName() << '\n';
    if (Dir.FullName().count(QLatin1Char('\\')) < 3) {
        Out() << "Layout: Tree\n";
        return 0;
    }
    const NWEntryPtr E = Dir.Entry();
    Out() << "Layout: " << E->Layout() << '\n';
    const QStringList Fields = E->GetFieldValue(QString(), QVariant(), true).toStringList();
    for (const QString& Field : Fields) {
        const QVariantList Values = ValueList(E->GetFieldValue(Field, QVariant(), true));
        for (const QVariant& V : Values) {
            const QStringList Lines = ValueText(V).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
            Out() << Field << ": " << Lines.first() << '\n';
            for (int I = 1; I < Lines.size(); ++I)
                Out() << QString(Field.size() + 2, QLatin1Char(' ')) << Lines[I] << '\n';
        }
    }
    return 0;
}

NWDirectoryEntryPtr Folder(TTool& Tool, const QString& Path) {
    NWVolAdm VolAdm(Tool.Client);
    VolAdm.SetFullName(VolumeOf(Path));
    return VolAdm.GetDirectoryEntry(Path);
}

int Flags(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    const NWDirectoryEntryPtr Entry = Folder(Tool, Args[0]);
    Out() << "Delete Inhibit: " << (Entry->DeleteInhibit() ? "on" : "off") << '\n';
    Out() << "Rename Inhibit: " << (Entry->RenameInhibit() ? "on" : "off") << '\n';
    return 0;
}

int Trustees(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    const NWDirectoryEntryPtr Entry = Folder(Tool, Args[0]);
    const NWTrustees Trustees = Entry->Trustees();
    for (int I = 0; I < Trustees.Count(); ++I) {
        const NWTrusteePtr T = Trustees.ItemAt(I);
        Out() << RightsText(T->Rights().Mask()) << "  " << T->FullName() << '\n';
    }
    return 0;
}

int AddUser(TTool& Tool, const QStringList& Args) {
    Need(Args, 3, 3);
    const qsizetype Cut = Args[0].lastIndexOf(QLatin1Char('\\'));
    if (Cut <= 0)
        throw EUsage(QStringLiteral("User full name expected: %1").arg(Args[0]));
    NWUsrGrp UsrGrp(Tool.Client);
    UsrGrp.SetFullName(Args[0].left(Cut));
    UsrGrp.Users().Add(Args[0], Args[1], Args[2]);
    Out() << "Created " << Tool.Client.Directory().Resolve(Args[0]).FullName << '\n';
    return 0;
}

int Restrictions(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    NWDir Dir(Tool.Client);
    Dir.SetFullName(Args[0]);
    const QVariantList Values =
        Dir.Entry()->GetFieldValue(QStringLiteral("Network Address Restriction"), QVariant(), true).toList();
    int Shown = 0;
    for (const QVariant& V : Values) {
        const NWNetAddress Address = V.value<NWNetAddress>();
        if (Address.IsEmpty())
            continue;
        const QString Quad = Address.DottedQuad();
        Out() << (Quad.isEmpty() ? Address.Value() + QStringLiteral("  (not TCP/IP)") : Quad) << '\n';
        ++Shown;
    }
    if (!Shown)
        Out() << "No network address restriction.\n";
    return 0;
}

// The settings and the state of a catalog's last refresh, one field a line.
void CatalogState(TTool& Tool, const QString& Catalog) {
    NWDir Dir(Tool.Client);
    Dir.SetFullName(Catalog);
    const NWEntryPtr E = Dir.Entry();
    if (E->Layout() != CatalogLayout())
        throw EDirectoryError(QStringLiteral("%1 is no catalog.").arg(E->FullName()));
    Out() << "Catalog: " << E->FullName() << '\n';
    const std::pair<const char*, const char*> Lines[] = {
        {"Scope:   ", "NDSCAT:Catalog Scope"},      {"Filter:  ", "NDSCAT:Filter"},
        {"Fields:  ", "NDSCAT:Attribute List"},     {"Started: ", "NDSCAT:Actual Start Time"},
        {"Ended:   ", "NDSCAT:Actual End Time"},    {"Objects: ", "NDSCAT:Actual Object Count"},
        {"Values:  ", "NDSCAT:Actual Value Count"}, {"Result:  ", "NDSCAT:Actual Result"},
    };
    for (const auto& [Label, Field] : Lines) {
        QStringList Texts;
        for (const QVariant& V : ValueList(E->GetFieldValue(QString::fromLatin1(Field), QVariant(), true)))
            Texts << ValueText(V);
        Out() << Label << (Texts.isEmpty() ? QStringLiteral("-") : Texts.join(QStringLiteral(", "))) << '\n';
    }
}

int Catalog(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    CatalogState(Tool, Args[0]);
    // The rows come through the client's directory, wherever it keeps them.
    TDirectoryBackend& Directory = Tool.Client.Directory();
    const std::vector<TCatalogRow> Rows = Directory.CatalogRows(Directory.Resolve(Args[0]));
    Out() << "Rows:    " << Rows.size() << '\n';
    for (const TCatalogRow& R : Rows)
        Out() << R.FullName << "  " << R.Field << ": " << ValueText(R.Value) << '\n';
    return 0;
}

int RefreshCatalog(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    NWCatAdm CatAdm(Tool.Client);
    CatAdm.SetFullName(Args[0]);
    CatAdm.StartRefresh();
    Tool.Client.Directory().WaitForCatalogRefreshes();
    CatalogState(Tool, Args[0]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // A core file would hold the passwords read from the command line or standard input.
    ForbidCoreDumps();
    // The commands that work as the program does use its access object, which needs the program's
    // application object; on a console without a display it draws nowhere.
    bool Program = false;
    for (int I = 1; I < argc; ++I) {
        const QByteArray A(argv[I]);
        if (A == "--store") {
            ++I;
            continue;
        }
        if (A.startsWith("--store="))
            continue;
        Program = ProgramCommand(QString::fromLocal8Bit(A));
        break;
    }
    if (Program && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> App =
        Program ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Parvon"));
    // Nobody answers a box here: the access object's boxes are written to standard error instead.
    TModalSeam::SetUnattended(true);
    QTextStream Err(stderr);
    const auto Boxes = qScopeGuard([&Err] {
        for (const QString& Box : TModalSeam::Shown())
            Err << "Message: " << QString(Box).replace(u'\n', u' ') << '\n';
    });

    QStringList Args = QCoreApplication::arguments().mid(1);
    QString StoreFolder;
    if (!Args.isEmpty() && (Args.first() == QLatin1String("-h") || Args.first() == QLatin1String("--help") ||
                            Args.first() == QLatin1String("help"))) {
        Out() << QString::fromUtf8(Usage);
        return 0;
    }
    if (!Args.isEmpty() && Args.first() == QLatin1String("--store")) {
        if (Args.size() < 2) {
            Err << "--store needs a folder.\n\n" << QString::fromUtf8(Usage);
            return 2;
        }
        StoreFolder = Args[1];
        Args = Args.mid(2);
    } else if (!Args.isEmpty() && Args.first().startsWith(QLatin1String("--store="))) {
        StoreFolder = Args.first().mid(8);
        Args = Args.mid(1);
    }
    if (Args.isEmpty()) {
        Err << QString::fromUtf8(Usage);
        return 2;
    }

    using TCommand = std::function<int(TTool&, const QStringList&)>;
    const std::map<QString, TCommand> Commands = {
        {QStringLiteral("demo"), Demo},
        {QStringLiteral("export"), Export},
        {QStringLiteral("import"), Import},
        {QStringLiteral("export-volumes"), ExportVolumes},
        {QStringLiteral("import-volumes"), ImportVolumes},
        {QStringLiteral("list"), List},
        {QStringLiteral("show"), Show},
        {QStringLiteral("flags"), Flags},
        {QStringLiteral("trustees"), Trustees},
        {QStringLiteral("trees"), Trees},
        {QStringLiteral("connect-tree"), ConnectTree},
        {QStringLiteral("disconnect-tree"), DisconnectTree},
        {QStringLiteral("servers"), Servers},
        {QStringLiteral("add-server"), AddServer},
        {QStringLiteral("remove-server"), RemoveServer},
        {QStringLiteral("volumes"), Volumes},
        {QStringLiteral("set-volume-root"), SetVolumeRoot},
        {QStringLiteral("check-volumes"), CheckVolumes},
        {QStringLiteral("add-user"), AddUser},
        {QStringLiteral("restrictions"), Restrictions},
        {QStringLiteral("set-password"), SetPassword},
        {QStringLiteral("check-password"), CheckPassword},
        {QStringLiteral("catalog"), Catalog},
        {QStringLiteral("refresh-catalog"), RefreshCatalog},
        {QStringLiteral("posix-ids"), PosixIds},
        {QStringLiteral("posix-id"), PosixId},
        {QStringLiteral("posix-ranges"), PosixRanges},
        {QStringLiteral("journal"), Journal},
        {QStringLiteral("undo"), Undo},
        {QStringLiteral("bimport"), Bimport},
        {QStringLiteral("csv"), Csv},
    };
    const QString Name = Args.takeFirst();
    const auto Command = Commands.find(Name);
    if (Command == Commands.end()) {
        Err << "Unknown command: " << Name << "\n\n" << QString::fromUtf8(Usage);
        return 2;
    }

    // What the directory tells on its own (a broken-off import taken back) comes first, on
    // standard error.
    SetDirectoryNoticeSink([](const QString& Text) { QTextStream(stderr) << Text << '\n' << Qt::flush; });
    try {
        // The store: --store, else the program's own. It is opened as it is: "demo" finds an empty
        // one empty, and an import does not land beside the demo tree.
        const auto Store =
            std::make_shared<TSqliteStore>(StoreFolder.isEmpty() ? WorkstationStoreFolder() : StoreFolder);
        // Trees the store's client settings give an LDAP server go there (bound with the settings'
        // password file; without one that tree refuses every call).
        const std::shared_ptr<TDirectoryBackend> Directory = ConfiguredDirectory(Store, {});
        TDirectoryClient Client(Directory, ConfiguredVolumes(Store, Directory));
        AttachJournal(Client, Store, TSqliteJournal::TStorage::File);
        TDirectoryClient::SetInstance(&Client);
        TTool Tool{*Store, Client};
        const int Result = Command->second(Tool, Args);
        Out().flush();
        return Result;
    } catch (const EUsage& E) {
        Out().flush();
        Err << E.FMessage << "\n\n" << QString::fromUtf8(Usage);
        return 2;
    } catch (const std::exception& E) {
        Out().flush();
        Err << "Error: " << ErrorText(E) << '\n';
        return 2;
    }
}
