#pragma once

#include <QString>
#include <functional>
#include <utility>

class TNDK;

// The inputs of one class creation, taken when the run starts.
struct TKlassenEingaben {
    QString Name;          // the new class: letters A-Z and a-z, digits, "_"
    QString Basis;         // full name of the container that receives the class
    QString ContainerText; // the same container as the tab shows it
    bool LoginVonKlasse = true;
    QString LoginKlasse; // class mode: full name of the class whose login script is copied
    QString LoginDatei;  // file mode: path of the file that holds the login script
    QString HomeBase;
    QString HomeFlags;
    bool Tausch = false; // an exchange folder is created
    QString TauschBase;
    QString TauschFlags;
    QString Rechte;        // the class's rights on the exchange folder, as rights letters
    bool Template = false; // the template is copied into the class
    QString MusterTemplate;

    QString NeuerContainer() const;
    QString KlassenVerzeichnis() const;
    QString TauschVerzeichnis() const;
    QString NeuesTemplate() const;
};

// The creation of one class through the access object: the container with its login script, the
// class folder with its flags, the exchange folder with its flags and the class's rights on it,
// and the class's "User_Template" whose home directory names the class folder. Every step hands
// its protocol line to the callback; a failing step hands over its error line and, where the
// class cannot be completed, "Abbruch." and ends the run. Nothing made before a failure is removed.
class TKlassenLauf {
public:
    using TProtokoll = std::function<void(const QString& Line)>;

    // Gets the error line of a failed step and why it failed (the error's own text, which the
    // protocol does not show).
    using TFehler = std::function<void(const QString& Line, const QString& Grund)>;

    TKlassenLauf(TNDK& Ndk, TProtokoll Protokoll);
    void SetFehler(TFehler Fehler) { FFehler = std::move(Fehler); }

    // Whether a container of the class's name exists anywhere below the base container. The search
    // lets events through while it waits; its errors propagate.
    bool Vorhanden(const TKlassenEingaben& Eingaben);
    // Creates the class; true when every step up to the success line went through.
    bool Anlegen(const TKlassenEingaben& Eingaben);

    // Waits until Entry can be found: tests at once, then after each of at most Pausen pauses of
    // 100 ms. False when it was not found in time.
    bool EintragAbwarten(const QString& Entry, int Pausen);

    // The rights letters of the item chosen in the radio group " Schüler können ": "RWECMF" for
    // "lesen und schreiben" (1), "R----F" for anything else.
    static QString Rechte(int ItemIndex);

private:
    // Runs a step the class cannot do without: when it fails, its error line and "Abbruch." are
    // reported and the answer is false.
    bool Pflicht(const std::function<bool()>& Step, const QString& Fehler);
    // Sets a folder's flags when there are any; Art names the folder in the protocol. A failure is
    // reported and does not end the run.
    void FlagsSetzen(const QString& Verzeichnis, const QString& Flags, const QString& Art);
    bool ContainerAnlegen(const TKlassenEingaben& E);
    bool KlassenverzeichnisAnlegen(const TKlassenEingaben& E);
    bool TauschverzeichnisAnlegen(const TKlassenEingaben& E);
    bool TemplateAnlegen(const TKlassenEingaben& E);

    TNDK& FNdk;
    TProtokoll FProtokoll;
    TFehler FFehler;
    QString FGrund; // why the last step failed
};
