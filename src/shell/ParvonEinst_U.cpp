#include "ParvonEinst_U.h"

#include <DialogBau.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TEinstDlg::TEinstDlg(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("EinstDlg"));
    setWindowTitle(QStringLiteral("Verzeichnis-Flags"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto Group = [this](const char* Name, const QString& Title, QCheckBox*& Di, const char* DiName,
                        QCheckBox*& Ri, const char* RiName) {
        auto* Box = new QGroupBox(Title, this);
        Box->setObjectName(QLatin1String(Name));
        Di = new QCheckBox(QStringLiteral("Delete inhibit"), Box);
        Di->setObjectName(QLatin1String(DiName));
        Ri = new QCheckBox(QStringLiteral("Rename Inhibit"), Box);
        Ri->setObjectName(QLatin1String(RiName));
        auto* L = new QVBoxLayout(Box);
        L->addWidget(Di);
        L->addWidget(Ri);
        return Box;
    };
    GroupBox1 = Group("GroupBox1", QStringLiteral("Homeverzeichnis - Flags"), chHomeDi, "chHomeDi", chHomeRi,
                      "chHomeRi");
    GroupBox2 = Group("GroupBox2", QStringLiteral("Tauschverzeichnis-Flags"), chTauschDi, "chTauschDi",
                      chTauschRi, "chTauschRi");

    DialogKnoepfe(*this, QStringLiteral("OK"), OKBtn, CancelBtn);

    auto* Boxes = new QVBoxLayout;
    Boxes->addWidget(GroupBox1);
    Boxes->addWidget(GroupBox2);
    auto* Buttons = new QVBoxLayout;
    Buttons->addWidget(OKBtn);
    Buttons->addWidget(CancelBtn);
    Buttons->addStretch(1);
    auto* Main = new QHBoxLayout(this);
    Main->addLayout(Boxes, 1);
    Main->addLayout(Buttons);

    GroupBox1->setMinimumWidth(200);
    setFixedSize(sizeHint());
    if (QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}
