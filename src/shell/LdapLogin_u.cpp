#include "LdapLogin_u.h"

#include <ModalSeam.h>
#include <Secrets.h>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

TLdapLogin::TLdapLogin(QWidget* Parent, const QString& Tree, const QString& Url, const QString& BindDn,
                       const QString& Problem)
    : QDialog(Parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("LdapLogin"));
    setWindowTitle(QStringLiteral("Anmeldung am Verzeichnis"));
    setModal(true);

    auto MakeLabel = [this](const char* Name, const QString& Text) {
        auto* L = new QLabel(Text, this);
        L->setObjectName(QLatin1String(Name));
        L->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return L;
    };
    laBaum = MakeLabel("laBaum", Tree);
    laServer = MakeLabel("laServer", Url);
    laBenutzer = MakeLabel("laBenutzer", BindDn);
    laFehler = MakeLabel("laFehler", Problem);
    laFehler->setWordWrap(true);
    laFehler->setStyleSheet(QStringLiteral("color: #b00000"));
    laFehler->setVisible(!Problem.isEmpty());
    edKennwort = new QLineEdit(this);
    edKennwort->setObjectName(QStringLiteral("edKennwort"));
    edKennwort->setEchoMode(QLineEdit::Password);
    edKennwort->setMinimumWidth(260);

    buOK = new QPushButton(QStringLiteral("OK"), this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(true);
    buAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    buAbbrechen->setObjectName(QStringLiteral("buAbbrechen"));
    connect(buOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(buAbbrechen, &QPushButton::clicked, this, &QDialog::reject);

    auto* Intro = new QLabel(QStringLiteral("Der Verzeichnisbaum liegt auf einem LDAP-Server.\n"
                                            "Bitte geben Sie das Kennwort für die Anmeldung ein."),
                             this);
    auto* Form = new QFormLayout;
    Form->addRow(QStringLiteral("Baum:"), laBaum);
    Form->addRow(QStringLiteral("Server:"), laServer);
    Form->addRow(QStringLiteral("Benutzer:"), laBenutzer);
    Form->addRow(QStringLiteral("Kennwort:"), edKennwort);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(buOK);
    Buttons->addWidget(buAbbrechen);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Intro);
    Layout->addWidget(laFehler);
    Layout->addLayout(Form);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool AskBindPassword(const QString& Tree, const QString& Url, const QString& BindDn, const QString& Problem,
                     QString& Password) {
    TLdapLogin Dialog(nullptr, Tree, Url, BindDn,
                      Problem.isEmpty() ? QString() : QStringLiteral("Anmeldung fehlgeschlagen: ") + Problem);
    const bool Accepted = TModalSeam::Exec(Dialog) == QDialog::Accepted;
    // The field's characters are overwritten, typed or not, and only the caller's copy is left.
    TSecretText Typed(TakeSharedSecret(Dialog.edKennwort->text()));
    // setText drops the field's undo steps as well, which hold the typed characters.
    Dialog.edKennwort->setText(QString());
    if (Accepted) {
        Password = std::exchange(Typed.Text(), QString());
        return true;
    }
    // Said once here; the tree's calls then fail with the same reason, without asking again.
    TModalSeam::Error(nullptr,
                      QStringLiteral("Der Verzeichnisbaum „%1“ ist nicht erreichbar: Die Anmeldung am "
                                     "LDAP-Server %2 wurde abgebrochen.")
                          .arg(Tree, Url));
    return false;
}
