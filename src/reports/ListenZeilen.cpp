#include "ListenZeilen.h"

#include "BenutzerFormular.h"
#include "ListenHilfen.h"

#include <Names.h>
#include <StringList.h>
#include <ndk_u.h>

#include <algorithm>

namespace KlassenListe {

QStringList Spalten() {
    return {QStringLiteral("Klasse"), QStringLiteral("Schülerzahl"), QStringLiteral("Tausch"),
            QStringLiteral("Rechte")};
}

QStringList Namen(TNDK& Ndk, const QString& Schueler) {
    const TFilter Filter(Ndk, QStringLiteral("Organizational Unit"));
    TStringList Liste;
    Ndk.ListEntries(Schueler, Liste);
    QStringList Klassen = Liste.Texts();
    std::sort(Klassen.begin(), Klassen.end(),
              [](const QString& A, const QString& B) { return CompareAsRead(A, B) < 0; });
    return Klassen;
}

int Anzahl(TNDK& Ndk, const QString& Schueler) {
    const TFilter Filter(Ndk, QStringLiteral("Organizational Unit"));
    return Ndk.CountEntries(Schueler);
}

void Tausch(TNDK& Ndk, const QString& Schueler, const QString& TauschBase, const QString& Klasse,
            QString& Tausch, QString& Rechte) {
    const QString Ordner = TauschBase + u'\\' + Klasse;
    const bool Da = Ndk.DirectoryExists(Ordner);
    Tausch = Da ? QStringLiteral("ja") : QStringLiteral("-");
    Rechte = Da ? Ndk.GetTrusteeRights(Ordner, Schueler + u'\\' + Klasse) : QString();
}

QString Schuelerzahl(TNDK& Ndk, const QString& Schueler, const QString& Klasse) {
    const int N = Ndk.CountEntries(Schueler + u'\\' + Klasse);
    return N > 0 ? QString::number(N) : QStringLiteral("-");
}

QList<QStringList> Zeilen(TNDK& Ndk, const QString& Schueler, const QString& TauschBase) {
    QList<QStringList> Rows{Spalten()};
    for (const QString& Klasse : Namen(Ndk, Schueler)) {
        QString T, R;
        Tausch(Ndk, Schueler, TauschBase, Klasse, T, R);
        Rows.append({Klasse, QString(), T, R});
    }
    const TFilter Filter(Ndk, QStringLiteral("User"));
    for (qsizetype I = 1; I < Rows.size(); ++I)
        Rows[I][1] = Schuelerzahl(Ndk, Schueler, Rows[I][0]);
    return Rows;
}

} // namespace KlassenListe

namespace SchuelerListe {

QStringList Spalten() {
    return {QStringLiteral("Voller Name"), QStringLiteral("Anmeldenamen")};
}

QString Text(const TZeile& Z) {
    return u' ' + Z.Name.leftJustified(28) + u' ' + Z.Anmeldename.leftJustified(10);
}

std::vector<TZeile> Lesen(TNDK& Ndk, const QString& Klasse) {
    TStringList Liste;
    Ndk.ListEntries(Klasse, Liste);
    std::vector<TZeile> Zeilen;
    Zeilen.reserve(size_t(Liste.Count()));
    for (int I = 0; I < Liste.Count(); ++I) {
        const QString Benutzer = Liste.Object(I) ? Liste.Object(I)->Text : QString();
        Zeilen.push_back({BenutzerName(Ndk, Benutzer), Liste.Text(I), Benutzer});
    }
    std::stable_sort(Zeilen.begin(), Zeilen.end(),
                     [](const TZeile& A, const TZeile& B) { return CompareAsRead(Text(A), Text(B)) < 0; });
    return Zeilen;
}

QList<QStringList> Tabelle(const std::vector<TZeile>& Liste) {
    QList<QStringList> Rows{Spalten()};
    for (const TZeile& Z : Liste)
        Rows.append({Z.Name, Z.Anmeldename});
    return Rows;
}

} // namespace SchuelerListe
