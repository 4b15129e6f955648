#include "Parvon_U.h"

#include "Info_U.h"
#include "ParvonEinst_U.h"

#include <BImportTab_U.h>
#include <CatRefresh_u.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <KAUserTab_U.h>
#include <KlassenListe_U.h>
#include <KlassenTab_U.h>
#include <ModalSeam.h>
#include <PrintDialog.h>
#include <SchuelerListe_U.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

QStringList TForm1::InstallFolders() {
    return {QStringLiteral("/bin"),
            QStringLiteral("/sbin"),
            QStringLiteral("/usr/bin"),
            QStringLiteral("/usr/sbin"),
            QStringLiteral("/usr/local/bin"),
            QStringLiteral("/usr/local/sbin"),
            QStringLiteral("/usr/games"),
            QStringLiteral("/opt/bin"),
            QStringLiteral(PARVON_INSTALL_BINDIR)};
}

QString TForm1::StandardIniDatei(const QString& ProgramFolder, const QStringList& Installed) {
    const QString Name = QStringLiteral("Parvon.ini");
    // Folders compare as the file system resolves them (/bin is /usr/bin on many systems).
    const QString Folder = QFileInfo(ProgramFolder).canonicalFilePath();
    const bool Installiert = std::any_of(Installed.begin(), Installed.end(), [&](const QString& F) {
        const QString Canonical = QFileInfo(F).canonicalFilePath();
        return !Folder.isEmpty() && Canonical == Folder;
    });
    if (!Installiert && QFileInfo(ProgramFolder).isWritable())
        return QDir(ProgramFolder).filePath(Name);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(Name);
}

QString TForm1::Caption() {
    return QStringLiteral("Parvon - Klassen anlegen") + QString(29, u' ') + QLatin1String(BuildDate);
}

TForm1::TForm1(QWidget* Parent, const QString& IniPath)
    : QMainWindow(Parent), WorkstationListe(std::make_unique<TStringList>()), FIniOverride(IniPath),
      PrintDialog1(std::make_unique<TPrintDialog>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Caption());
    // The access object comes first: the tabs are given it, and its creation chooses the tree.
    CreateDirectoryAccess();
    BuildUi();
    Guarded(this, [&] { FormCreate(); });
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::CreateDirectoryAccess() {
    try {
        FNDK = new TNDK(this);
        NDK = FNDK;
    } catch (...) {
        FNDK = nullptr;
        TModalSeam::Error(this, CurrentErrorText());
    }
}

void TForm1::BuildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Datei1 = MainMenu1->addMenu(QStringLiteral("&Datei"));
    Datei1->setObjectName(QStringLiteral("Datei1"));
    // The menu bar's item for the submenu carries the same name.
    Datei1->menuAction()->setObjectName(QStringLiteral("Datei1"));
    Einstellungenspeichern1 = Datei1->addAction(QStringLiteral("Einstellungen &speichern"));
    Einstellungenspeichern1->setObjectName(QStringLiteral("Einstellungenspeichern1"));
    N1 = Datei1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Beenden1 = Datei1->addAction(QStringLiteral("&Beenden"));
    Beenden1->setObjectName(QStringLiteral("Beenden1"));
    Einstellungen1 = MainMenu1->addAction(QStringLiteral("&Einstellungen"));
    Einstellungen1->setObjectName(QStringLiteral("Einstellungen1"));
    meKatalog = MainMenu1->addAction(QStringLiteral("Katalog"));
    meKatalog->setObjectName(QStringLiteral("meKatalog"));
    N2 = MainMenu1->addAction(QStringLiteral("?"));
    N2->setObjectName(QStringLiteral("N2"));

    ConnectGuarded(Einstellungenspeichern1, &QAction::triggered, this, &TForm1::Einstellungenspeichern1Click);
    ConnectGuarded(Beenden1, &QAction::triggered, this, &TForm1::Beenden1Click);
    ConnectGuarded(Einstellungen1, &QAction::triggered, this, &TForm1::Einstellungen1Click);
    ConnectGuarded(meKatalog, &QAction::triggered, this, &TForm1::meKatalogClick);
    ConnectGuarded(N2, &QAction::triggered, this, &TForm1::N2Click);
}

