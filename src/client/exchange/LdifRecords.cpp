#include "LdifParts.h"

#include <Dn.h>
#include <EDirectoryError.h>

#include <QByteArrayView>
#include <QScopeGuard>
#include <QStringDecoder>
#include <cstdio>
#include <ldap.h>
#include <ldif.h>

// The lines and records of LDIF text, read and written by libldap's LDIF functions. libldap reads
// records apart, joins continued lines, drops comments and decodes values; the checks that make a
// line an attribute line of a record, with the line's number, are ours. Some lines never reach
// libldap, as it would act on them: a record that starts with "include:" reads a file in its
// place, one that starts with a digit loses that line (a record number), and a value from a URL
// (":<") is fetched.

namespace Ldif {
namespace {

bool StartsWithNoCase(QByteArrayView Text, QByteArrayView Prefix) {
    return Text.size() >= Prefix.size() &&
           Text.first(Prefix.size()).compare(Prefix, Qt::CaseInsensitive) == 0;
}

// Where each line of the text starts; a last line without a line end counts as well.
std::vector<qsizetype> LineStarts(const QByteArray& Text) {
    std::vector<qsizetype> Starts;
    for (qsizetype At = 0; At < Text.size();) {
        Starts.push_back(At);
        const qsizetype End = Text.indexOf('\n', At);
        if (End < 0)
            break;
        At = End + 1;
    }
    return Starts;
}

// Line Number (from 1) of the text, without its line end.
QByteArrayView LineOf(const QByteArray& Text, const std::vector<qsizetype>& Starts, int Number) {
    const qsizetype Start = Starts[size_t(Number - 1)];
    qsizetype End = Text.indexOf('\n', Start);
    if (End < 0)
        End = Text.size();
    QByteArrayView Line(Text.constData() + Start, End - Start);
    if (Line.endsWith('\r'))
        Line.chop(1);
    return Line;
}

// One line of a record: its name, and its value as libldap decodes it. Line is the logical line
// as ldif_getline leaves it (continuations marked, not yet joined).
TAttributeLine ParseLine(char* Line, int Number) {
    QByteArray Text; // the line as one
    for (const char* P = Line; *P; ++P)
        if (*P != '\r')
            Text += *P;
    const qsizetype Colon = Text.indexOf(':');
    if (Colon < 0)
        Fail(Number, QStringLiteral("\"Attribut: Wert\" erwartet"));
    TAttributeLine Result;
    Result.Line = Number;
    const QString Name = Utf8(Text.left(Colon), Number);
    if (Name.contains(QLatin1Char(';')))
        Fail(Number, QStringLiteral("Attributoptionen werden nicht unterstützt (\"%1\")").arg(Name));
    if (!Dn::IsAttributeType(Name))
        Fail(Number, QStringLiteral("ungültiger Attributname \"%1\"").arg(Name));
    Result.Attribute = Name;
    const QByteArrayView Rest = QByteArrayView(Text).sliced(Colon + 1);
    if (Rest.startsWith('<'))
        Fail(Number, QStringLiteral("Werte aus URLs (\":<\") werden nicht unterstützt"));
    QByteArray Base64Line; // a base64 value as libldap takes it: without blanks around, padded
    if (Rest.startsWith(':')) {
        QByteArray Encoded = Rest.sliced(1).trimmed().toByteArray();
        if (Encoded.isEmpty())
            return Result;
        if (!QByteArray::fromBase64Encoding(Encoded, QByteArray::AbortOnBase64DecodingErrors) ||
            Encoded.size() % 4 == 1)
            Fail(Number, QStringLiteral("ungültiger base64-Wert"));
        Encoded += QByteArray((4 - Encoded.size() % 4) % 4, '=');
        Base64Line = Text.left(Colon) + ":: " + Encoded;
    }
    berval Type{}, Value{};
    int Owned = 0;
    if (ldif_parse_line2(Base64Line.isEmpty() ? Line : Base64Line.data(), &Type, &Value, &Owned) < 0)
        Fail(Number, QStringLiteral("\"Attribut: Wert\" erwartet"));
    Result.Value = QByteArray(Value.bv_val, qsizetype(Value.bv_len));
    if (Owned)
        ber_memfree(Value.bv_val);
    return Result;
}

// The lines libldap must not see: a NUL (it ends its lines), and a record that starts with a
// digit or "include:", which is reported as any other record without "dn:" is. libldap's rules
// for where a record starts: after blank lines, and after the comment lines before it.
void CheckBeforeLibldap(const QByteArray& Text, const std::vector<qsizetype>& Starts) {
    bool InRecord = false;
    bool InComment = false;
    for (int Number = 1; Number <= int(Starts.size()); ++Number) {
        const QByteArrayView Line = LineOf(Text, Starts, Number);
        if (Line.contains('\0'))
            Fail(Number, QStringLiteral("ein Nullbyte gehört nicht in LDIF-Text"));
        if (Line.isEmpty()) {
            InRecord = InComment = false;
        } else if (!InRecord) {
            if (Line.startsWith('#')) {
                InComment = true;
            } else if (!InComment || !Line.startsWith(' ')) {
                InRecord = true;
                if ((Line.front() >= '0' && Line.front() <= '9') || StartsWithNoCase(Line, "include:")) {
                    QByteArray Copy = Line.toByteArray();
                    ParseLine(Copy.data(), Number);
                    Fail(Number, QStringLiteral("\"dn:\" erwartet"));
                }
            }
        }
    }
}

bool IsAttribute(const TAttributeLine& A, const char* Name) {
    return A.Attribute.compare(QLatin1String(Name), Qt::CaseInsensitive) == 0;
}

// The lines of one record as ldif_read_record hands it out (Work, changed as it is read; Raw a
// copy), whose first line is line First of the text.
void ReadRecord(char* Work, const QByteArray& Raw, int First, bool& AtStart, std::vector<TRecord>& Records) {
    bool InRecord = false;
    int Number = First;
    qsizetype Counted = 0; // Number is the line of this offset
    char* Next = Work;
    while (char* Line = ldif_getline(&Next)) {
        const qsizetype Offset = Line - Work;
        Number += int(QByteArrayView(Raw).sliced(Counted, Offset - Counted).count('\n'));
        Counted = Offset;
        if (*Line == ' ')
            Fail(Number, QStringLiteral("Fortsetzungszeile ohne eine Zeile, die sie fortsetzt"));
        TAttributeLine A = ParseLine(Line, Number);
        const bool IsDn = IsAttribute(A, "dn");
        if (AtStart) {
            AtStart = false;
            if (IsAttribute(A, "version")) {
                if (A.Value.trimmed() != "1")
                    Fail(Number, QStringLiteral("nur \"version: 1\" wird unterstützt"));
                continue;
            }
        }
        if (!InRecord) {
            if (!IsDn)
                Fail(Number, QStringLiteral("\"dn:\" erwartet"));
            Records.push_back({Number, {}});
            InRecord = true;
        } else if (IsDn) {
            Fail(Number, QStringLiteral("ein zweites \"dn:\" in einem Eintrag (Leerzeile fehlt)"));
        } else if (IsAttribute(A, "changetype") || IsAttribute(A, "control")) {
            Fail(Number,
                 QStringLiteral("Änderungseinträge (\"%1:\") werden nicht unterstützt").arg(A.Attribute));
        }
        Records.back().Lines.append(std::move(A));
    }
}

} // namespace

std::vector<TRecord> ReadRecords(const QByteArray& Text) {
    std::vector<TRecord> Records;
    if (Text.isEmpty())
        return Records;
    const std::vector<qsizetype> Starts = LineStarts(Text);
    CheckBeforeLibldap(Text, Starts);

    QByteArray Input = Text;
    LDIFFP* File = ldif_open_mem(Input.data(), size_t(Input.size()), "r");
    if (!File)
        throw EDirectoryError(QStringLiteral("Der LDIF-Text kann nicht gelesen werden"));
    char* Buffer = nullptr;
    int Size = 0;
    const auto Close = qScopeGuard([&] {
        ldif_close(File);
        ber_memfree(Buffer);
    });
    bool AtStart = true;
    unsigned long LastLine = 0; // the record's last line, or the blank line after it
    int Read;
    while ((Read = ldif_read_record(File, &LastLine, &Buffer, &Size)) > 0) {
        const QByteArray Raw(Buffer);
        int First = int(LastLine) - int(Raw.count('\n')) + 1;
        if (LastLine <= Starts.size() && LineOf(Text, Starts, int(LastLine)).isEmpty())
            --First;
        ReadRecord(Buffer, Raw, First, AtStart, Records);
    }
    if (Read < 0)
        throw EDirectoryError(QStringLiteral("Der LDIF-Text kann nicht gelesen werden"));
    return Records;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool NeedsBase64(const QByteArray& Value) {
    if (Value.isEmpty())
        return false;
    const char First = Value.front();
    if (First == ' ' || First == ':' || First == '<' || Value.back() == ' ')
        return true;
    for (char C : Value) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U < 0x20 || U >= 0x7F)
            return true;
    }
    return false;
}

