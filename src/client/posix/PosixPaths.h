#pragma once

#include <QString>
#include <QStringList>

// Where a network path's levels lead below a volume's root folder. Every level must be a plain name
// (not empty, not "." or "..", nothing a file server refuses); existing levels are matched without
// regard to case and follow their spelling on disk, missing ones keep the given spelling. A path
// through a symbolic link maps to nothing: the store writes attributes and ACLs, and never outside
// the root.
struct TPosixMapped {
    QString Local; // the absolute local path
    bool IsDir = false;
};
bool MapBelowRoot(const QString& Root, const QStringList& Levels, TPosixMapped& Out, QString* Why);

// A server, volume or folder name a network path may hold.
bool GoodPathLevel(const QString& Level);
