#include "LoginZettel.h"

#include <IPTools_u.h>
#include <ListenHilfen.h>
#include <PrintCanvas.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QHash>
#include <algorithm>

namespace {
// An address as four numbers without leading zeros, "" when the text is none.
QString Adresse(const QString& Text) {
    if (!IsDottedQuad(Text))
        return QString();
    try {
        const auto O = IpOctets(Text);
        return QStringLiteral("%1.%2.%3.%4").arg(O[0]).arg(O[1]).arg(O[2]).arg(O[3]);
    } catch (const std::exception&) {
        return QString();
    }
}

// The slip grid: its left and top edge, the size of a slip, in 0.1 mm.
constexpr int Links = 100;
constexpr int Oben = -100;
constexpr int Hoehe = 500;
constexpr int Spalten = 2;
constexpr int Zeilen = ZettelProSeite / Spalten;
constexpr int Marke = 40; // half the length of a cut mark

void Schnittmarken(TPrintCanvas& C, int Breite) {
    for (int S = 0; S <= Spalten; ++S)
        for (int Z = 0; Z <= Zeilen; ++Z) {
            const int X = Links + S * Breite;
            const int Y = Oben - Z * Hoehe;
            C.Line(X - Marke, Y, X + Marke, Y);
            C.Line(X, Y + Marke, X, Y - Marke);
        }
}

void Zettel(TPrintCanvas& C, int X, int Y, int Breite, const TLoginZettel& Z, const QString& Datum,
            const QString& Passwort) {
    const int Rechts = X + Breite - 60;
    auto Zeile = [&](int Unten, int Hoch, bool Fett, const QString& Text) {
        C.SetFont({QStringLiteral("Arial"), Hoch, Fett});
        C.TextRect({X + 60, Y - Unten, Rechts, Y - Unten - Hoch}, X + 60, Y - Unten, Text);
    };
    Zeile(50, 40, false, QStringLiteral("Anmeldung am ") + Datum);
    Zeile(110, 60, true, Z.Name);
    Zeile(200, 40, false, QStringLiteral("Anmeldename: ") + Z.Name);
    Zeile(260, 40, false,
          QStringLiteral("Arbeitsplatz: ") +
              (Z.Arbeitsplatz.isEmpty() ? QStringLiteral("beliebig") : Z.Arbeitsplatz));
    Zeile(320, 40, false, QStringLiteral("Raum: ") + Z.Raum);
    Zeile(380, 40, false, QStringLiteral("Passwort: ") + Passwort);
    if (Passwort.isEmpty())
        C.Line(X + 280, Y - 420, Rechts, Y - 420);
}
} // namespace

std::vector<TLoginZettel> LoginZettelLesen(TNDK& Ndk, const QString& Container,
                                           const QStringList& Workstations) {
    // Every address of a workstation names it, whatever network it is in.
    QHash<QString, qsizetype> Platz;
    for (qsizetype I = 0; I < Workstations.size(); ++I)
        for (const QString& Wert :
             Ndk.GetFieldValueList(Workstations[I], QStringLiteral("WM:Network Address"))
                 .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            if (const QString A = Adresse(Wert); !A.isEmpty() && !Platz.contains(A))
                Platz.insert(A, I);
    TStringList Liste;
    {
        const TFilter Filter(Ndk, QStringLiteral("User"));
        Ndk.ListEntries(Container, Liste);
    }
    std::vector<TLoginZettel> Zettel;
    Zettel.reserve(size_t(Liste.Count()));
    for (int I = 0; I < Liste.Count(); ++I) {
        TLoginZettel Z;
        Z.Name = Liste.Text(I);
        const QString Benutzer = Liste.Object(I) ? Liste.Object(I)->Text : Container + u'\\' + Z.Name;
        const QStringList Adressen =
            Ndk.GetNetworkAddresses(Benutzer).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (const QString& A : Adressen)
            if (const auto It = Platz.constFind(Adresse(A)); It != Platz.cend()) {
                const QString& Ws = Workstations[*It];
                Z.Arbeitsplatz = Ws.section(u'\\', -1);
                Z.Raum = Ws.section(u'\\', -2, -2);
                break;
            }
        if (Z.Arbeitsplatz.isEmpty() && !Adressen.isEmpty())
            Z.Arbeitsplatz = Adressen.first();
        Zettel.push_back(Z);
    }
    return Zettel;
}

void LoginZettelDrucken(TPrintCanvas& C, const std::vector<TLoginZettel>& Alle, const QString& Datum,
                        const QString& Passwort) {
    const int W = C.PrintableWidthMm() * 10;
    const int Breite = (W - 2 * Links) / Spalten;
    const int Seiten = std::max<int>(1, int((Alle.size() + ZettelProSeite - 1) / ZettelProSeite));
    C.SetTextAlign(TTextAlign::Left);
    for (int Seite = 0; Seite < Seiten; ++Seite) {
        if (Seite > 0)
            C.NewPage();
        Schnittmarken(C, Breite);
        for (int I = 0; I < ZettelProSeite; ++I) {
            const size_t K = size_t(Seite * ZettelProSeite + I);
            if (K >= Alle.size())
                break;
            Zettel(C, Links + (I % Spalten) * Breite, Oben - (I / Spalten) * Hoehe, Breite, Alle[K], Datum,
                   Passwort);
        }
        if (Seiten > 1) {
            C.SetFont({QStringLiteral("Arial"), 30, false});
            C.SetTextAlign(TTextAlign::Right);
            C.TextOut(W - Links, Oben - Zeilen * Hoehe - 60,
                      QStringLiteral("Seite %1/%2").arg(Seite + 1).arg(Seiten));
            C.SetTextAlign(TTextAlign::Left);
        }
    }
    C.EndDoc();
}