void TForm1::BuildUi() {
    // A fixed window with the system menu and the close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    BuildMenu();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    tabNeueKlasse = new TKlassenTab(FKonfiguration, FNDK, PageControl1);
    PageControl1->addTab(tabNeueKlasse, QStringLiteral("neue Klasse"));

    TabListeKlassen = new TKlassenListeTab(FKonfiguration, FNDK, *PrintDialog1, PageControl1);
    PageControl1->addTab(TabListeKlassen, QStringLiteral("Liste der Klassen"));
    TabSchuelerListe =
        new TSchuelerListeTab(FKonfiguration, FNDK, SelectedClass, DruckTitel, *PrintDialog1, PageControl1);
    PageControl1->addTab(TabSchuelerListe, QStringLiteral("Schülerlisten"));
    TabBimport = new TBImportTab(FKonfiguration, FNDK, PageControl1);
    PageControl1->addTab(TabBimport, QStringLiteral("Datei für Bimport"));
    tabKAUser =
        new TKAUserTab(FKonfiguration, FNDK, *WorkstationListe, DruckTitel, *PrintDialog1, PageControl1);
    PageControl1->addTab(tabKAUser, QStringLiteral("Prüflinge/Teilnehmer anlegen"));

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(300);
    ConnectGuarded(Timer3, &QTimer::timeout, this, [this] { tabNeueKlasse->KlassentabAktualisieren(); });

    setFixedSize(660, 600);
    if (QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

TKonfiguration::TNamen TForm1::Namen() const {
    return {[this](const QString& Dotted) { return FNDK ? FNDK->DottedToPath(Dotted) : Dotted; },
            [](const QString& Full) { return TNDK::PathToDotted(Full); }};
}

void TForm1::SetTabShown(QWidget* Page, bool Shown) {
    const int Index = PageControl1->indexOf(Page);
    if (Index >= 0)
        PageControl1->setTabVisible(Index, Shown);
}

void TForm1::FormCreate() {
    setWindowTitle(Caption());
    IniDatei =
        !FIniOverride.isEmpty() ? FIniOverride : StandardIniDatei(QCoreApplication::applicationDirPath());
    KonfigLesen();

    // The class tab shows the configuration; the start state clears the change mark its filling set.
    FKonfiguration.BasisContainer = FKonfiguration.ouSchueler;
    tabNeueKlasse->KonfigurationAnzeigen();
    tabNeueKlasse->Vorbereiten();
    SelectedClass.clear();
    FKonfiguration.Geaendert = false;
    PageControl1->setCurrentWidget(tabNeueKlasse);

    // Defaults from the base container's template; they never stop the start. Filling a field
    // marks the configuration as changed, so closing offers to save the defaults.
    tabNeueKlasse->TemplateVorgaben(true);

    Timer3->start();

    DruckTitel = TDruckTitel();

    tabKAUser->Vorbereiten();
    // The tab holds the list: it is emptied, never replaced.
    WorkstationListe->Clear();
}

void TForm1::FormDestroy() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    Timer3->stop();
    WorkstationListe->Clear();
    if (NDK == FNDK)
        NDK = nullptr;
    delete FNDK;
    FNDK = nullptr;
}

void TForm1::closeEvent(QCloseEvent* Event) {
    bool CanClose = true;
    if (!Guarded(this, [&] { FormCloseQuery(CanClose); }))
        CanClose = false;
    // An account run in progress ends before its next account; the window closes meanwhile.
    if (CanClose && tabKAUser->LaufAktiv())
        tabKAUser->LaufBeenden();
    Event->setAccepted(CanClose);
}

void TForm1::FormCloseQuery(bool& CanClose) {
    CanClose = true;
    if (!FKonfiguration.Geaendert)
        return;
    const auto Answer =
        TModalSeam::Message(this, QMessageBox::Question, QStringLiteral("Bestätigung"),
                            QStringLiteral("Soll die geänderte Konfiguration\ngespeichert werden ?"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (Answer == QMessageBox::Yes) {
        // A failed save raises: the close is then refused and the error shown.
        CanClose = false;
        KonfigSchreiben();
        CanClose = true;
    } else if (Answer != QMessageBox::No) {
        CanClose = false;
    }
}

void TForm1::KonfigLesen() {
    FKonfiguration.Laden(IniDatei, Namen());
    if (FNDK)
        FNDK->Debug = FKonfiguration.Debug;
    meKatalog->setVisible(!FKonfiguration.Katalog.isEmpty());
    SetTabShown(TabBimport, FKonfiguration.BImport);
    SetTabShown(tabKAUser, FKonfiguration.CreateUser);
}

void TForm1::KonfigSchreiben() {
    // The user's configuration folder may not exist yet; a failure to create it shows in the save.
    QDir().mkpath(QFileInfo(IniDatei).absolutePath());
    FKonfiguration.Speichern(IniDatei, Namen());
}

void TForm1::Einstellungenspeichern1Click() {
    KonfigSchreiben();
}

void TForm1::Beenden1Click() {
    close();
}

void TForm1::Einstellungen1Click() {
    TKonfiguration& K = FKonfiguration;
    TEinstDlg Dlg(this);
    const QString Home = K.HomeFlags.toUpper();
    const QString Tausch = K.TauschFlags.toUpper();
    Dlg.chHomeDi->setChecked(Home.contains(QLatin1String("+DI")));
    Dlg.chHomeRi->setChecked(Home.contains(QLatin1String("+RI")));
    Dlg.chTauschDi->setChecked(Tausch.contains(QLatin1String("+DI")));
    Dlg.chTauschRi->setChecked(Tausch.contains(QLatin1String("+RI")));
    if (TModalSeam::Exec(Dlg) != QDialog::Accepted)
        return;
    const QString NewHome = TKonfiguration::FlagText(Dlg.chHomeDi->isChecked(), Dlg.chHomeRi->isChecked());
    if (NewHome != K.HomeFlags) {
        K.HomeFlags = NewHome;
        K.Geaendert = true;
    }
    const QString NewTausch =
        TKonfiguration::FlagText(Dlg.chTauschDi->isChecked(), Dlg.chTauschRi->isChecked());
    if (NewTausch != K.TauschFlags) {
        K.TauschFlags = NewTausch;
        K.Geaendert = true;
    }
}

void TForm1::meKatalogClick() {
    // The dialog shows the configured catalog and offers no way to change it.
    TFCatRefresh Dlg(FNDK, this);
    Dlg.edCAtalog->setText(FKonfiguration.Katalog);
    TModalSeam::Exec(Dlg);
}

void TForm1::N2Click() {
    TInfoDlg Dlg(this);
    TModalSeam::Exec(Dlg);
}
