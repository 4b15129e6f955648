#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

// Clear passwords live as short as possible: the process never writes a core file that could
// hold one, and each copy is wiped once it has served.

// Keeps the calling process from dumping core: no core file (its limit 0) and no dump or trace
// by other processes of the user. Call first in main.
void ForbidCoreDumps();

// Overwrites the characters of Text with zeros and empties it. A text that shares its characters
// with another copy is only emptied: the other copy keeps its value.
void WipeSecret(QString& Text);
void WipeSecret(QByteArray& Bytes);

// Takes a password out of a text whose characters others hold as well (a line edit's buffer):
// answers a copy of its own and overwrites the characters where they are, for every holder.
QString TakeSharedSecret(const QString& Shared);

// A password's text that is wiped when it goes out of scope.
class TSecretText {
public:
    explicit TSecretText(QString Text = QString()) : FText(std::move(Text)) {}
    ~TSecretText() { WipeSecret(FText); }
    TSecretText(const TSecretText&) = delete;
    TSecretText& operator=(const TSecretText&) = delete;
    QString& Text() { return FText; }
    const QString& Text() const { return FText; }

private:
    QString FText;
};
