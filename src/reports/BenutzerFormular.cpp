#include "BenutzerFormular.h"

#include <Clock.h>
#include <DruckTitel.h>
#include <PrintCanvas.h>
#include <StringList.h>
#include <ndk_u.h>

namespace {
// The form in 0.1 mm: the ruling's left edge and its distance from the right edge, the top line,
// the row height, the rows per page, and the column borders.
constexpr int Links = 200;
constexpr int RandRechts = 150;
constexpr int Oben = 350;
constexpr int Zeilenhoehe = 75;
constexpr int ZeilenProSeite = 30;
constexpr int Unten = Oben + (ZeilenProSeite + 1) * Zeilenhoehe; // 2675
constexpr int Spalten[] = {290, 810, 1230};
constexpr int Fusszeile = Unten + 10;

TPrintFont Arial(int Height, bool Bold = false) {
    return {QStringLiteral("Arial"), Height, Bold};
}

void Linien(TPrintCanvas& C, int Rechts) {
    // The header band and one band per row.
    for (int J = 0; J <= ZeilenProSeite + 1; ++J)
        C.Line(Links, -(Oben + Zeilenhoehe * J), Rechts, -(Oben + Zeilenhoehe * J));
    for (int X : {Links, Rechts, Spalten[0], Spalten[1], Spalten[2]})
        C.Line(X, -Oben, X, -Unten);
}

void Kopf(TPrintCanvas& C, const TDruckTitel& Titel) {
    C.SetFont(Arial(60, true));
    C.TextOut(Links, -100, Titel.Header1);
    C.SetFont(Arial(50));
    C.TextOut(Links, -190, Titel.Header2);
    C.SetFont(Arial(40, true));
    C.TextOut(310, -370, Titel.Spalte2);
    C.TextOut(840, -370, Titel.Spalte3);
    C.TextOut(1260, -370, Titel.Spalte4);
    C.SetFont(Arial(40));
}

// Text at (X, Y), cut at Rechts and at the row's text height.
void Zelle(TPrintCanvas& C, int X, int Y, int Rechts, const QString& Text) {
    C.TextRect({X, Y, Rechts, Y - 40}, X, Y, Text);
}

void Zeile(TPrintCanvas& C, int Reihe, int Nummer, const TFormularZeile& Z) {
    const int Y = -(370 + Zeilenhoehe * Reihe);
    C.TextOut(225, Y, QStringLiteral("%1.").arg(Nummer, 2));
    Zelle(C, 310, Y, 800, Z.Name);
    Zelle(C, 840, Y, 1220, Z.Anmeldename);
    if (Z.Spalte4)
        Zelle(C, 1250, Y, 1850, *Z.Spalte4);
}
} // namespace

QString BenutzerName(TNDK& Ndk, const QString& Benutzer) {
    const QString Name = Ndk.GetFieldValue(Benutzer, QStringLiteral("Full Name"));
    return Name.isEmpty() ? Ndk.GetFieldValue(Benutzer, QStringLiteral("Surname")) : Name;
}

int TBenutzerZeilen::Count() const {
    return FListe.Count();
}

TFormularZeile TBenutzerZeilen::Zeile(int Index) {
    const TNDSObj* Objekt = FListe.Object(Index);
    const QString Benutzer = Objekt ? Objekt->Text : QString();
    return {BenutzerName(FNdk, Benutzer), FListe.Text(Index), Spalte4(Benutzer)};
}

std::optional<QString> TBenutzerZeilen::Spalte4(const QString&) {
    return std::nullopt;
}

void FormularDrucken(TPrintCanvas& C, const TDruckTitel& Titel, TFormularZeilen& Zeilen) {
    const int N = Zeilen.Count();
    const int Seiten = N == 0 ? 1 : (N + ZeilenProSeite - 1) / ZeilenProSeite;
    const int Rechts = C.PrintableWidthMm() * 10 - RandRechts;
    for (int Seite = 1; Seite <= Seiten; ++Seite) {
        if (Seite > 1)
            C.NewPage();
        C.SetFont(Arial(40));
        C.SetTextAlign(TTextAlign::Left);
        Linien(C, Rechts);
        Kopf(C, Titel);
        const int Erste = (Seite - 1) * ZeilenProSeite;
        for (int K = Erste; K < N && K < Erste + ZeilenProSeite; ++K)
            Zeile(C, K - Erste + 1, K + 1, Zeilen.Zeile(K));

        C.SetFont(Arial(30));
        if (Seite == Seiten) {
            C.TextOut(Links, -Fusszeile, QStringLiteral("Anzahl der Benutzer: ") + QString::number(N));
            C.SetTextAlign(TTextAlign::Center);
            C.TextOut(1030, -Fusszeile, QStringLiteral("Stand ") + TClock::DateToStr(TClock::Today()));
        }
        if (Seiten > 1) {
            C.SetTextAlign(TTextAlign::Right);
            C.TextOut(Rechts, -Fusszeile, QStringLiteral("Seite %1/%2").arg(Seite).arg(Seiten));
        }
    }
    C.EndDoc();
}
