#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

// Small builders for windows and dialogs; every widget gets its object name.

// A label Name showing Text.
inline QLabel* NeuesLabel(QWidget* Parent, const char* Name, const QString& Text) {
    auto* L = new QLabel(Text, Parent);
    L->setObjectName(QLatin1String(Name));
    return L;
}

// A sunken white panel Name that holds preview lines.
inline QFrame* VorschauFeld(QWidget* Parent, const char* Name) {
    auto* F = new QFrame(Parent);
    F->setObjectName(QLatin1String(Name));
    F->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    F->setAutoFillBackground(true);
    QPalette Pal = F->palette();
    Pal.setColor(QPalette::Window, Qt::white);
    F->setPalette(Pal);
    return F;
}

// The buttons of a modal dialog: "OKBtn" with OkText, the default button, accepts; "CancelBtn"
// ("Abbrechen") rejects.
inline void DialogKnoepfe(QDialog& Dlg, const QString& OkText, QPushButton*& Ok, QPushButton*& Cancel) {
    Ok = new QPushButton(OkText, &Dlg);
    Ok->setObjectName(QStringLiteral("OKBtn"));
    Ok->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("Abbrechen"), &Dlg);
    Cancel->setObjectName(QStringLiteral("CancelBtn"));
    QObject::connect(Ok, &QPushButton::clicked, &Dlg, &QDialog::accept);
    QObject::connect(Cancel, &QPushButton::clicked, &Dlg, &QDialog::reject);
}

// An edit that follows an enabling switch: the window colour (white) while enabled, the button face
// while not.
inline void EditFarbe(QLineEdit* Edit, bool Enabled) {
    const QColor Colour =
        Enabled ? QColor(Qt::white) : Edit->palette().color(QPalette::Active, QPalette::Button);
    QPalette Pal = Edit->palette();
    if (Pal.color(QPalette::Active, QPalette::Base) == Colour &&
        Pal.color(QPalette::Disabled, QPalette::Base) == Colour)
        return;
    Pal.setColor(QPalette::Base, Colour);
    Edit->setPalette(Pal);
}
