#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

// Small builders for windows and dialogs; every widget gets its object name.

// A label Name showing Text.
inline QLabel* NeuesLabel(QWidget* Parent, const char* Name, const QString& Text) {
    auto* L = new QLabel(Text, Parent);
    L->setObjectName(QLatin1String(Name));
    return L;
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
