#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <string>

// Raised when an INI file cannot be written; what() holds the German message (UTF-8).
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// An INI file held in memory.
//
// Reading keeps every line of the file: sections, keys, comments, blank lines and lines that are no
// setting at all are written back byte for byte unless a key on them was set. Section and key names
// compare without regard to case; with duplicates the first occurrence counts. The value of a key
// is everything after the first "=" on its line, unchanged. Keys set that the section does not yet
// hold are appended to the section in the order they are set; a missing section is appended to
// the file.
//
// The file is decoded as UTF-8 when it is valid UTF-8 (with or without a byte order mark), as
// UTF-16 when it starts with a UTF-16 byte order mark, and as Windows-1252 otherwise; a decoding is
// only taken when encoding it again gives the same bytes, and Windows-1252 maps every byte, so a
// line that is not set comes back exactly as it was read. The file is written back in the same
// encoding, with the same byte order mark and the line ends it had (new lines take the file's
// first line end, CR LF for a file without one). UpdateFile writes the whole file atomically.
class TIniFile {
public:
    enum class TEncoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

    // Reads FileName; a missing file gives an object without sections. A file that exists but
    // cannot be read (or is larger than MaxFileSize) also reads as empty, and UpdateFile then
    // refuses to replace it, so its content is never lost.
    explicit TIniFile(const QString& FileName);
    static constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

    QString FileName() const { return FFileName; }
    TEncoding Encoding() const { return FEncoding; }
    bool HasByteOrderMark() const { return FBom; }

    bool SectionExists(const QString& Section) const;
    bool ValueExists(const QString& Section, const QString& Key) const;
    // The value of Key, or Default when the section or the key is absent. A key present with an
    // empty value gives the empty text.
    QString ReadString(const QString& Section, const QString& Key, const QString& Default) const;
    // Sets Key; line breaks in Key or Value are replaced by blanks, so a value can never add lines
    // to the file.
    void WriteString(const QString& Section, const QString& Key, const QString& Value);

    QStringList Sections() const;
    QStringList Keys(const QString& Section) const;

    // Writes the whole file through a temporary file that replaces the old one only when every byte
    // was written. Throws EIniFileError with the reason; the old file then stays as it was.
    void UpdateFile() const;
    // The bytes UpdateFile would write.
    QByteArray Serialize() const;

private:
    enum TLineEnd : quint8 { EndNone, EndLF, EndCRLF };
    struct TLine {
        QString Text;                // without the line end
        TLineEnd End = EndNone;
    };
    struct TSection {
        QString Name;                // trimmed name between the brackets; empty for the lines before
        bool HasHeader = false;      // false only for the lines before the first section
        QList<TLine> Lines;          // Lines[0] is the header line when HasHeader
    };

    void Parse(const QByteArray& Data);
    const TSection* FindSection(const QString& Section) const;
    TSection* FindSection(const QString& Section);
    // Index of the first line of S that sets Key, or -1.
    static int FindKey(const TSection& S, const QString& Key);
    // Splits a setting line into key (trimmed) and the offset of its value; false for comments,
    // section headers, lines without "=" and lines with an empty key.
    static bool SplitSetting(const QString& Line, QStringView& Key, qsizetype& ValueStart);
    static bool IsSectionHeader(const QString& Line, QString* Name);
    QByteArray Encode(const QString& Text) const;

    QString FFileName;
    TEncoding FEncoding = TEncoding::Utf8;
    bool FBom = false;
    QString FReadError;              // why an existing file could not be read; empty when it was
    TLineEnd FDefaultEnd = EndCRLF;
    QList<TSection> FSections;
};