namespace {
// libldap folds text one column later than base64: both give lines of at most 76 characters,
// continued lines with a blank and 75.
constexpr ber_len_t TextWrap = 75;
constexpr ber_len_t Base64Wrap = 76;

QByteArray Put(int Kind, const char* Name, const QByteArray& Value, ber_len_t Wrap) {
    char* Line = ldif_put_wrap(Kind, Name, Value.constData(), ber_len_t(Value.size()), Wrap);
    if (!Line)
        throw std::bad_alloc();
    QByteArray Result(Line);
    ber_memfree(Line);
    return Result;
}
} // namespace

QByteArray AttributeLine(const QByteArray& Attribute, const QByteArray& Value) {
    return NeedsBase64(Value) ? Put(LDIF_PUT_BINARY, Attribute.constData(), Value, Base64Wrap)
                              : Put(LDIF_PUT_TEXT, Attribute.constData(), Value, TextWrap);
}

// Not folded: a fold would split the UTF-8 of a long name.
QByteArray CommentLine(const QByteArray& Text) {
    return Put(LDIF_PUT_COMMENT, nullptr, Text, LDIF_LINE_WIDTH_MAX);
}

void Fail(int Line, const QString& Message) {
    throw EDirectoryError(QStringLiteral("LDIF-Zeile %1: %2").arg(Line).arg(Message));
}

QString Utf8(const QByteArray& Bytes, int Line) {
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Decoder.decode(Bytes);
    if (Decoder.hasError())
        Fail(Line, QStringLiteral("ungültiges UTF-8"));
    return Text;
}

} // namespace Ldif
