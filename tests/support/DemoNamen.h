#pragma once

#include <QString>

// The names of the demo school tree that a test store holds: the tree SCHULE with its services,
// classes and rooms, the server SRV1 and its volume DATA. Full names, network paths, and the
// dotted forms the program shows.
namespace Demo {
inline const QString Tree = QStringLiteral("SCHULE");
inline const QString Prefix = QStringLiteral("NDS:\\\\SCHULE");
inline const QString Dienste = Prefix + QStringLiteral("\\dienste");
inline const QString Unterricht = Prefix + QStringLiteral("\\unterricht");
inline const QString Schueler = Unterricht + QStringLiteral("\\schueler");
inline const QString Pruefung = Unterricht + QStringLiteral("\\pruefung"); // the exam accounts
inline const QString Klasse5a = Schueler + QStringLiteral("\\5a");
inline const QString Template = Schueler + QStringLiteral("\\User_Template");
inline const QString Template5a = Klasse5a + QStringLiteral("\\User_Template");
inline const QString Kurs = Schueler + QStringLiteral("\\EDV1"); // the course of room EDV1
inline const QString Workstations = Prefix + QStringLiteral("\\Workstations");
inline const QString Raum = Workstations + QStringLiteral("\\EDV1"); // WS01 to WS20

// The server, its data volume as a network path and as the volume object.
inline const QString Server = QStringLiteral("SRV1");
inline const QString ServerObjekt = Dienste + QStringLiteral("\\SRV1");
inline const QString DataVolume = QStringLiteral("\\\\SRV1\\DATA");
inline const QString DataVolumeObjekt = Dienste + QStringLiteral("\\SRV1_DATA");
// The home directory of the student container's User_Template, and the exchange base beside it.
inline const QString HomeBase = DataVolume + QStringLiteral("\\home\\schueler");
inline const QString TauschBase = DataVolume + QStringLiteral("\\home\\Tausch\\schueler");

// The student container as the program shows it.
inline const QString SchuelerPunkt = QStringLiteral("schueler.unterricht");
} // namespace Demo
