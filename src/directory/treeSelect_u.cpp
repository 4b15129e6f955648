#include "treeSelect_u.h"

#include <DialogBau.h>

#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TTreeSelect::TTreeSelect(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("TreeSelect"));
    setWindowTitle(QStringLiteral("Treeauswahl"));
    setModal(true);

    Label4 = NeuesLabel(this, "Label4", QStringLiteral("Sie sind mit mehreren Bäumen verbunden."));
    Label2 = NeuesLabel(this, "Label2", QStringLiteral("wählen Sie in der Auswahlliste den  Baum, "));
    Label3 = NeuesLabel(this, "Label3", QStringLiteral("mit dem das Programm verbunden werden soll."));
    Label1 = NeuesLabel(this, "Label1", QStringLiteral("gewählter Baum"));
    QFont Bold = Label1->font();
    Bold.setBold(true);
    Label1->setFont(Bold);

    ComboBox1 = NeueAuswahlBox(this, "ComboBox1");
    ComboBox1->setMinimumWidth(280);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Label4);
    Layout->addWidget(Label2);
    Layout->addWidget(Label3);
    Layout->addSpacing(8);
    Layout->addWidget(Label1);
    Layout->addWidget(ComboBox1);
    Layout->addSpacing(8);
    Layout->addWidget(Button1, 0, Qt::AlignHCenter);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TTreeSelect::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (QScreen* S = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect R = frameGeometry();
        R.moveCenter(S->availableGeometry().center());
        move(R.topLeft());
    }
}
