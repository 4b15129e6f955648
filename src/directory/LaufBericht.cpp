#include "LaufBericht.h"

TRunChange LaufFehler(const QString& Was, const QString& Grund) {
    TRunChange C;
    C.Kind = TRunChange::TKind::Failure;
    C.Target = Was;
    C.Detail = Grund;
    return C;
}

QStringList ProbelaufZeilen(const TLaufBericht& Bericht) {
    QStringList Zeilen;
    for (const TRunChange& C : Bericht.Aenderungen)
        Zeilen << ChangeLines(C, true);
    if (Bericht.Aenderungen.empty())
        Zeilen << QStringLiteral("Keine Änderungen.");
    if (!Bericht.Protokoll.isEmpty()) {
        Zeilen << QString() << QStringLiteral("Protokoll des Laufs:");
        for (const QString& L : Bericht.Protokoll)
            Zeilen << QStringLiteral("    ") + L;
    }
    return Zeilen;
}

TProbeNdk::TProbeNdk(TNDK& Real, QWidget* Owner)
    : Dry(Real.Client()), Ndk(Owner, Dry.Client(), Real.TreePrefix()) {
    Ndk.StreamFolder = Real.StreamFolder;
    Ndk.Meldungen = [this](const QString& Text) { Dry.Record(LaufFehler(QStringLiteral("Meldung"), Text)); };
}
