// The exam tab's end of an exam, its login slips and the password field's eye button.

#include "KAUserTab_U.h"

#include "LoginZettel.h"
#include "PruefungEnde.h"
#include "SpinEdit.h"
#include "ZipArchiv.h"

#include <Clock.h>
#include <DialogBau.h>
#include <FileDialog.h>
#include <LaufSperre.h>
#include <ListenHilfen.h>
#include <ModalSeam.h>
#include <PrintDialog.h>
#include <Secrets.h>
#include <StringList.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace {
// The confirmation that lists what ending the exam does; true for "Prüfung beenden".
bool Bestaetigen(QWidget* Parent, const QStringList& Zeilen) {
    QDialog Dlg(Parent);
    Dlg.setObjectName(QStringLiteral("PruefungBeendenDlg"));
    Dlg.setWindowTitle(QStringLiteral("Prüfung beenden"));
    auto* Layout = new QVBoxLayout(&Dlg);
    Layout->addWidget(
        NeuesLabel(&Dlg, "laPlan",
                   QStringLiteral("Beim Beenden der Prüfung geschieht Folgendes. Die Konten können "
                                  "sich danach nicht mehr anmelden.")));
    auto* Plan = new QPlainTextEdit(&Dlg);
    Plan->setObjectName(QStringLiteral("mePlan"));
    Plan->setReadOnly(true);
    Plan->setLineWrapMode(QPlainTextEdit::NoWrap);
    Plan->setPlainText(Zeilen.join(u'\n'));
    Plan->setMinimumSize(620, 320);
    Layout->addWidget(Plan, 1);
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
    DialogKnoepfe(Dlg, QStringLiteral("Prüfung beenden"), Ok, Cancel);
    auto* Knoepfe = new QHBoxLayout;
    Knoepfe->addStretch(1);
    Knoepfe->addWidget(Ok);
    Knoepfe->addWidget(Cancel);
    Layout->addLayout(Knoepfe);
    // Nothing is changed unless asked for explicitly.
    Cancel->setDefault(true);
    Cancel->setFocus();
    return TModalSeam::Exec(Dlg) == QDialog::Accepted;
}

// The zip file to collect into, chosen with the save dialog; "" when cancelled.
QString ArchivWaehlen(QWidget* Parent, const QString& Vorschlag) {
    QFileDialog SaveDialog(Parent);
    SaveDialog.setObjectName(QStringLiteral("SaveDialogArchiv"));
    SetUpFileDialog(SaveDialog);
    // The confirmation lists an existing file as replaced.
    SaveDialog.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog.setFileMode(QFileDialog::AnyFile);
    SaveDialog.setWindowTitle(QStringLiteral("Archiv der Prüfungsdateien wählen"));
    SaveDialog.setNameFilters({QStringLiteral("Zip-Archive (*.zip)"), QStringLiteral("Alle Dateien (*.*)")});
    SaveDialog.setDefaultSuffix(QStringLiteral("zip"));
    SaveDialog.selectFile(Vorschlag);
    if (TModalSeam::Exec(SaveDialog) != QDialog::Accepted)
        return QString();
    const QStringList Files = SaveDialog.selectedFiles();
    return Files.value(0);
}

// The slips' options: whether the password goes on them, and which. False when cancelled.
bool ZettelOptionen(QWidget* Parent, std::optional<QString>& Passwort) {
    QDialog Dlg(Parent);
    Dlg.setObjectName(QStringLiteral("LoginZettelDlg"));
    Dlg.setWindowTitle(QStringLiteral("Anmeldezettel drucken"));
    auto* Layout = new QVBoxLayout(&Dlg);
    auto* Mit = new QCheckBox(QStringLiteral("Passwort auf die Zettel drucken"), &Dlg);
    Mit->setObjectName(QStringLiteral("chZettelPasswort"));
    QLineEdit* Text =
        NeuesEdit(&Dlg, "edZettelPasswort", false,
                  QStringLiteral("Das Passwort, das die Konten haben; es wird nirgends gespeichert"));
    Text->setEchoMode(QLineEdit::Password);
    Text->setEnabled(false);
    QObject::connect(Mit, &QCheckBox::toggled, Text, &QWidget::setEnabled);
    Layout->addWidget(Mit);
    Layout->addWidget(Text);
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
    DialogKnoepfe(Dlg, QStringLiteral("Drucken"), Ok, Cancel);
    auto* Knoepfe = new QHBoxLayout;
    Knoepfe->addStretch(1);
    Knoepfe->addWidget(Ok);
    Knoepfe->addWidget(Cancel);
    Layout->addLayout(Knoepfe);
    if (TModalSeam::Exec(Dlg) != QDialog::Accepted)
        return false;
    Passwort.reset();
    if (Mit->isChecked())
        Passwort = Text->text();
    return true;
}
} // namespace

void TKAUserTab::spPassZeigenClick(bool Zeigen) {
    edPass->setEchoMode(Zeigen ? QLineEdit::Normal : QLineEdit::Password);
    spPassZeigen->setToolTip(Zeigen ? QStringLiteral("Passwort verbergen")
                                    : QStringLiteral("Passwort zeigen"));
}

