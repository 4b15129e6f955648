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
// setting at all are written back byte for byte unless a key on them was set. CR, LF and CR LF each
// end a line. Section and key names compare without regard to case; with duplicates the first
// occurrence counts. The value of a key is everything after the first "=" on its line, unchanged.
// Keys set that the section does not yet hold are appended to the section in the order they are
// set; a missing section is appended to the file.
//
// The file is decoded as UTF-8 when it is valid UTF-8 (with or without a byte order mark), as
// UTF-16 when it starts with a UTF-16 byte order mark, and as Windows-1252 otherwise; a decoding is
// only taken when encoding it again gives the same bytes, and Windows-1252 maps every byte, so a
// line that is not set comes back exactly as it was read. The file is written back in the same
// encoding, with the same byte order mark and the line ends it had (new lines take the file's
// first line end, CR LF for a file without one). A save never changes how the next read sees a line
// that was not set: when the new content in the file's own encoding would be read differently
// (a character Windows-1252 lacks, or bytes that would now pass for UTF-8 or UTF-16), the whole file
// is written as UTF-8, which reads every line the same; when no encoding can, the save is refused.
// UpdateFile writes the whole file atomically.
class TIniFile {
public:
    enum class TEncoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

    // Reads FileName; a missing file gives an object without sections. A file that exists but
    // cannot be read (or is larger than MaxFileSize) also reads as empty, and UpdateFile then
    // refuses to replace it, so its content is never lost.
    explicit TIniFile(const QString& FileName);
    // Data read as if it were the content of a file; such an object has no file to update.
    static TIniFile FromBytes(const QByteArray& Data);
    static constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

    QString FileName() const { return FFileName; }
    TEncoding Encoding() const { return FEncoding; }
    bool HasByteOrderMark() const { return FBom; }

    bool SectionExists(const QString& Section) const;
    bool ValueExists(const QString& Section, const QString& Key) const;
    // The value of Key, or Default when the section or the key is absent. A key present with an
    // empty value gives the empty text.
    QString ReadString(const QString& Section, const QString& Key, const QString& Default) const;
    // Sets Key; line breaks in Section, Key or Value are replaced by blanks, so a value can never add
    // lines to the file, and reading and setting match such names alike. Throws EIniFileError, and
    // changes nothing, when the setting could not be read back as written (a key holding "=" or
    // starting with ";", a section name holding "]", a value that would turn its line into a section
    // header).
    void WriteString(const QString& Section, const QString& Key, const QString& Value);

    QStringList Sections() const;
    QStringList Keys(const QString& Section) const;

    // Writes the whole file through a temporary file that replaces the old one only when every byte
    // was written. Throws EIniFileError with the reason; the old file then stays as it was.
    void UpdateFile() const;
    // The bytes UpdateFile would write; throws EIniFileError when no encoding can hold them so that
    // they read back the same.
    QByteArray Serialize() const;

private:
    enum TLineEnd : quint8 { EndNone, EndLF, EndCRLF, EndCR };
    struct TLine {
        QString Text; // without the line end
        TLineEnd End = EndNone;
    };
    struct TSection {
        QString Name;           // trimmed name between the brackets; empty for the lines before
        bool HasHeader = false; // false only for the lines before the first section
        QList<TLine> Lines;     // Lines[0] is the header line when HasHeader
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
    // True when Line reads as the setting Key with exactly Value.
    static bool ReadsAs(const QString& Line, const QString& Key, const QString& Value);
    // The whole file as text, line ends included.
    QString FileText() const;
    QString SaveError(const QString& Reason) const;

    QString FFileName;
    TEncoding FEncoding = TEncoding::Utf8;
    bool FBom = false;
    QString FReadError; // why an existing file could not be read; empty when it was
    TLineEnd FDefaultEnd = EndCRLF;
    QList<TSection> FSections;
};
