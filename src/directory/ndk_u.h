#pragma once

#include "StringList.h"

#include <NWCalls.h>
#include <NWDir.h>
#include <NWSess.h>
#include <NWUsrGrp.h>
#include <NWVolAdm.h>
#include <VolumeFiles.h>

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

class QEventLoop;
class QWidget;
class TDirectoryClient;

// The directory access object: the one place through which the program reaches the directory and
// the volumes. Exists once, from the start of the main window to its destruction (see NDK).
class TNDK : public QObject {
    Q_OBJECT
public:
    // Creates the controls and runs FormCreate (tree choice, tree prefix). Dialogs and boxes are
    // owned by Owner, which also owns the access object. An error of the tree choice is shown in
    // the standard error box; the object is complete nevertheless.
    explicit TNDK(QWidget* Owner);
    TNDK(QWidget* Owner, TDirectoryClient& Store);
    // An access object over another client on the tree of an existing one, without the tree choice
    // (a dry run over a copy of the directory).
    TNDK(QWidget* Owner, TDirectoryClient& Store, const QString& TreePrefix);
    ~TNDK() override;

    // The controls.
    NWDir* NWDir1;
    NWVolAdm* NWVolAdm1;
    NWUsrGrp* NWUsrGrp1;
    NWSess* NWSess1;
    // One 16 x 16 icon per class code 0 to 10.
    QList<QIcon> ImageList;

    // Creation: chooses the tree (asking with TTreeSelect when two or more are connected).
    void FormCreate();

    // Names and paths.
    static QString PathToDotted(const QString& Name);
    QString DottedToPath(const QString& Name);
    QString TreePrefix();
    static int ClassCode(const QString& Layout);
    static QString VolumeOfPath(const QString& Path);
    QString SplitFilePath(const QString& Text); // throws for a text without "," or a failed parse
    QString UncToNds(const QString& Path);      // "" when no server connection matches
    static void RemoveChar(QString& Text, QChar Ch);

    // Reading.
    QString GetFieldValue(const QString& Entry, const QString& Field);
    QString GetFieldValueList(const QString& Entry, const QString& Field);
    QString GetHomeDirectory(const QString& Entry);
    QString GetShortName(const QString& Entry);
    QString GetEntryLayout(const QString& Entry);
    bool EntryExists(const QString& Entry);
    void SetFilters(const QString& Layouts);
    void ListEntries(const QString& Container, TStringList& List);
    int CountEntries(const QString& Container);
    void SearchObjects(const QString& Base, const QString& Name, const QString& Layout, TStringList& List);
    void ListFieldNames(const QString& Entry, QStringList& List);
    QString GetFieldTypeInfo(const QString& Field);

    // The text of a field value as the reads hand it out: texts as they are, numbers in decimal,
    // times as TClock::DateTimeToStr writes them (date, blank, time), anything else (lists,
    // address values, no value) "".
    static QString FieldValueText(const QVariant& Value);

    // Writing.
    void AddEntry(const QString& Container, const QString& Name, const QString& Layout);
    void AddOrganizationalUnit(const QString& Container, const QString& Name);
    void AddTemplate(const QString& Container, const QString& Name);
    void AddUser(const QString& Container, const QString& Name, const QString& Surname,
                 const QString& Template);
    void SetFieldValue(const QString& Entry, const QString& Field, const QString& Value);
    void SetLoginScriptFromFile(const QString& Entry, const QString& File);
    void CopyLoginScript(const QString& Source, const QString& Target);
    void CopyTemplate(const QString& Source, const QString& Container, const QString& Name);

    // Folders on the volumes, "\\SERVER\VOLUME\dir": created with every missing parent (true when
    // it exists afterwards), and tested. Nothing outside a volume is touched.
    bool ForceDirectories(const QString& Path);
    bool DirectoryExists(const QString& Path);
    // The files and subfolders below a volume folder, links left out and never followed (see
    // VolumeFiles.h), and the local folder they lie in, for reading them with
    // VolumeFiles::OpenBelow.
    std::vector<VolumeFiles::TEntry> ListFiles(const QString& Path);
    QString LocalFolder(const QString& Path);

