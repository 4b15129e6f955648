#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <SaveFile.h>

#include <utility>

namespace {

const char* EncodingName(TIniFile::TEncoding E) {
    switch (E) {
    case TIniFile::TEncoding::Utf8:
        return "UTF-8";
    case TIniFile::TEncoding::Utf16LE:
        return "UTF-16LE";
    case TIniFile::TEncoding::Utf16BE:
        return "UTF-16BE";
    case TIniFile::TEncoding::Windows1252:
        break;
    }
    return "Windows-1252";
}

QByteArray ByteOrderMark(TIniFile::TEncoding E) {
    switch (E) {
    case TIniFile::TEncoding::Utf16LE:
        return QByteArray("\xFF\xFE");
    case TIniFile::TEncoding::Utf16BE:
        return QByteArray("\xFE\xFF");
    case TIniFile::TEncoding::Utf8:
    case TIniFile::TEncoding::Windows1252:
        break;
    }
    return QByteArray("\xEF\xBB\xBF");
}

// Encodes Text in E; false when E cannot hold every character.
bool EncodeExactly(const QString& Text, TIniFile::TEncoding E, QByteArray& Data) {
    QStringEncoder Encoder(EncodingName(E), QStringConverter::Flag::Stateless);
    if (!Encoder.isValid())
        return false;
    Data = Encoder.encode(Text);
    return !Encoder.hasError();
}

// Decodes Data in E; succeeds only when the text encodes back to exactly Data.
bool DecodeExactly(const QByteArray& Data, TIniFile::TEncoding E, QString& Text) {
    QStringDecoder Decoder(EncodingName(E), QStringConverter::Flag::Stateless);
    if (!Decoder.isValid())
        return false;
    Text = Decoder.decode(Data);
    QByteArray Back;
    return !Decoder.hasError() && EncodeExactly(Text, E, Back) && Back == Data;
}

// Windows-1252 maps every byte to one character (the five unassigned bytes to the C1 controls), so
// this decoding always succeeds and always round-trips.
QString DecodeWindows1252(const QByteArray& Data) {
    QStringDecoder Decoder("Windows-1252", QStringConverter::Flag::Stateless);
    if (Decoder.isValid())
        return Decoder.decode(Data);
    return QString::fromLatin1(Data);
}

struct TDecoded {
    QString Text;
    TIniFile::TEncoding Encoding = TIniFile::TEncoding::Utf8;
    bool Bom = false;
};

// How the reader sees Data. Saving runs every candidate file through this too, so what it decides
// here is what the next read decides.
TDecoded Decode(const QByteArray& Data) {
    using E = TIniFile::TEncoding;
    TDecoded D;
    if (Data.startsWith("\xEF\xBB\xBF")) {
        D.Bom = true;
        const QByteArray Body = Data.mid(3);
        if (!DecodeExactly(Body, E::Utf8, D.Text)) {
            D.Encoding = E::Windows1252;
            D.Text = DecodeWindows1252(Body);
        }
        return D;
    }
    if (Data.startsWith("\xFF\xFE") || Data.startsWith("\xFE\xFF")) {
        D.Encoding = Data.startsWith("\xFF\xFE") ? E::Utf16LE : E::Utf16BE;
        D.Bom = true;
        if (DecodeExactly(Data.mid(2), D.Encoding, D.Text))
            return D;
        D.Bom = false;
    }
    D.Encoding = E::Utf8;
    if (!DecodeExactly(Data, E::Utf8, D.Text)) {
        D.Encoding = E::Windows1252;
        D.Text = DecodeWindows1252(Data);
    }
    return D;
}

// Line breaks in names and values become blanks, so they can never add lines to the file.
QString OneLine(QString Text) {
    Text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    Text.replace(u'\r', u' ');
    Text.replace(u'\n', u' ');
    return Text;
}

// A section or key name as it is matched and written.
QString NameOf(const QString& Name) {
    return OneLine(Name).trimmed();
}

} // namespace

TIniFile::TIniFile(const QString& FileName) : FFileName(FileName) {
    FSections.append(TSection{}); // the lines before the first section
    QFileInfo Info(FileName);
    if (FileName.isEmpty() || !Info.exists())
        return;
    if (Info.isDir()) {
        FReadError = QStringLiteral("Der Pfad ist ein Verzeichnis.");
        return;
    }
    if (!Info.isFile()) {
        // A device or a pipe could deliver bytes for ever or block the start.
        FReadError = QStringLiteral("Der Pfad ist keine gewöhnliche Datei.");
        return;
    }
    if (Info.size() > MaxFileSize) {
        FReadError = QStringLiteral("Die Datei ist zu groß.");
        return;
    }
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly)) {
        FReadError = File.errorString();
        return;
    }
    const QByteArray Data = File.readAll();
    if (File.error() != QFileDevice::NoError) {
        FReadError = File.errorString();
        return;
    }
    if (Data.size() > MaxFileSize) {
        FReadError = QStringLiteral("Die Datei ist zu groß.");
        return;
    }
    Parse(Data);
}

