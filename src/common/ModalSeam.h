#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

// Every modal dialog, message box, file dialog and print dialog of the program is shown through
// this seam. In the program it calls exec(); a test installs handlers that fill the dialog's
// widgets by objectName and answer in place of a person.
class TModalSeam {
public:
    // A handler gets the dialog after it was set up and returns its result code (QDialog::Accepted,
    // QDialog::Rejected, or a QMessageBox::StandardButton for message boxes).
    using THandler = std::function<int(QDialog& Dialog)>;

    static int Exec(QDialog& Dialog);

    // Tests: handlers answer the next dialogs in order, one each. With the queue empty and
    // SetUnattended(true), a dialog is rejected and recorded instead of blocking.
    static void Push(THandler Handler);
    static void SetUnattended(bool On);
    static int Pending();
    static void Clear();
    // Titles and texts of the dialogs shown since the last Clear ("Title|Text" for message boxes,
    // the window title for other dialogs).
    static QStringList Shown();

    // Standard message boxes with German buttons. The box carries objectName "MessageBox".
    // Buttons: QMessageBox::Ok, Yes ("&Ja"), No ("&Nein"), Cancel ("Abbrechen").
    static QMessageBox::StandardButton Message(QWidget* Parent, QMessageBox::Icon Icon, const QString& Title,
                                               const QString& Text,
                                               QMessageBox::StandardButtons Buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton Default = QMessageBox::NoButton);
    static void Error(QWidget* Parent, const QString& Text);        // title "Fehler", OK
    static void Information(QWidget* Parent, const QString& Text);  // title "Information", OK
    // A plain box with the application's title and OK (the English layer messages).
    static void Plain(QWidget* Parent, const QString& Text);
};
