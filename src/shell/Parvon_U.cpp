#include "Parvon_U.h"

#include "Info_U.h"
#include "KlassenTab_U.h"
#include "ParvonEinst_U.h"
#include "RadioGroup.h"

#include <ErrorGuard.h>
#include <IniFile.h>
#include <ModalSeam.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace {
const QString Section = QStringLiteral("config");

// The dotted name of a full name; the empty text for an empty name.
QString Dotted(const QString& Full) { return Full.isEmpty() ? QString() : TNDK::PathToDotted(Full); }
} // namespace

QString TForm1::Caption() {
    return QStringLiteral("Parvon - Klassen anlegen") + QString(29, u' ') + QLatin1String(BuildDate);
}

TForm1::TForm1(QWidget* Parent, const QString& IniPath)
    : QMainWindow(Parent), WorkstationListe(std::make_unique<TStringList>()), FIniOverride(IniPath) {
    BuildUi();
    Guarded(this, [&] { FormCreate(); });
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::BuildUi() {
    setObjectName(QStringLiteral("Form1"));
    // A fixed window with the system menu and the close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

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

    auto OnMenu = [this](QAction* Action, void (TForm1::*Handler)()) {
        connect(Action, &QAction::triggered, this, [this, Handler] { Guarded(this, [&] { (this->*Handler)(); }); });
    };
    OnMenu(Einstellungenspeichern1, &TForm1::Einstellungenspeichern1Click);
    OnMenu(Beenden1, &TForm1::Beenden1Click);
    OnMenu(Einstellungen1, &TForm1::Einstellungen1Click);
    OnMenu(meKatalog, &TForm1::meKatalogClick);
    OnMenu(N2, &TForm1::N2Click);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    tabNeueKlasse = new TKlassenTab(*this, PageControl1);
    tabNeueKlasse->setObjectName(QStringLiteral("tabNeueKlasse"));
    PageControl1->addTab(tabNeueKlasse, QStringLiteral("neue Klasse"));

    auto Page = [this](const char* Name, const QString& Title) {
        auto* W = new QWidget(PageControl1);
        W->setObjectName(QLatin1String(Name));
        PageControl1->addTab(W, Title);
        return W;
    };
    TabListeKlassen = Page("TabListeKlassen", QStringLiteral("Liste der Klassen"));
    TabSchuelerListe = Page("TabSchuelerListe", QStringLiteral("Schülerlisten"));
    TabBimport = Page("TabBimport", QStringLiteral("Datei für Bimport"));
    tabKAUser = Page("tabKAUser", QStringLiteral("Prüflinge/Teilnehmer anlegen"));

    // The status labels of the exam-account tab; the tab's own controls join them later.
    auto* KALayout = new QGridLayout(tabKAUser);
    auto Label = [&](const char* Name, int Row) {
        auto* L = new QLabel(tabKAUser);
        L->setObjectName(QLatin1String(Name));
        KALayout->addWidget(L, Row, 0);
        return L;
    };
    laWScount = Label("laWScount", 0);
    laNewUser = Label("laNewUser", 1);
    laRestrNew = Label("laRestrNew", 2);
    laAktion = Label("laAktion", 3);
    laUsers = Label("laUsers", 4);
    laRaum = Label("laRaum", 5);
    laRestrict = Label("laRestrict", 6);
    KALayout->setRowStretch(7, 1);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(300);
    connect(Timer3, &QTimer::timeout, this,
            [this] { Guarded(this, [&] { tabNeueKlasse->KlassentabAktualisieren(); }); });

    setFixedSize(660, 600);
    if (QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

QString TForm1::DottedToFull(const QString& Name) const {
    if (Name.isEmpty())
        return QString();
    return NDK ? NDK->DottedToPath(Name) : Name;
}

void TForm1::SetTabShown(QWidget* Page, bool Shown) {
    const int Index = PageControl1->indexOf(Page);
    if (Index >= 0)
        PageControl1->setTabVisible(Index, Shown);
}

QString TForm1::TauschAusHome(const QString& Path) {
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

void TForm1::FormCreate() {
    TKlassenTab* T = tabNeueKlasse;

    // 1. Caption.
    setWindowTitle(Caption());

    // 2. The directory access object; its creation chooses the tree.
    try {
        FNDK = new TNDK(this);
        NDK = FNDK;
    } catch (...) {
        FNDK = nullptr;
        TModalSeam::Error(this, CurrentErrorText());
    }

    // 3. The configuration file beside the program.
    IniDatei = !FIniOverride.isEmpty() ? FIniOverride
                                       : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Parvon.ini"));

    // 4.
    KonfigLesen();

    // 5. - 8. The class tab from the configuration.
    BasisContainer = ouSchueler;
    T->EdContainer->setText(Dotted(BasisContainer));
    if (T->chLogKlasse->isChecked())
        T->EdLoginscript->setText(Dotted(LoginKlasse));
    T->EdTemplate->setText(Dotted(MusterTemplate));
    T->edTauschbase->setText(TauschBase);
    T->edHomeBase->setText(HomeBase);

    // 9. - 12.
    T->EdNeueklasse->clear();
    T->BuAnlegen->setEnabled(false);
    T->MeProtokol->hide();
    SelectedClass.clear();
    KonfigGeaendert = false;
    T->BuAnlegen->setEnabled(false);
    T->SpLoginscript->setEnabled(false);
    T->SpTemplate->setEnabled(false);
    PageControl1->setCurrentWidget(T);

    // 13. Defaults from the base container's template; they never stop the start. Filling a field
    // marks the configuration as changed, so closing offers to save the defaults.
    QString Value;
    if (NDK) {
        try {
            Value = NDK->GetFieldValue(BasisContainer + QStringLiteral("\\User_Template"), QStringLiteral("Home Directory"));
        } catch (...) {
            Value.clear();
        }
    }
    if (!Value.isEmpty()) {
        try {
            if (T->edHomeBase->text().isEmpty())
                T->edHomeBase->setText(NDK->SplitFilePath(Value));
            if (T->EdTemplate->text().isEmpty()) {
                MusterTemplate = BasisContainer + QStringLiteral("\\User_Template");
                T->EdTemplate->setText(Dotted(MusterTemplate));
            }
            const QString P = TauschAusHome(NDK->SplitFilePath(Value));
            if (T->edTauschbase->text().isEmpty())
                T->edTauschbase->setText(P);
        } catch (...) {
        }
    }

    // 14.
    Timer3->start();

    // 15. Print captions.
    Header1.clear();
    Header2.clear();
    Spalte2 = QStringLiteral("Name");
    Spalte3 = QStringLiteral("Anmeldename");
    Spalte4.clear();

    // 16.
    for (QLabel* L : {laWScount, laNewUser, laRestrNew, laAktion, laUsers, laRaum, laRestrict})
        L->clear();

    // 17.
    WorkstationListe = std::make_unique<TStringList>();
}

void TForm1::FormDestroy() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    Timer3->stop();
    WorkstationListe.reset();
    if (NDK == FNDK)
        NDK = nullptr;
    delete FNDK;
    FNDK = nullptr;
}

void TForm1::closeEvent(QCloseEvent* Event) {
    bool CanClose = true;
    if (!Guarded(this, [&] { FormCloseQuery(CanClose); }))
        CanClose = false;
    Event->setAccepted(CanClose);
}

void TForm1::FormCloseQuery(bool& CanClose) {
    CanClose = true;
    if (!KonfigGeaendert)
        return;
    const auto Answer = TModalSeam::Message(this, QMessageBox::Question, QStringLiteral("Bestätigung"),
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

bool TForm1::IstTrue(const QString& Text) { return Text.toUpper() == QLatin1String("TRUE"); }

QString TForm1::FlagsLesen(const QString& Text) {
    const QString Upper = Text.toUpper();
    return FlagText(Upper.contains(QLatin1String("+DI")), Upper.contains(QLatin1String("+RI")));
}

QString TForm1::FlagText(bool DeleteInhibit, bool RenameInhibit) {
    QString Flags;
    if (DeleteInhibit)
        Flags = QStringLiteral("/+DI");
    if (RenameInhibit)
        Flags += QStringLiteral("/+RI");
    return Flags;
}

void TForm1::KonfigLesen() {
    TKlassenTab* T = tabNeueKlasse;
    const TIniFile Ini(IniDatei);
    auto Read = [&](const char* Key, const QString& Default = QString()) {
        return Ini.ReadString(Section, QLatin1String(Key), Default);
    };

    Netz = Read("net", QStringLiteral("10.1.0.0"));
    NetzMaske = Read("netmask", QStringLiteral("255.255.0.0"));
    if (NDK)
        NDK->Debug = IstTrue(Read("debug", QStringLiteral("FALSE")));

    ouSchueler = DottedToFull(Read("ouSchueler", QStringLiteral("schueler.unterricht")));

    if (Read("LoginSource").toUpper() == QLatin1String("FILE")) {
        T->chLogKlasse->setChecked(false);
        T->chLogDatei->setChecked(true);
        T->EdLoginscript->setText(Read("Loginscript"));
    } else {
        T->chLogKlasse->setChecked(true);
        T->chLogDatei->setChecked(false);
        LoginKlasse = DottedToFull(Read("Loginscript"));
    }
    T->LoginQuelleAnzeigen();

    MusterTemplate = DottedToFull(Read("Template"));

    auto YesForm = [&](const char* Key, QCheckBox* Box) {
        const QString V = Read(Key, QStringLiteral("no"));
        if (!V.isEmpty())
            Box->setChecked(V.at(0).toUpper() == u'Y');
    };
    auto WithoutTrailingBackslash = [](QString V) {
        if (V.endsWith(u'\\'))
            V.chop(1);
        return V;
    };
    YesForm("CreateTemplate", T->chTemplate);
    TauschBase = WithoutTrailingBackslash(Read("TauschBase"));
    YesForm("CreateTausch", T->chTausch);
    HomeBase = WithoutTrailingBackslash(Read("HomeBase"));

    HomeFlags = FlagsLesen(Read("HomeFlags", QStringLiteral("/+DI/+RI")));
    TauschFlags = FlagsLesen(Read("TauschFlags", QStringLiteral("/+DI/+RI")));

    Katalog = Read("Katalog");
    meKatalog->setVisible(!Katalog.isEmpty());

    SetTabShown(TabBimport, IstTrue(Read("BImport", QStringLiteral("FALSE"))));
    SetTabShown(tabKAUser, IstTrue(Read("CreateUser", QStringLiteral("FALSE"))));
}

void TForm1::KonfigSchreiben() {
    TKlassenTab* T = tabNeueKlasse;
    TIniFile Ini(IniDatei);
    auto Write = [&](const char* Key, const QString& Value) { Ini.WriteString(Section, QLatin1String(Key), Value); };
    auto YesNo = [](bool On) { return On ? QStringLiteral("yes") : QStringLiteral("no"); };

    Write("ouSchueler", Dotted(ouSchueler));
    if (T->chLogKlasse->isChecked()) {
        Write("LoginSource", QStringLiteral("OUKlasse"));
        Write("Loginscript", Dotted(LoginKlasse));
    } else {
        Write("LoginSource", QStringLiteral("File"));
        Write("Loginscript", T->EdLoginscript->text());
    }
    Write("Template", Dotted(MusterTemplate));
    Write("CreateTemplate", YesNo(T->chTemplate->isChecked()));
    Write("TauschBase", TauschBase);
    Write("CreateTausch", YesNo(T->chTausch->isChecked()));
    Write("TauschFlags", TauschFlags);
    Write("HomeBase", HomeBase);
    Write("HomeFlags", HomeFlags);
    if (!Katalog.isEmpty())
        Write("Katalog", Katalog);
    Ini.UpdateFile();
    KonfigGeaendert = false;
}

void TForm1::Einstellungenspeichern1Click() { KonfigSchreiben(); }

void TForm1::Beenden1Click() { close(); }

void TForm1::Einstellungen1Click() {
    TEinstDlg Dlg(this);
    const QString Home = HomeFlags.toUpper();
    const QString Tausch = TauschFlags.toUpper();
    Dlg.chHomeDi->setChecked(Home.contains(QLatin1String("+DI")));
    Dlg.chHomeRi->setChecked(Home.contains(QLatin1String("+RI")));
    Dlg.chTauschDi->setChecked(Tausch.contains(QLatin1String("+DI")));
    Dlg.chTauschRi->setChecked(Tausch.contains(QLatin1String("+RI")));
    if (TModalSeam::Exec(Dlg) != QDialog::Accepted)
        return;
    const QString NewHome = FlagText(Dlg.chHomeDi->isChecked(), Dlg.chHomeRi->isChecked());
    if (NewHome != HomeFlags) {
        HomeFlags = NewHome;
        KonfigGeaendert = true;
    }
    const QString NewTausch = FlagText(Dlg.chTauschDi->isChecked(), Dlg.chTauschRi->isChecked());
    if (NewTausch != TauschFlags) {
        TauschFlags = NewTausch;
        KonfigGeaendert = true;
    }
}

void TForm1::meKatalogClick() {
    // The catalog refresh dialog joins here.
}

void TForm1::N2Click() {
    TInfoDlg Dlg(this);
    TModalSeam::Exec(Dlg);
}
