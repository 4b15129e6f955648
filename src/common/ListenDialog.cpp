#include "ListenDialog.h"

#include "DialogBau.h"
#include "ModalSeam.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

bool ListeZeigen(QWidget* Parent, const QString& Name, const QString& Titel, const QString& Kopf,
                 const QStringList& Zeilen, const QString& OkText) {
    QDialog Dlg(Parent);
    Dlg.setObjectName(Name);
    Dlg.setWindowTitle(Titel);
    auto* Layout = new QVBoxLayout(&Dlg);
    QLabel* Heading = NeuesLabel(&Dlg, "laKopf", Kopf);
    Heading->setWordWrap(true);
    Layout->addWidget(Heading);
    auto* Liste = new QPlainTextEdit(&Dlg);
    Liste->setObjectName(QStringLiteral("meListe"));
    Liste->setReadOnly(true);
    Liste->setLineWrapMode(QPlainTextEdit::NoWrap);
    Liste->setPlainText(Zeilen.join(u'\n'));
    Liste->setMinimumSize(720, 360);
    Layout->addWidget(Liste);
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
    DialogKnoepfe(Dlg, OkText.isEmpty() ? QStringLiteral("OK") : OkText, Ok, Cancel);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(Ok);
    if (OkText.isEmpty())
        Cancel->hide();
    else
        Buttons->addWidget(Cancel);
    Layout->addLayout(Buttons);
    return TModalSeam::Exec(Dlg) == QDialog::Accepted && !OkText.isEmpty();
}
