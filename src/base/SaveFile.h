#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writing a file whole or not at all, with the system's reason when it fails. A QSaveFile that is
// buffered reports a full disk only at its commit and then without a reason, and a write that stops
// short reports no error at all; these helpers write unbuffered and ask again for what is left, so
// that the failing call of the system gives its reason ("No space left on device").

// Opens File for writing unbuffered; false with the reason in Why.
bool OpenForSaving(QSaveFile& File, QString& Why);

// Writes every byte of Data; false with the system's reason in Why. The file is then left
// uncommitted (its destructor drops it, an existing file of that name stays as it was).
bool WriteWhole(QSaveFile& File, const QByteArray& Data, QString& Why);

// Commits File; false with the reason in Why.
bool CommitSaving(QSaveFile& File, QString& Why);

// Opens, writes and commits Path in one go; false with the reason in Why.
bool SaveWhole(const QString& Path, const QByteArray& Data, QString& Why);
