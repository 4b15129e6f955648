#pragma once

// What the commands of parvon-dirtool share.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <stdexcept>

class TDirectoryClient;
class TSqliteStore;

// The console's store and the client over it.
struct TTool {
    TSqliteStore& Store;
    TDirectoryClient& Client;
};

// A mistake in the call itself: the usage follows the message.
class EUsage : public std::runtime_error {
public:
    explicit EUsage(const QString& Message) : std::runtime_error(Message.toStdString()), FMessage(Message) {}
    QString FMessage;
};

// Standard output.
QTextStream& Out();
// Throws EUsage unless Args holds Min to Max arguments.
void Need(const QStringList& Args, int Min, int Max);
// A tree argument, "SCHULE" or "NDS:\\SCHULE": its name, and its full name.
QString TreeName(const QString& Tree);
QString TreeArgFullName(const QString& Tree);
// The content of the file Path names ("-": standard input); throws when it cannot be read.
QByteArray ReadInput(const QString& Path);
// Writes Text to the file Path names, whole or not at all ("" or "-": standard output).
void WriteOutput(const QString& Path, const QByteArray& Text);

// The store and the workstation (DirtoolStore.cpp).
int Demo(TTool& Tool, const QStringList& Args);
int Export(TTool& Tool, const QStringList& Args);
int Import(TTool& Tool, const QStringList& Args);
int ExportVolumes(TTool& Tool, const QStringList& Args);
int ImportVolumes(TTool& Tool, const QStringList& Args);
int Trees(TTool& Tool, const QStringList& Args);
int ConnectTree(TTool& Tool, const QStringList& Args);
int DisconnectTree(TTool& Tool, const QStringList& Args);
int Servers(TTool& Tool, const QStringList& Args);
int AddServer(TTool& Tool, const QStringList& Args);
int RemoveServer(TTool& Tool, const QStringList& Args);
int Volumes(TTool& Tool, const QStringList& Args);
int SetVolumeRoot(TTool& Tool, const QStringList& Args);
int CheckVolumes(TTool& Tool, const QStringList& Args);

// Passwords (DirtoolPasswords.cpp).
int SetPassword(TTool& Tool, const QStringList& Args);
int CheckPassword(TTool& Tool, const QStringList& Args);

// The journal of the runs (DirtoolJournal.cpp).
int Journal(TTool& Tool, const QStringList& Args);
int Undo(TTool& Tool, const QStringList& Args);

// POSIX identities (DirtoolPosix.cpp).
int PosixIds(TTool& Tool, const QStringList& Args);
int PosixId(TTool& Tool, const QStringList& Args);
int PosixRanges(TTool& Tool, const QStringList& Args);

// The program's work through its access object (DirtoolProgram.cpp); they need the program's
// application object.
bool ProgramCommand(const QString& Command);
int Bimport(TTool& Tool, QStringList Args);
int Csv(TTool& Tool, QStringList Args);
