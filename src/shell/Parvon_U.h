#pragma once

#include <DruckTitel.h>
#include <Konfiguration.h>

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QCloseEvent;
class QMenu;
class QMenuBar;
class QTabWidget;
class QTimer;
class TKAUserTab;
class TKlassenListeTab;
class TBImportTab;
class TKlassenTab;
class TNDK;
class TPrintDialog;
class TSchuelerListeTab;
class TStringList;

// The main window: the program's only top-level window and the owner of the program state (the
// configuration, the print captions, the workstation list) and of the directory access object.
// It composes one widget per tab and hands each the state it needs.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Caption of the window: program, purpose, blanks, build date.
    static QString Caption();
    static constexpr const char* BuildDate = "13.06.03";
    // The folders of installed programs: the system's program folders and the one the build
    // installs into.
    static QStringList InstallFolders();
    // "Parvon.ini" beside the program in ProgramFolder (a program run from its build folder); for
    // an installed program (ProgramFolder one of Installed) and where that folder cannot be
    // written, in the user's configuration folder, whatever the user may write.
    static QString StandardIniDatei(const QString& ProgramFolder,
                                    const QStringList& Installed = InstallFolders());

    // Builds the window and runs FormCreate. IniPath names the configuration file; empty means
    // StandardIniDatei. The window is not shown.
    explicit TForm1(QWidget* Parent = nullptr, const QString& IniPath = QString());
    ~TForm1() override;

    // Start-up, close and end.
    void FormCreate();
    void FormCloseQuery(bool& CanClose);
    void FormDestroy();

    // Configuration file.
    void KonfigLesen();
    void KonfigSchreiben();

    // Menu handlers.
    void Einstellungenspeichern1Click();
    void Beenden1Click();
    void Einstellungen1Click();
    void meKatalogClick();
    void N2Click();

    // Program state.
    TKonfiguration& Konfiguration() { return FKonfiguration; }
    QString IniDatei;
    std::unique_ptr<TStringList> WorkstationListe;
    QString SelectedClass;
    TDruckTitel DruckTitel; // the captions of the ruled printouts

    // The directory access object this window created (also reachable as NDK); null when it could
    // not be created.
    TNDK* DirectoryAccess() const { return FNDK; }

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void CreateDirectoryAccess();
    void BuildUi();
    void BuildMenu();
    TKonfiguration::TNamen Namen() const;
    void SetTabShown(QWidget* Page, bool Shown);

    TKonfiguration FKonfiguration;
    QString FIniOverride;
    TNDK* FNDK = nullptr;
    std::unique_ptr<TPrintDialog> PrintDialog1; // the one printer every printout uses
    bool FDestroyed = false;

    QTabWidget* PageControl1;
    TKlassenTab* tabNeueKlasse;
    TKlassenListeTab* TabListeKlassen;
    TSchuelerListeTab* TabSchuelerListe;
    TBImportTab* TabBimport;
    TKAUserTab* tabKAUser;
    QTimer* Timer3;

    QMenuBar* MainMenu1;
    QMenu* Datei1;
    QAction* Einstellungenspeichern1;
    QAction* N1;
    QAction* Beenden1;
    QAction* Einstellungen1;
    QAction* meKatalog;
    QAction* N2;
};
