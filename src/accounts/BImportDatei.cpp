#include "BImportDatei.h"

#include "BImportFormat.h"

#include <MaskFormat.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringList>
#include <SaveFile.h>

namespace {

using BImport::CodePage;
constexpr qsizetype Block = 64 * 1024;

QStringEncoder Encoder() {
    QStringEncoder E(CodePage, QStringConverter::Flag::Stateless);
    if (!E.isValid())
        throw EBImportError(QStringLiteral("Der Zeichensatz Windows-1252 steht auf diesem Rechner nicht zur "
                                           "Verfügung; die BImport-Datei kann nicht geschrieben werden."));
    return E;
}

// Whether the code page holds the character: it comes back unchanged from its byte.
bool InCodePage(const QString& Character) {
    QStringEncoder E = Encoder();
    const QByteArray Bytes = E.encode(Character);
    QStringDecoder D(CodePage, QStringConverter::Flag::Stateless);
    const QString Back = D.decode(Bytes);
    return !E.hasError() && !D.hasError() && Back == Character;
}

// Refuses a text whose characters the file cannot hold; Feld names the input as the tab labels it.
void Pruefen(const QString& Text, const QString& Feld) {
    const auto Refuse = [&](const QString& Character, const QString& Why) {
        throw EBImportError(QStringLiteral("Das Zeichen „") + Character + QStringLiteral("“ im Feld „") +
                            Feld + QStringLiteral("“ ") + Why +
                            QStringLiteral(" Es wurde keine Datei geschrieben."));
    };
    for (const char32_t Code : Text.toUcs4()) {
        const QString Character = QString::fromUcs4(&Code, 1);
        if (Code == U'"')
            Refuse(Character,
                   QStringLiteral("ist in der BImport-Datei nicht erlaubt: es begrenzt dort die Felder."));
        if (Code >= 0x80 && !InCodePage(Character))
            Refuse(Character, QStringLiteral("kann in der BImport-Datei (Zeichensatz Windows-1252) nicht "
                                             "gespeichert werden."));
    }
}

QString DateiText(const QString& Name) {
    return QStringLiteral("Die Datei „") + QDir::toNativeSeparators(Name) + QStringLiteral("“");
}

} // namespace

QString BImportZeile(const TBImportEingaben& E, int Nummer) {
    const QString Name = FormatMask(E.Maske, Nummer);
    return BImport::Line({Name, E.Kurs, Name, E.Vorname, E.Vorname + u' ' + Name});
}

bool BImportSchreiben(const QString& Name, const TBImportEingaben& E) {
    if (E.Maske.isEmpty())
        throw EBImportError(QStringLiteral("Die Maske für Namensgebung enthält kein „%%“ für die Nummer der "
                                           "Benutzer. Es wurde keine Datei geschrieben."));
    Pruefen(E.Kurs, QStringLiteral("Raum- bzw. Kursbezeichnung"));
    Pruefen(E.Vorname, QStringLiteral("Attribut Vorname"));
    Pruefen(E.Maske, QStringLiteral("Maske für Namensgebung"));
    if (E.Zahl > 0)
        BImportZeile(E, 1); // a mask the formatter refuses fails before the file is touched

    // A file that may not be written is not replaced either.
    const QFileInfo Info(Name);
    if (Info.exists() && (!Info.isFile() || !Info.isWritable()))
        return false;
    QSaveFile File(Name);
    QString Reason;
    if (!OpenForSaving(File, Reason))
        return false;
    const auto Failed = [&] {
        return EBImportError(
            DateiText(Name) + QStringLiteral(" konnte nicht geschrieben werden (") + Reason +
            QStringLiteral("). Eine bereits vorhandene Datei dieses Namens ist unverändert."));
    };
    QStringEncoder Bytes = Encoder();
    QByteArray Buffer;
    Buffer.reserve(Block + 256);
    for (qint64 I = 1; I <= E.Zahl; ++I) {
        Buffer += Bytes.encode(BImportZeile(E, int(I)) + QLatin1String(BImport::LineEnd));
        if (Buffer.size() >= Block || I == E.Zahl) {
            if (!WriteWhole(File, Buffer, Reason))
                throw Failed();
            Buffer.clear();
        }
    }
    if (!CommitSaving(File, Reason))
        throw Failed();
    return true;
}
