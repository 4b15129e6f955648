#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The dialog "Anmeldung am Verzeichnis": asks at start for the password with which the client
// binds to the LDAP server of a tree. The password goes to the client only; nothing keeps it.
class TLdapLogin : public QDialog {
    Q_OBJECT
public:
    TLdapLogin(QWidget* Parent, const QString& Tree, const QString& Url, const QString& BindDn,
               const QString& Problem);

    QLabel* laBaum;
    QLabel* laServer;
    QLabel* laBenutzer;
    QLabel* laFehler;
    QLineEdit* edKennwort;
    QPushButton* buOK;
    QPushButton* buAbbrechen;
};

// The client's password prompt: shows TLdapLogin through the modal seam; false when cancelled.
bool AskBindPassword(const QString& Tree, const QString& Url, const QString& BindDn, const QString& Problem,
                     QString& Password);