TIniFile TIniFile::FromBytes(const QByteArray& Data) {
    TIniFile Ini{QString()};
    Ini.Parse(Data);
    return Ini;
}

void TIniFile::Parse(const QByteArray& Data) {
    TDecoded D = Decode(Data);
    FEncoding = D.Encoding;
    FBom = D.Bom;
    const QString Text = std::move(D.Text);

    bool EndSeen = false;
    auto Add = [&](qsizetype From, qsizetype To, TLineEnd End) {
        TLine Line{Text.mid(From, To - From), End};
        if (End != EndNone && !EndSeen) {
            FDefaultEnd = End;
            EndSeen = true;
        }
        QString Name;
        if (IsSectionHeader(Line.Text, &Name)) {
            TSection S;
            S.Name = Name;
            S.HasHeader = true;
            S.Lines.append(std::move(Line));
            FSections.append(std::move(S));
        } else {
            FSections.last().Lines.append(std::move(Line));
        }
    };
    // CR, LF and CR LF each end a line.
    const QChar* P = Text.constData();
    const qsizetype Size = Text.size();
    qsizetype Start = 0;
    for (qsizetype I = 0; I < Size; ++I) {
        if (P[I] == u'\n') {
            Add(Start, I, EndLF);
            Start = I + 1;
        } else if (P[I] == u'\r') {
            const bool Pair = I + 1 < Size && P[I + 1] == u'\n';
            Add(Start, I, Pair ? EndCRLF : EndCR);
            I += Pair ? 1 : 0;
            Start = I + 1;
        }
    }
    if (Start < Size)
        Add(Start, Size, EndNone);
}

bool TIniFile::IsSectionHeader(const QString& Line, QString* Name) {
    const QStringView T = QStringView(Line).trimmed();
    if (!T.startsWith(u'['))
        return false;
    const qsizetype Close = T.indexOf(u']');
    if (Close < 0)
        return false;
    if (Name)
        *Name = T.mid(1, Close - 1).trimmed().toString();
    return true;
}

bool TIniFile::SplitSetting(const QString& Line, QStringView& Key, qsizetype& ValueStart) {
    const QStringView T(Line);
    qsizetype First = 0;
    while (First < T.size() && T.at(First).isSpace())
        ++First;
    if (First == T.size() || T.at(First) == u';')
        return false;
    const qsizetype Eq = T.indexOf(u'=', First);
    if (Eq < 0)
        return false;
    Key = T.mid(First, Eq - First).trimmed();
    if (Key.isEmpty())
        return false;
    ValueStart = Eq + 1;
    return true;
}

bool TIniFile::ReadsAs(const QString& Line, const QString& Key, const QString& Value) {
    QStringView K;
    qsizetype V = 0;
    return !IsSectionHeader(Line, nullptr) && SplitSetting(Line, K, V) &&
           K.compare(Key, Qt::CaseInsensitive) == 0 && QStringView(Line).mid(V) == Value;
}

