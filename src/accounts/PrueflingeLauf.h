#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TNDK;

// The inputs of an exam-account run that hold for the whole run.
struct TPrueflingeStart {
    QString Container; // full name of the container that receives the accounts
    int Zahl = 0;      // number of accounts
    QString Ersatz;    // address of the replacement workstation, "" for none
};

// The inputs of the next account. The run starts with them and hands them to its callback before
// every account, which may bring them up to date: what is changed on the tab while the run lasts
// applies to the accounts that follow. Directory objects are full names.
struct TPrueflingeKonto {
    QString Kurs;     // the container as the tab names it now
    int Von = 1;      // number of the first account
    QString Maske;    // naming pattern: a format text with "%2.2d" where the number goes
    QString Template; // template of new accounts
    QString Vorname;  // given name of new accounts
    QString HomeFlags;
    bool Restriktion = false; // bind every account to its workstation
    QStringList Workstations; // the room's workstations, sorted by their names
    QString Netz;
    QString NetzMaske;
    QString Passwort; // shares the tab's text: no copy of its own to wipe
};

// Creates or updates a numbered series of exam accounts through the access object. An account that
// does not exist is created from the template with its name fields and a home folder of its own
// that gets the template's home directory rights; every account then gets its home folder's flags,
// its network address restriction and its password. An existing account's name fields, home
// directory and folder stay as they are, except that what an earlier run left undone (a run
// killed between the creation and the rights) is completed: a missing home folder of the
// account's own, the account's missing rights on it, and a home directory that is still the
// template's together with empty name fields.
class TPrueflingeLauf {
public:
    // Called before account K (from 1) is handled, after the run set up its count, with the inputs
    // of that account to bring up to date; false ends the run there.
    using TFortschritt = std::function<bool(int K, TPrueflingeKonto& Konto)>;

    TPrueflingeLauf(TNDK& Ndk, TFortschritt Fortschritt);

    // Runs the series; answers the number of accounts created. A failing step ends the run at that
    // account with EDirectoryError naming the account; the accounts handled before stay as they are.
    // Failures of the restriction and password calls are shown by the access object and do not end
    // the run.
    // A replacement address that is not a dotted quad refuses the run before its first account.
    int Ausfuehren(const TPrueflingeStart& Start, TPrueflingeKonto Konto);
    // The names of the accounts the last run was to bind to a workstation that are left without
    // any restriction (their workstation had no address in the school network and there was no
    // replacement, or the restriction could not be written), in the order of the run.
    const QStringList& OhneRestriktion() const { return FOhneRestriktion; }

    // The home folder of a new account from the one its template gave it: kept when its last level
    // is the account's name, the account's name appended when it is the container's (Kurs), else
    // the container's name (Ordner) and the account's name appended. Levels compare without regard
    // to case.
    static QString HomeVerzeichnis(const QString& Home, const QString& Name, const QString& Kurs,
                                   const QString& Ordner);

private:
    void Anlegen(const QString& Container, const QString& Benutzer, const QString& Name, const QString& Kurs,
                 const TPrueflingeKonto& E);
    void Vervollstaendigen(const QString& Benutzer, const QString& Name, const QString& Kurs,
                           const TPrueflingeKonto& E);
    // Binds the account to its workstation; false when it is left without any restriction. A
    // workstation without an address in the school network is reported in a box naming it and its
    // values; a value that looks like an address but is none ends the run.
    bool Binden(const QString& Benutzer, int K, const QString& Ersatz, const TPrueflingeKonto& E);

    TNDK& FNdk;
    TFortschritt FFortschritt;
    QStringList FOhneRestriktion;
};
