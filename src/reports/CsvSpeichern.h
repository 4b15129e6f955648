#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QWidget;

// The context menu item "Als CSV speichern ..." of a list: an action of Liste (objectName Name)
// shown in its context menu.
QAction* CsvAktion(QWidget* Liste, const char* Name);

// Asks for a file with the save dialog (objectName "SaveDialogCsv", starting with Vorschlag) and
// writes the rows there as comma-separated values (see CsvText.h), replacing the file whole or not
// at all. Nothing happens when the dialog is cancelled; a file that cannot be written is named in
// an error box. True when the file was written.
bool CsvSpeichern(QWidget* Parent, const QString& Vorschlag, const QList<QStringList>& Zeilen);
