#include "DialogBau.h"

#include <QComboBox>
#include <QToolButton>

QLabel* NeuesLabel(QWidget* Parent, const char* Name, const QString& Text) {
    auto* L = new QLabel(Text, Parent);
    L->setObjectName(QLatin1String(Name));
    return L;
}

QLabel* VorschauZeile(QWidget* Parent, const char* Name) {
    QLabel* L = NeuesLabel(Parent, Name, QString());
    L->setTextFormat(Qt::PlainText);
    L->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return L;
}

QFrame* VorschauFeld(QWidget* Parent, const char* Name) {
    auto* F = new QFrame(Parent);
    F->setObjectName(QLatin1String(Name));
    F->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    F->setAutoFillBackground(true);
    QPalette Pal = F->palette();
    Pal.setColor(QPalette::Window, Qt::white);
    F->setPalette(Pal);
    return F;
}

QLineEdit* NeuesEdit(QWidget* Parent, const char* Name, bool NurLesen, const QString& Hint) {
    auto* E = new QLineEdit(Parent);
    E->setObjectName(QLatin1String(Name));
    if (NurLesen)
        E->setReadOnly(true);
    if (!Hint.isEmpty())
        E->setToolTip(Hint);
    return E;
}

QComboBox* NeueAuswahlBox(QWidget* Parent, const char* Name) {
    auto* C = new QComboBox(Parent);
    C->setObjectName(QLatin1String(Name));
    C->setEditable(true);
    C->setInsertPolicy(QComboBox::NoInsert);
    return C;
}

QToolButton* AuswahlKnopf(QWidget* Parent, const char* Name, const QString& Hint) {
    auto* B = new QToolButton(Parent);
    B->setObjectName(QLatin1String(Name));
    B->setText(QStringLiteral("..."));
    B->setFixedSize(26, 23);
    if (!Hint.isEmpty())
        B->setToolTip(Hint);
    return B;
}

void DialogKnoepfe(QDialog& Dlg, const QString& OkText, QPushButton*& Ok, QPushButton*& Cancel) {
    Ok = new QPushButton(OkText, &Dlg);
    Ok->setObjectName(QStringLiteral("OKBtn"));
    Ok->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("Abbrechen"), &Dlg);
    Cancel->setObjectName(QStringLiteral("CancelBtn"));
    QObject::connect(Ok, &QPushButton::clicked, &Dlg, &QDialog::accept);
    QObject::connect(Cancel, &QPushButton::clicked, &Dlg, &QDialog::reject);
}

void EditFarbe(QLineEdit* Edit, bool Enabled) {
    const QColor Colour =
        Enabled ? QColor(Qt::white) : Edit->palette().color(QPalette::Active, QPalette::Button);
    QPalette Pal = Edit->palette();
    if (Pal.color(QPalette::Active, QPalette::Base) == Colour &&
        Pal.color(QPalette::Disabled, QPalette::Base) == Colour)
        return;
    Pal.setColor(QPalette::Base, Colour);
    Edit->setPalette(Pal);
}
