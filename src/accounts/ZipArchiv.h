#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <stdexcept>

struct zip;

// A failure while the archive is written; the message is German and names the file.
class EArchivFehler : public std::runtime_error {
public:
    explicit EArchivFehler(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// A zip file written in one go: entries are added first and read only when Schliessen writes the
// archive, one at a time, so that any number of files can go in. The file appears, or replaces an
// earlier one, only when it is complete; an archive destroyed before Schliessen leaves no file.
// Names are UTF-8, levels joined by "/".
class TZipArchiv {
public:
    // Throws EArchivFehler when the file cannot be created.
    explicit TZipArchiv(const QString& Datei);
    ~TZipArchiv();
    TZipArchiv(const TZipArchiv&) = delete;
    TZipArchiv& operator=(const TZipArchiv&) = delete;

    // Answers the file descriptor to read an entry from (the archive closes it), or -1 when the
    // file is gone meanwhile: the entry is then empty.
    using TOeffnen = std::function<int()>;
    // Answers an entry's content when it is written, after every entry added before it.
    using TErzeugen = std::function<QByteArray()>;

    void Ordner(const QString& Name, const QDateTime& Geaendert = QDateTime());
    void Datei(const QString& Name, TOeffnen Oeffnen, const QDateTime& Geaendert);
    void Text(const QString& Name, TErzeugen Erzeugen, const QDateTime& Geaendert);

    // Writes the archive. Fortschritt gets the share done (0 to 1) now and then and answers false
    // to cancel: no file is left then. Throws EArchivFehler on failure (also when cancelled).
    void Schliessen(const std::function<bool(double)>& Fortschritt = {});

private:
    void Hinzufuegen(const QString& Name, void* Quelle, const QDateTime& Geaendert);
    [[noreturn]] void Fehler(const QString& Was);

    QString FDatei;
    zip* FZip = nullptr;
    const std::function<bool(double)>* FFortschritt = nullptr;
    bool FAbgebrochen = false;
};
