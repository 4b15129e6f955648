#pragma once

#include <QString>
#include <QStringList>

// The rules every volume store applies to a network path "\\SERVER\VOLUME\dir\sub" before it looks
// at its disk: each level is not empty, not "." or "..", holds no control character and none of
// / : * ? " < > |, and is at most MaxLevelBytes long in UTF-8 (what a file system holds in one
// name); below the volume lie at most MaxDepth levels, at most MaxPathBytes in all (so that a root
// folder of its own length fits with them into what the system takes as one path). A path that breaks them
// maps to no folder. What only the disk can tell (a link that leads out of the volume's root) each store
// checks itself.
namespace VolumePath {

constexpr int MaxLevelBytes = 255;
constexpr int MaxDepth = 64;
constexpr int MaxPathBytes = 2048;

struct TParts {
    QString Server;
    QString Volume;
    QStringList Levels; // below the volume's root
};

// Why a level breaks the rules ("" when it keeps them), in German, naming the level.
QString LevelFault(const QString& Level);
// Why a directory below a volume ("dir\sub", "" for the root) breaks the rules, "" when it keeps them.
QString DirectoryFault(const QString& Directory);
// Splits a network path (one trailing "\" allowed); false with the reason when it breaks the rules.
bool Split(const QString& UncPath, TParts& Out, QString* Why = nullptr);

} // namespace VolumePath
