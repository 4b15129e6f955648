#pragma once

#include <QString>
#include <functional>

class TIniFile;

// The configured values of the program: what the section "config" of Parvon.ini holds, as the
// program works with them. The main window owns the one instance and hands it to the tabs by
// reference; the tabs show the values and write changes back. Directory objects are held as full
// names and stored as dotted names; folders are held without a trailing backslash.
class TKonfiguration {
public:
    // The name conversions between the stored dotted form and full names (they need the tree the
    // program works in).
    struct TNamen {
        std::function<QString(const QString&)> ZuVoll;  // dotted name -> full name
        std::function<QString(const QString&)> ZuPunkt; // full name -> dotted name
    };

    // Read only: the network, the debug messages of the directory layer, the feature tabs.
    QString Netz = QStringLiteral("10.1.0.0");
    QString NetzMaske = QStringLiteral("255.255.0.0");
    bool Debug = false;
    bool BImport = false;
    bool CreateUser = false;

    // Read and written. The start values are those of the class tab before a file is read.
    QString ouSchueler;     // the student base container, start point of most pickers
    QString BasisContainer; // where new classes are created; not stored, follows ouSchueler
    bool LoginVonKlasse = true;
    QString LoginKlasse; // the class whose login script is copied
    QString LoginDatei;  // the login-script file, in file mode
    QString MusterTemplate;
    bool CreateTemplate = false;
    QString TauschBase;
    bool CreateTausch = true;
    QString TauschFlags = QStringLiteral("/+DI/+RI");
    QString HomeBase;
    QString HomeFlags = QStringLiteral("/+DI/+RI");
    QString Katalog;

    // The values differ from the file: closing the window then offers to save them.
    bool Geaendert = false;

    // Takes the values of the section "config"; an absent key gives its default.
    void Lesen(const TIniFile& Ini, const TNamen& Namen);
    // Sets the written keys; every other key and section of Ini stays as it is.
    void Schreiben(TIniFile& Ini, const TNamen& Namen) const;
    // Reads the file (a missing file reads as empty).
    void Laden(const QString& IniDatei, const TNamen& Namen);
    // Writes the file and clears Geaendert; raises EIniFileError (Geaendert then stays set).
    void Speichern(const QString& IniDatei, const TNamen& Namen);

    // The TRUE form of the read-only switches: exactly "TRUE" in any letter case.
    static bool IstTrue(const QString& Text);
    // The canonical flag text ("", "/+DI", "/+RI", "/+DI/+RI") of a stored or typed flag text.
    static QString FlagsLesen(const QString& Text);
    static QString FlagText(bool DeleteInhibit, bool RenameInhibit);
    // A folder as it is held: without its last character when that is a backslash.
    static QString OhneBackslash(const QString& Path);
    // The template a container offers to new classes: its entry "User_Template".
    static QString TemplateIn(const QString& Container);
    // The default exchange base beside a home base: "\Tausch" inserted before the last backslash
    // (the path's last character not examined), at the front when there is none.
    static QString TauschAusHome(const QString& Path);
};
