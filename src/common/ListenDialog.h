#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// A modal dialog Name (objectName) with a heading "laKopf" and the lines of a list in the read-only
// text "meListe", shown through the modal seam. With a question (OkText for the confirming button,
// "OKBtn", beside "CancelBtn" "Abbrechen") it answers whether the user confirmed; without one it has
// only "OKBtn" "OK".
bool ListeZeigen(QWidget* Parent, const QString& Name, const QString& Titel, const QString& Kopf,
                 const QStringList& Zeilen, const QString& OkText = QString());
