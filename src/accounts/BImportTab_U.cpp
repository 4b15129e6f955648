#include "BImportTab_U.h"

#include "BImportDatei.h"

#include <ErrorGuard.h>
#include <FileDialog.h>
#include <Konfiguration.h>
#include <MaskFormat.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <optional>

TBImportTab::TBImportTab(const TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk) {
    setObjectName(QStringLiteral("TabBimport"));
    BuildUi();
    Connect();
}

void TBImportTab::Connect() {
    ConnectGuarded(spKurs, &QToolButton::clicked, this, &TBImportTab::spKursClick);
    ConnectGuarded(edKurs, &QLineEdit::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(spZahl, &QSpinBox::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(cbName, &QComboBox::editTextChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(edMaske1, &QLineEdit::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(Button1, &QPushButton::clicked, this, &TBImportTab::Button1Click);
    // The tab is entered when the keyboard focus moves into one of its controls.
    ConnectGuarded(qApp, &QApplication::focusChanged, this, [this](QWidget* Old, QWidget* Now) {
        if (Now && isAncestorOf(Now) && !(Old && isAncestorOf(Old)))
            UpdateBImportPreview();
    });
}

void TBImportTab::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    Guarded(this, [this] { UpdateBImportPreview(); });
}

int TBImportTab::Zahl() const {
    bool Ok = false;
    const int N = spZahl->cleanText().toInt(&Ok);
    return Ok ? N : 0;
}

TBImportEingaben TBImportTab::Eingaben() const {
    return {FBImportMask, edKurs->text(), cbName->currentText(), Zahl()};
}

void TBImportTab::spKursClick() {
    TNDK& Ndk = Erreichbar(FNdk);
    QString Sel;
    if (!ChoosePicker(this, Ndk, TPickerKind::Kurs, K.ouSchueler, Sel))
        return;
    edKurs->setText(Ndk.GetShortName(Sel));
    edMaske1->setText(edKurs->text() + QStringLiteral("_B%%"));
}

void TBImportTab::UpdateBImportPreview() {
    const std::optional<QString> Pattern = MaskPattern(edMaske1->text());
    if (!Pattern)
        return;
    FBImportMask = *Pattern;
    const TBImportEingaben E = Eingaben();
    lafirst->setText(BImportZeile(E, 1));
    laLast->setText(BImportZeile(E, E.Zahl));
}

void TBImportTab::Button1Click() {
    // The mask as the preview shows it, also when no input has changed since the start.
    UpdateBImportPreview();

    QFileDialog SaveDialog1(this);
    SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
    SetUpFileDialog(SaveDialog1);
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setWindowTitle(QStringLiteral("Name und Pfad der BImport-Datei wählen"));
    SaveDialog1.setNameFilters({QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Alle Dateien (*.*)")});
    SaveDialog1.setDefaultSuffix(QStringLiteral("txt"));
    if (!FDateiName.isEmpty())
        SaveDialog1.selectFile(FDateiName);
    if (TModalSeam::Exec(SaveDialog1) != QDialog::Accepted)
        return;
    const QStringList Files = SaveDialog1.selectedFiles();
    if (Files.isEmpty() || Files.first().isEmpty())
        return;
    FDateiName = Files.first();

    std::optional<TWaitCursor> Wait(std::in_place);
    if (BImportSchreiben(FDateiName, Eingaben()))
        return;
    Wait.reset();
    TModalSeam::Message(this, QMessageBox::Critical, QStringLiteral("Fehler"),
                        QDir::toNativeSeparators(FDateiName) + QStringLiteral(" kann nicht angelegt werden."),
                        QMessageBox::Cancel);
}
