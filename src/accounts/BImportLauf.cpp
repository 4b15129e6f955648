#include "BImportLauf.h"

#include "KontoAnlage.h"

#include <DirectoryBackend.h>
#include <EDirectoryError.h>
#include <ErrorText.h>
#include <Layouts.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

// A container the accounts may go into, with the names it holds, read once.
struct TZiel {
    bool Da = false;
    QString Fehler; // why it cannot take accounts
    QString Kurs;
    QSet<QString> Namen; // case-folded
};

TZiel ZielLesen(TNDK& Ndk, const QString& Container) {
    TZiel Z;
    if (!Ndk.EntryExists(Container)) {
        Z.Fehler = QStringLiteral("den Container %1 gibt es nicht").arg(TNDK::PathToDotted(Container));
        return Z;
    }
    const QString Layout = Ndk.GetEntryLayout(Container);
    if (!IsContainerLayout(Layout)) {
        Z.Fehler = QStringLiteral("%1 ist kein Container (%2)").arg(TNDK::PathToDotted(Container), Layout);
        return Z;
    }
    Z.Da = true;
    Z.Kurs = Ndk.GetShortName(Container);
    TStringList Liste;
    Ndk.SetFilters(QString());
    Ndk.ListEntries(Container, Liste);
    for (const QString& Name : Liste.Texts())
        Z.Namen.insert(Name.toCaseFolded());
    return Z;
}

} // namespace

int TBImportPlan::Neu() const {
    return int(std::count_if(Konten.begin(), Konten.end(), [](const TKonto& K) { return !K.Vorhanden; }));
}

TBImportPlan TBImportLauf::Pruefen(const QByteArray& Datei, const TBImportStart& Start) {
    if (!FNdk.EntryExists(Start.Template))
        throw EDirectoryError(
            QStringLiteral("Das Template %1 gibt es nicht.").arg(TNDK::PathToDotted(Start.Template)));
    KontoAnlage::HomeRechte(FNdk, Start.Template); // a template without rights refuses the whole file
    QHash<QString, TZiel> Ziele;                   // case-folded full name -> the container
    if (!Start.Container.isEmpty()) {
        const TZiel Z = ZielLesen(FNdk, Start.Container);
        if (!Z.Da)
            throw EDirectoryError(Z.Fehler.left(1).toUpper() + Z.Fehler.mid(1) + u'.');
        Ziele.insert(Start.Container.toCaseFolded(), Z);
    }

    BImport::TContent Inhalt = BImport::Read(Datei);
    TBImportPlan Plan;
    Plan.Fehler = std::move(Inhalt.Faults);
    QHash<QString, int> Gesehen; // case-folded account full name -> its line
    for (const BImport::TAccount& A : Inhalt.Accounts) {
        const QString Container =
            Start.Container.isEmpty() ? Start.Schueler + u'\\' + A.Course : Start.Container;
        const QString Schluessel = Container.toCaseFolded();
        auto Ziel = Ziele.find(Schluessel);
        if (Ziel == Ziele.end())
            Ziel = Ziele.insert(Schluessel, ZielLesen(FNdk, Container));
        if (!Ziel->Da) {
            Plan.Fehler.push_back({A.Line, Ziel->Fehler});
            continue;
        }
        const QString Benutzer = (Container + u'\\' + A.Name).toCaseFolded();
        if (const auto Frueher = Gesehen.constFind(Benutzer); Frueher != Gesehen.constEnd()) {
            Plan.Fehler.push_back({A.Line, QStringLiteral("den Namen %1 nennt schon Zeile %2 für denselben "
                                                          "Container")
                                               .arg(A.Name)
                                               .arg(*Frueher)});
            continue;
        }
        Gesehen.insert(Benutzer, A.Line);
        Plan.Konten.push_back({A, Container, Ziel->Kurs, Ziel->Namen.contains(A.Name.toCaseFolded())});
    }
    std::stable_sort(Plan.Fehler.begin(), Plan.Fehler.end(),
                     [](const BImport::TFault& X, const BImport::TFault& Y) { return X.Line < Y.Line; });
    return Plan;
}

int TBImportLauf::Ausfuehren(const TBImportPlan& Plan, const TBImportStart& Start,
                             const std::function<void(const TBImportPlan::TKonto&)>& Erstellt) {
    if (!Plan.Fehler.empty())
        throw EDirectoryError(QStringLiteral("Die Datei hat Fehler; es wurde nichts angelegt."));
    const quint32 Rechte = KontoAnlage::HomeRechte(FNdk, Start.Template);
    int Neu = 0;
    TDirectoryTransaction Transaktion(FDirectory);
    for (const TBImportPlan::TKonto& K : Plan.Konten) {
        if (K.Vorhanden)
            continue;
        const BImport::TAccount& A = K.Zeile;
        try {
            const QString Benutzer = KontoAnlage::Anlegen(
                FNdk,
                {K.Container, A.Name, A.Surname, A.GivenName, A.FullName, Start.Template, K.Kurs, K.Kurs},
                Rechte);
            KontoAnlage::HomeFlagsSetzen(FNdk, Benutzer, Start.HomeFlags);
        } catch (...) {
            throw EDirectoryError(QStringLiteral("Zeile %1 (%2): %3 Es wurde nichts angelegt.")
                                      .arg(A.Line)
                                      .arg(A.Name, CurrentErrorText()));
        }
        ++Neu;
        if (Erstellt)
            Erstellt(K);
    }
    Transaktion.Commit();
    return Neu;
}