    // Rights and flags.
    static QString RightsToLetters(quint32 Mask);
    void SetTrusteeRights(const QString& Path, const QString& Trustee, const QString& Letters);
    QString GetTrusteeRights(const QString& Path, const QString& Trustee);
    void SetDirectoryFlags(const QString& Path, const QString& Flags);

    // Network address restrictions; User is a full name. A failure is shown in a plain box
    // ("Error (%s)", "SetFieldValue/Update (%s)", "Error reading restrictions (%s)") and never
    // raised.
    // Appends one TCP/IP value (Address a dotted quad) to the user's restriction, keeping the values
    // it holds. An address that does not convert is reported and nothing is written. True when the
    // value was written.
    bool AddNetworkAddress(const QString& User, const QString& Address);
    // Shows "Error (Reason)" as the address operations show their failures.
    void ShowAddressError(const QString& Reason);
    // Removes every value of the restriction; a failed removal is not reported, only answered
    // (false).
    bool ClearNetworkAddresses(const QString& User);
    // The restriction's TCP/IP values as dotted quads, each but the array's last value followed by
    // CR LF; values of other types are skipped. After a failure: the lines read until then.
    QString GetNetworkAddresses(const QString& User);

    // Sessions, client contexts and the calls made through a context.
    void ListConnectedServers(TStringList& List);
    NWCCODE OpenClientContext(NWDSContextHandle& Context); // answers the status of its last step
    void CloseClientContext(NWDSContextHandle Context);
    // Removes every value of the attribute. Nothing is shown for a failed removal; the status is
    // answered (0 when done, also when the attribute held no value).
    NWCCODE ClearAttribute(const QString& ObjectName, const QString& AttributeName);
    // Sets the password of User (a full name), in upper case, without the old one. A failure is
    // shown in a plain box ("Passwort nicht geändert Fehler: " and the status) and never raised;
    // false then.
    bool SetUserPassword(const QString& User, const QString& Password);

    // The client the controls reach.
    TDirectoryClient& Client() const;

    // Where the boxes of the address, password and rights operations go: shown when empty, else
    // handed over as their text (a dry run lists them instead).
    std::function<void(const QString& Text)> Meldungen;

    // State.
    bool AddFailed = false;
    bool Debug = false;
    bool SearchRunning = false;
    TStringList* SearchResults = nullptr; // the running search's list; only while it runs
    qint32 SearchScope = 2;
    bool DottedResults = true;
    // Folder of the private files through which stream fields are copied (default: the system's
    // temporary folder).
    QString StreamFolder;

public Q_SLOTS:
    void NWDir1SearchCompleted(const QVariant& Results);

protected:
    // Removes a stream copy's file; false when it could not be removed.
    virtual bool RemoveStreamFile(const QString& Path);

private:
    void Init();
    void CopyStreamField(const NWEntry& Source, NWEntry& Target, const QString& Field, bool Commit);
    void ShowNwdsError(const QString& Call, NWCCODE Result);
    // Shows a box with Text, or hands it to Meldungen.
    void Melden(const QString& Text);
    // The tree name a client context addresses: the lower-case name of the chosen tree.
    QByteArray ContextTreeName();
    // Positions NWDir1 on the user and answers its entry; raises when there is none.
    NWEntryPtr PositionOnUser(const QString& User);

    QWidget* FOwner;
    QString FTreePrefix;
    std::vector<QEventLoop*> FSearchLoops; // the searches waiting for a completion, innermost last
};

// The program-wide reference to the one access object (set by the main window at start).
extern TNDK* NDK;

// The access object; raises EDirectoryError "Das Verzeichnis ist nicht erreichbar." when there is
// none (it could not be created at start).
TNDK& Erreichbar(TNDK* Ndk);