void TKAUserTab::buPruefungBeendenClick() {
    if (FLaeuft)
        return;
    TNDK& N = Erreichbar(FNdk);
    spBenutzerZahl->Uebernehmen();
    spBenutzerVon->Uebernehmen();
    UpdateExamPreview();
    TPruefungEndeStart Start;
    Start.Container = N.DottedToPath(edKursU->text());
    Start.Maske = FExamUserMask;
    Start.Von = spBenutzerVon->Wert();
    Start.Zahl = spBenutzerZahl->value();

    TPruefungEnde Ende(N, [this](int Schritt, int Schritte, const QString& Aktion) {
        ProgressBar1->setRange(0, std::max(1, Schritte));
        ProgressBar1->setValue(Schritt);
        laAktion->setText(Aktion);
        laFortschritt->setText(QString::number(Schritt) + u'/' + QString::number(Schritte));
        Nachrichten();
        return !FStopp;
    });
    std::optional<TWaitCursor> Wait(std::in_place);
    const TPruefungEndePlan Plan = Ende.Planen(Start);
    Wait.reset();
    if (std::none_of(Plan.Konten.begin(), Plan.Konten.end(), [](const auto& K) { return K.Vorhanden; })) {
        TModalSeam::Information(this, QStringLiteral("In ") + edKursU->text() +
                                          QStringLiteral(" gibt es keines der Konten ") + laUsers->text() +
                                          QStringLiteral("."));
        return;
    }
    const QString Kurs = N.GetShortName(Start.Container);
    Start.Archiv = ArchivWaehlen(
        this, QDir::home().filePath(Kurs + u'_' + TClock::Today().toString(QStringLiteral("yyyy-MM-dd")) +
                                    QStringLiteral(".zip")));
    if (Start.Archiv.isEmpty())
        return;
    // The accounts' changes as a dry run makes them, which is what the journal will hold.
    Wait.emplace();
    QStringList Zeilen = Plan.Zeilen(Start.Archiv);
    Zeilen << QString() << QStringLiteral("Änderungen (Probelauf, noch ist nichts geschehen):")
           << ProbelaufZeilen(PruefungEndeProbelauf(N, Start, this));
    Wait.reset();
    if (!Bestaetigen(this, Zeilen))
        return;

    FStopp = false;
    buCreateUser->setEnabled(false);
    const TLaufSperre Lauf(FLaeuft, buPruefungBeenden, [this] { LaufKnoepfe(); });
    laNewUser->clear();
    laRestrNew->clear();
    laRestrNew->setToolTip(QString());
    Wait.emplace();
    TPruefungEndeErgebnis E;
    try {
        E = Ende.Ausfuehren(Start);
    } catch (const EArchivFehler&) {
        // The window closes: the run ended before any account was changed, as it was asked to.
        if (FStopp)
            return;
        throw;
    }
    Wait.reset();
    laAktion->setText(QStringLiteral("Prüfung beendet"));
    laNewUser->setText(QStringLiteral("%1 Konten gesperrt, %2 Dateien (%3 Byte) in %4")
                           .arg(E.Gesperrt.size())
                           .arg(E.Dateien)
                           .arg(E.Bytes)
                           .arg(QDir::toNativeSeparators(Start.Archiv)));
    const QStringList Hinweise = E.Fehler + E.Ausgelassen;
    if (!Hinweise.isEmpty()) {
        laRestrNew->setText(QStringLiteral("%1 nicht gesperrt, %2 nicht gesammelt (Einzelheiten im Hinweis)")
                                .arg(E.Fehler.size())
                                .arg(E.Ausgelassen.size()));
        laRestrNew->setToolTip(Hinweise.join(u'\n'));
    }
    if (!E.Fehler.isEmpty())
        TModalSeam::Message(this, QMessageBox::Warning, QStringLiteral("Fehler"),
                            QStringLiteral("Diese Konten wurden nicht gesperrt:\n") + E.Fehler.join(u'\n'));
}

void TKAUserTab::spPrintSlipsClick() {
    TNDK& N = Erreichbar(FNdk);
    std::optional<QString> Passwort;
    if (!ZettelOptionen(this, Passwort))
        return;
    const auto Wischen = qScopeGuard([&Passwort] {
        if (Passwort)
            WipeSecret(*Passwort);
    });
    const QString Container = N.DottedToPath(edKursU->text());
    std::vector<TLoginZettel> Zettel;
    {
        const TWaitCursor Wait;
        Zettel = LoginZettelLesen(N, Container, FWorkstations.ObjectTexts());
    }
    if (Zettel.empty()) {
        TModalSeam::Information(this, QStringLiteral("Im Container ") + edKursU->text() +
                                          QStringLiteral(" gibt es keine Benutzer."));
        return;
    }
    if (!PrintDialog1.ShowDialog(this))
        return;
    const TWaitCursor Wait;
    const auto Canvas = PrintDialog1.BeginCanvas();
    LoginZettelDrucken(*Canvas, Zettel, TClock::DateToStr(TClock::Today()), Passwort.value_or(QString()));
}
