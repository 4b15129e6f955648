#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

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

// Decodes Data in encoding E; succeeds only when the text encodes back to exactly Data.
bool DecodeExactly(const QByteArray& Data, TIniFile::TEncoding E, QString& Text) {
    QStringDecoder Decoder(EncodingName(E), QStringConverter::Flag::Stateless);
    if (!Decoder.isValid())
        return false;
    Text = Decoder.decode(Data);
    if (Decoder.hasError())
        return false;
    QStringEncoder Encoder(EncodingName(E), QStringConverter::Flag::Stateless);
    const QByteArray Back = Encoder.encode(Text);
    return !Encoder.hasError() && Back == Data;
}

// Windows-1252 maps every byte to one character (the five unassigned bytes to the C1 controls), so
// this decoding always succeeds and always round-trips.
QString DecodeWindows1252(const QByteArray& Data) {
    QStringDecoder Decoder("Windows-1252", QStringConverter::Flag::Stateless);
    if (Decoder.isValid())
        return Decoder.decode(Data);
    return QString::fromLatin1(Data);
}

QString OneLine(QString Text) {
    Text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    Text.replace(u'\r', u' ');
    Text.replace(u'\n', u' ');
    return Text;
}

} // namespace

TIniFile::TIniFile(const QString& FileName) : FFileName(FileName) {
    FSections.append(TSection{});  // the lines before the first section
    QFileInfo Info(FileName);
    if (!Info.exists())
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

void TIniFile::Parse(const QByteArray& Data) {
    QString Text;
    bool Decoded = false;
    if (Data.startsWith("\xEF\xBB\xBF")) {
        FBom = true;
        FEncoding = TEncoding::Utf8;
        const QByteArray Body = Data.mid(3);
        Decoded = DecodeExactly(Body, TEncoding::Utf8, Text);
        if (!Decoded) {
            FEncoding = TEncoding::Windows1252;
            Text = DecodeWindows1252(Body);
            Decoded = true;
        }
    } else if (Data.startsWith("\xFF\xFE") || Data.startsWith("\xFE\xFF")) {
        const TEncoding E = Data.startsWith("\xFF\xFE") ? TEncoding::Utf16LE : TEncoding::Utf16BE;
        const QByteArray Body = Data.mid(2);
        if (DecodeExactly(Body, E, Text)) {
            FBom = true;
            FEncoding = E;
            Decoded = true;
        }
    }
    if (!Decoded) {
        FBom = false;
        if (DecodeExactly(Data, TEncoding::Utf8, Text)) {
            FEncoding = TEncoding::Utf8;
        } else {
            FEncoding = TEncoding::Windows1252;
            Text = DecodeWindows1252(Data);
        }
    }

    bool EndSeen = false;
    qsizetype Pos = 0;
    const qsizetype Size = Text.size();
    while (Pos < Size) {
        qsizetype Nl = Text.indexOf(u'\n', Pos);
        TLine Line;
        if (Nl < 0) {
            Line.Text = Text.mid(Pos);
            Line.End = EndNone;
            Pos = Size;
        } else {
            qsizetype Stop = Nl;
            Line.End = EndLF;
            if (Stop > Pos && Text.at(Stop - 1) == u'\r') {
                --Stop;
                Line.End = EndCRLF;
            }
            Line.Text = Text.mid(Pos, Stop - Pos);
            Pos = Nl + 1;
            if (!EndSeen) {
                FDefaultEnd = Line.End;
                EndSeen = true;
            }
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
    }
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

const TIniFile::TSection* TIniFile::FindSection(const QString& Section) const {
    const QString Name = Section.trimmed();
    for (const TSection& S : FSections)
        if (S.HasHeader && S.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &S;
    return nullptr;
}

TIniFile::TSection* TIniFile::FindSection(const QString& Section) {
    return const_cast<TSection*>(std::as_const(*this).FindSection(Section));
}

int TIniFile::FindKey(const TSection& S, const QString& Key) {
    const QString Name = Key.trimmed();
    for (int I = S.HasHeader ? 1 : 0; I < S.Lines.size(); ++I) {
        QStringView K;
        qsizetype V;
        if (SplitSetting(S.Lines.at(I).Text, K, V) && K.compare(Name, Qt::CaseInsensitive) == 0)
            return I;
    }
    return -1;
}

bool TIniFile::SectionExists(const QString& Section) const { return FindSection(Section) != nullptr; }

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
    const QString K = OneLine(Key).trimmed();
    const QString V = OneLine(Value);
    TSection* S = FindSection(Section);
    if (!S) {
        // A new section goes to the end of the file, set off by a blank line from what is there.
        TSection& Last = FSections.last();
        if (!Last.Lines.isEmpty() && !Last.Lines.last().Text.trimmed().isEmpty())
            Last.Lines.append(TLine{QString(), FDefaultEnd});
        TSection New;
        New.Name = OneLine(Section).trimmed();
        New.HasHeader = true;
        New.Lines.append(TLine{u'[' + New.Name + u']', FDefaultEnd});
        FSections.append(std::move(New));
        S = &FSections.last();
    }
    const int I = FindKey(*S, K);
    if (I >= 0) {
        TLine& Line = S->Lines[I];
        QStringView Dummy;
        qsizetype Start = 0;
        SplitSetting(Line.Text, Dummy, Start);
        Line.Text = Line.Text.left(Start) + V;
        return;
    }
    // New keys follow the section's last non-blank line, so blank lines before the next section stay
    // where they are.
    int At = int(S->Lines.size());
    while (At > (S->HasHeader ? 1 : 0) && S->Lines.at(At - 1).Text.trimmed().isEmpty())
        --At;
    S->Lines.insert(At, TLine{K + u'=' + V, FDefaultEnd});
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

QByteArray TIniFile::Encode(const QString& Text) const {
    QStringEncoder Encoder(EncodingName(FEncoding), QStringConverter::Flag::Stateless);
    return Encoder.encode(Text);
}

QByteArray TIniFile::Serialize() const {
    // Collect the text first and encode once: per-line encoder calls would cost far more on large
    // files than the one pass.
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
        }
    }
    QByteArray Out;
    if (FBom) {
        switch (FEncoding) {
        case TEncoding::Utf8:
        case TEncoding::Windows1252:
            Out = QByteArray("\xEF\xBB\xBF");
            break;
        case TEncoding::Utf16LE:
            Out = QByteArray("\xFF\xFE");
            break;
        case TEncoding::Utf16BE:
            Out = QByteArray("\xFE\xFF");
            break;
        }
    }
    Out += Encode(Text);
    return Out;
}

void TIniFile::UpdateFile() const {
    const QString Shown = QDir::toNativeSeparators(FFileName);
    auto Fail = [&](const QString& Reason) {
        throw EIniFileError(QStringLiteral("Die Datei %1 kann nicht gespeichert werden:\n%2").arg(Shown, Reason));
    };
    if (!FReadError.isEmpty())
        Fail(QStringLiteral("Sie konnte nicht gelesen werden (%1).").arg(FReadError));
    const QByteArray Data = Serialize();
    QSaveFile File(FFileName);
    if (!File.open(QIODevice::WriteOnly))
        Fail(File.errorString());
    if (File.write(Data) != Data.size()) {
        const QString Reason = File.errorString();
        File.cancelWriting();
        Fail(Reason);
    }
    if (!File.commit())
        Fail(File.errorString());
}