const TIniFile::TSection* TIniFile::FindSection(const QString& Section) const {
    const QString Name = NameOf(Section);
    for (const TSection& S : FSections)
        if (S.HasHeader && S.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &S;
    return nullptr;
}

TIniFile::TSection* TIniFile::FindSection(const QString& Section) {
    return const_cast<TSection*>(std::as_const(*this).FindSection(Section));
}

int TIniFile::FindKey(const TSection& S, const QString& Key) {
    const QString Name = NameOf(Key);
    for (int I = S.HasHeader ? 1 : 0; I < S.Lines.size(); ++I) {
        QStringView K;
        qsizetype V;
        if (SplitSetting(S.Lines.at(I).Text, K, V) && K.compare(Name, Qt::CaseInsensitive) == 0)
            return I;
    }
    return -1;
}

bool TIniFile::SectionExists(const QString& Section) const {
    return FindSection(Section) != nullptr;
}

bool TIniFile::ValueExists(const QString& Section, const QString& Key) const {
    const TSection* S = FindSection(Section);
    return S && FindKey(*S, Key) >= 0;
}

QString TIniFile::ReadString(const QString& Section, const QString& Key, const QString& Default) const {
    const TSection* S = FindSection(Section);
    if (!S)
        return Default;
    const int I = FindKey(*S, Key);
    if (I < 0)
        return Default;
    QStringView K;
    qsizetype V = 0;
    SplitSetting(S->Lines.at(I).Text, K, V);
    return S->Lines.at(I).Text.mid(V);
}

void TIniFile::WriteString(const QString& Section, const QString& Key, const QString& Value) {
    const QString Name = NameOf(Section);
    const QString K = NameOf(Key);
    const QString V = OneLine(Value);
    TSection* S = FindSection(Name);
    const int I = S ? FindKey(*S, K) : -1;
    QString Text = K + u'=' + V;
    if (I >= 0) {
        QStringView Dummy;
        qsizetype Start = 0;
        SplitSetting(S->Lines.at(I).Text, Dummy, Start);
        Text = S->Lines.at(I).Text.left(Start) + V;
    }
    // Some settings cannot be written so that they read back as themselves: a key holding "=" or
    // starting with ";", a line that would pass for a section header, a section name holding "]".
    // Nothing is changed for them.
    const QString Header = u'[' + Name + u']';
    QString HeaderName;
    if (!ReadsAs(Text, K, V) || (!S && (!IsSectionHeader(Header, &HeaderName) || HeaderName != Name)))
        throw EIniFileError(SaveError(QStringLiteral("Die Einstellung „%1“ im Abschnitt „%2“ kann so nicht "
                                                     "geschrieben werden.")
                                          .arg(K, Name)));
    if (I >= 0) {
        S->Lines[I].Text = Text;
        return;
    }
    if (!S) {
        // A new section goes to the end of the file, set off by a blank line from what is there.
        TSection& Last = FSections.last();
        if (!Last.Lines.isEmpty() && !Last.Lines.last().Text.trimmed().isEmpty())
            Last.Lines.append(TLine{QString(), FDefaultEnd});
        TSection New;
        New.Name = Name;
        New.HasHeader = true;
        New.Lines.append(TLine{Header, FDefaultEnd});
        FSections.append(std::move(New));
        S = &FSections.last();
    }
    // New keys follow the section's last non-blank line, so blank lines before the next section stay
    // where they are.
    int At = int(S->Lines.size());
    while (At > (S->HasHeader ? 1 : 0) && S->Lines.at(At - 1).Text.trimmed().isEmpty())
        --At;
    S->Lines.insert(At, TLine{Text, FDefaultEnd});
}

QStringList TIniFile::Sections() const {
    QStringList L;
    for (const TSection& S : FSections)
        if (S.HasHeader)
            L << S.Name;
    return L;
}

QStringList TIniFile::Keys(const QString& Section) const {
    QStringList L;
    const TSection* S = FindSection(Section);
    if (!S)
        return L;
    for (int I = S->HasHeader ? 1 : 0; I < S->Lines.size(); ++I) {
        QStringView K;
        qsizetype V;
        if (SplitSetting(S->Lines.at(I).Text, K, V)) {
            bool Seen = false;
            for (const QString& Known : std::as_const(L))
                if (Known.compare(K, Qt::CaseInsensitive) == 0)
                    Seen = true;
            if (!Seen)
                L << K.toString();
        }
    }
    return L;
}

QString TIniFile::SaveError(const QString& Reason) const {
    return QStringLiteral("Die Datei %1 kann nicht gespeichert werden:\n%2")
        .arg(QDir::toNativeSeparators(FFileName), Reason);
}

QString TIniFile::FileText() const {
    QString Text;
    qsizetype Total = 0;
    for (const TSection& S : FSections)
        for (const TLine& L : S.Lines)
            Total += L.Text.size() + 2;
    Text.reserve(Total);
    const TLine* LastLine = nullptr;
    for (const TSection& S : FSections)
        for (const TLine& L : S.Lines)
            LastLine = &L;
    for (const TSection& S : FSections) {
        for (const TLine& L : S.Lines) {
            Text += L.Text;
            TLineEnd End = L.End;
            // A line that had no line end gets one when lines now follow it.
            if (End == EndNone && &L != LastLine)
                End = FDefaultEnd;
            if (End == EndLF)
                Text += u'\n';
            else if (End == EndCRLF)
                Text += QLatin1String("\r\n");
            else if (End == EndCR)
                Text += u'\r';
        }
    }
    return Text;
}

QByteArray TIniFile::Serialize() const {
    // The file keeps its encoding and byte order mark unless the new content would then read
    // differently (a character the encoding lacks, or bytes that the reader would now take for
    // another encoding); UTF-8 holds every character, so it is the way out. Every candidate
    // is decoded the way the next read will decode it, and only one that gives back the same text
    // is taken.
    const QString Content = FileText();
    const std::pair<TEncoding, bool> Candidates[] = {
        {FEncoding, FBom}, {TEncoding::Utf8, FBom}, {TEncoding::Utf8, true}};
    for (const auto& [Encoding, Bom] : Candidates) {
        QByteArray Out;
        if (!EncodeExactly(Content, Encoding, Out))
            continue;
        if (Bom)
            Out.prepend(ByteOrderMark(Encoding));
        if (Decode(Out).Text == Content)
            return Out;
    }
    throw EIniFileError(SaveError(QStringLiteral("Ein neuer Wert enthält Zeichen, die sich in dieser Datei "
                                                 "nicht speichern lassen.")));
}

void TIniFile::UpdateFile() const {
    auto Fail = [&](const QString& Reason) { throw EIniFileError(SaveError(Reason)); };
    if (!FReadError.isEmpty())
        Fail(QStringLiteral("Sie konnte nicht gelesen werden (%1).").arg(FReadError));
    const QByteArray Data = Serialize();
    QString Reason;
    if (!SaveWhole(FFileName, Data, Reason))
        Fail(Reason);
}
