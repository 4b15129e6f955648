#include "BImportFormat.h"

#include <Names.h>

#include <QStringConverter>

namespace BImport {

namespace {

const QString Expected = QStringLiteral("erwartet werden fünf Felder, jedes in Anführungszeichen und durch "
                                        "Kommas getrennt: \"Name\",\"Kurs\",\"Nachname\",\"Vorname\","
                                        "\"Voller Name\"");

// The fields of a line, or the fault of its form.
bool Split(const QString& Text, QStringList& Fields, QString& Fault) {
    Fields.clear();
    qsizetype I = 0;
    while (true) {
        const int Number = int(Fields.size()) + 1;
        if (I >= Text.size() || Text[I] != u'"') {
            Fault =
                QStringLiteral("Feld %1 beginnt nicht mit einem Anführungszeichen; ").arg(Number) + Expected;
            return false;
        }
        const qsizetype End = Text.indexOf(u'"', I + 1);
        if (End < 0) {
            Fault =
                QStringLiteral("Feld %1 endet nicht mit einem Anführungszeichen; ").arg(Number) + Expected;
            return false;
        }
        Fields << Text.mid(I + 1, End - I - 1);
        I = End + 1;
        if (I == Text.size())
            break;
        if (Text[I] != u',') {
            Fault =
                QStringLiteral("nach Feld %1 folgt kein Komma (Anführungszeichen im Feld?); ").arg(Number) +
                Expected;
            return false;
        }
        ++I;
    }
    if (Fields.size() != FieldCount) {
        Fault = QStringLiteral("die Zeile hat %1 Felder; ").arg(Fields.size()) + Expected;
        return false;
    }
    return true;
}

QString ControlFault(const QStringList& Fields) {
    static const char* const Names[] = {"Name", "Kurs", "Nachname", "Vorname", "Voller Name"};
    for (int F = 0; F < FieldCount; ++F)
        for (const QChar C : Fields[F])
            if (C.category() == QChar::Other_Control)
                return QStringLiteral("Feld %1 (%2) enthält ein Steuerzeichen (Code %3)")
                    .arg(F + 1)
                    .arg(QLatin1String(Names[F]))
                    .arg(C.unicode());
    return QString();
}

} // namespace

QString Line(const QStringList& Fields) {
    return u'"' + Fields.join(QStringLiteral("\",\"")) + u'"';
}

TContent Read(const QByteArray& File) {
    TContent Content;
    const auto Fault = [&](int Line, const QString& Text) { Content.Faults.push_back({Line, Text}); };
    if (File.startsWith("\xEF\xBB\xBF")) {
        Fault(1, QStringLiteral("die Datei beginnt mit der Kennung von UTF-8; erwartet wird Windows-1252 "
                                "ohne Kennung"));
        return Content;
    }
    int Number = 0;
    qsizetype Start = 0;
    while (Start < File.size()) {
        ++Number;
        const qsizetype Feed = File.indexOf('\n', Start);
        const qsizetype Stop = Feed < 0 ? File.size() : Feed;
        QByteArrayView Bytes(File.constData() + Start, Stop - Start);
        Start = Stop + 1;
        if (Feed < 0) {
            Fault(Number, QStringLiteral("die letzte Zeile endet nicht mit CR LF"));
            continue;
        }
        if (!Bytes.endsWith('\r')) {
            Fault(Number, QStringLiteral("die Zeile endet mit LF allein statt mit CR LF"));
            continue;
        }
        Bytes.chop(1);
        if (Bytes.contains('\r')) {
            Fault(Number, QStringLiteral("die Zeile enthält ein CR, das kein Zeilenende ist"));
            continue;
        }
        if (Bytes.isEmpty()) {
            Fault(Number, QStringLiteral("die Zeile ist leer"));
            continue;
        }
        QStringDecoder Decoder(CodePage, QStringConverter::Flag::Stateless);
        const QString Text = Decoder.decode(Bytes);
        if (!Decoder.isValid() || Decoder.hasError()) {
            Fault(Number, QStringLiteral("die Zeile ist kein Text in Windows-1252"));
            continue;
        }
        QStringList Fields;
        QString Why;
        if (!Split(Text, Fields, Why)) {
            Fault(Number, Why);
            continue;
        }
        if (const QString Control = ControlFault(Fields); !Control.isEmpty()) {
            Fault(Number, Control);
            continue;
        }
        if (const QString Name = NameFault(Fields[0]); !Name.isEmpty()) {
            Fault(Number,
                  QStringLiteral("der Name \"%1\" taugt nicht als Objektname: %2").arg(Fields[0], Name));
            continue;
        }
        if (const QString Course = NameFault(Fields[1]); !Course.isEmpty()) {
            Fault(Number,
                  QStringLiteral("der Kurs \"%1\" taugt nicht als Objektname: %2").arg(Fields[1], Course));
            continue;
        }
        if (Fields[2].trimmed().isEmpty()) {
            Fault(Number, QStringLiteral("der Nachname (Feld 3) ist leer"));
            continue;
        }
        Content.Accounts.push_back({Number, Fields[0], Fields[1], Fields[2], Fields[3], Fields[4]});
    }
    return Content;
}

QStringList FaultLines(const std::vector<TFault>& Faults) {
    QStringList Lines;
    for (const TFault& F : Faults)
        Lines << QStringLiteral("Zeile %1: %2").arg(F.Line).arg(F.Text);
    return Lines;
}

} // namespace BImport
