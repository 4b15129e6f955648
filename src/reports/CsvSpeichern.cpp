#include "CsvSpeichern.h"

#include <CsvText.h>
#include <FileDialog.h>
#include <ModalSeam.h>
#include <SaveFile.h>
#include <WaitCursor.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

QAction* CsvAktion(QWidget* Liste, const char* Name) {
    auto* Aktion = new QAction(QStringLiteral("Als CSV speichern ..."), Liste);
    Aktion->setObjectName(QLatin1String(Name));
    Liste->setContextMenuPolicy(Qt::ActionsContextMenu);
    Liste->addAction(Aktion);
    return Aktion;
}

bool CsvSpeichern(QWidget* Parent, const QString& Vorschlag, const QList<QStringList>& Zeilen) {
    QFileDialog Dialog(Parent);
    Dialog.setObjectName(QStringLiteral("SaveDialogCsv"));
    SetUpFileDialog(Dialog);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    // Replacing a file is asked through the seam below, not by the dialog itself.
    Dialog.setOption(QFileDialog::DontConfirmOverwrite);
    Dialog.setWindowTitle(QStringLiteral("Name und Pfad der CSV-Datei wählen"));
    Dialog.setNameFilters({QStringLiteral("CSV-Dateien (*.csv)"), QStringLiteral("Alle Dateien (*.*)")});
    Dialog.setDefaultSuffix(QStringLiteral("csv"));
    Dialog.selectFile(Vorschlag);
    if (TModalSeam::Exec(Dialog) != QDialog::Accepted)
        return false;
    const QString Datei = Dialog.selectedFiles().value(0);
    if (Datei.isEmpty())
        return false;
    const QString Name = QDir::toNativeSeparators(Datei);
    if (QFileInfo::exists(Datei) &&
        TModalSeam::Message(Parent, QMessageBox::Question, QStringLiteral("Bestätigung"),
                            Name + QStringLiteral(" existiert bereits.\nSoll die Datei ersetzt werden?"),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    QString Grund;
    bool Geschrieben;
    {
        TWaitCursor Wait;
        Geschrieben = SaveWhole(Datei, CsvText(Zeilen), Grund);
    }
    if (!Geschrieben) {
        TModalSeam::Error(Parent, Name + QStringLiteral(" kann nicht geschrieben werden (") + Grund +
                                      QStringLiteral(")."));
        return false;
    }
    return true;
}
