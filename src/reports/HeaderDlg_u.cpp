#include "HeaderDlg_u.h"

#include <DialogBau.h>
#include <DruckTitel.h>

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {
// The limits that fields with a length limit keep for typing.
constexpr const char* Grenze = "Grenze";

// Typing stops at Limit characters; a longer text set by the program stays whole and can be
// shortened, but never grow again.
QLineEdit* Feld(QWidget* Parent, const char* Name, int Limit = 0) {
    auto* E = new QLineEdit(Parent);
    E->setObjectName(QLatin1String(Name));
    if (Limit > 0) {
        E->setProperty(Grenze, Limit);
        E->setMaxLength(Limit);
        QObject::connect(E, &QLineEdit::textEdited, E,
                         [E, Limit] { E->setMaxLength(qMax(Limit, int(E->text().size()))); });
    }
    return E;
}

void Fuellen(QLineEdit* E, const QString& Text) {
    const int Limit = E->property(Grenze).toInt();
    if (Limit > 0)
        E->setMaxLength(qMax(Limit, int(Text.size())));
    E->setText(Text);
}
} // namespace

THeaderDlg::THeaderDlg(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("HeaderDlg"));
    setWindowTitle(QStringLiteral("Schülerliste drucken  - Beschriftung"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    Label1 = NeuesLabel(this, "Label1", QStringLiteral("Überschrift Zeile 2"));
    edHeader1 = Feld(this, "edHeader1");
    Label2 = NeuesLabel(this, "Label2", QStringLiteral("Überschrift Zeile 1"));
    edHeader2 = Feld(this, "edHeader2", 60);
    Label3 = NeuesLabel(this, "Label3", QStringLiteral("Spaltenüberschriften"));
    Label5 = NeuesLabel(this, "Label5", QStringLiteral("Spalte 2"));
    Label6 = NeuesLabel(this, "Label6", QStringLiteral("Spalte 3"));
    Label7 = NeuesLabel(this, "Label7", QStringLiteral("Spalte 4"));
    edSpalte2 = Feld(this, "edSpalte2", 22);
    edSpalte3 = Feld(this, "edSpalte3", 22);
    edSpalte4 = Feld(this, "edSpalte4", 20);
    Label1->setBuddy(edHeader1);
    Label2->setBuddy(edHeader2);

    DialogKnoepfe(*this, QStringLiteral("&Drucken"), OKBtn, CancelBtn);

    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(14, 12, 14, 12);
    Grid->setVerticalSpacing(3);
    Grid->addWidget(Label1, 0, 0, 1, 3);
    Grid->addWidget(edHeader1, 1, 0, 1, 3);
    Grid->setRowMinimumHeight(2, 8);
    Grid->addWidget(Label2, 3, 0, 1, 3);
    Grid->addWidget(edHeader2, 4, 0, 1, 3);
    Grid->setRowMinimumHeight(5, 12);
    Grid->addWidget(Label3, 6, 0, 1, 3);
    Grid->addWidget(Label5, 7, 0);
    Grid->addWidget(Label6, 7, 1);
    Grid->addWidget(Label7, 7, 2);
    Grid->addWidget(edSpalte2, 8, 0);
    Grid->addWidget(edSpalte3, 8, 1);
    Grid->addWidget(edSpalte4, 8, 2);
    Grid->setRowMinimumHeight(9, 12);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch(1);
    Buttons->addWidget(OKBtn);
    Buttons->addWidget(CancelBtn);
    Grid->addLayout(Buttons, 10, 0, 1, 3);

    setFixedSize(sizeHint().expandedTo(QSize(440, 0)));
    if (QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void THeaderDlg::Setzen(const TDruckTitel& Titel) {
    Fuellen(edHeader1, Titel.Header1);
    Fuellen(edHeader2, Titel.Header2);
    Fuellen(edSpalte2, Titel.Spalte2);
    Fuellen(edSpalte3, Titel.Spalte3);
    Fuellen(edSpalte4, Titel.Spalte4);
}

TDruckTitel THeaderDlg::Titel() const {
    return {edHeader1->text(), edHeader2->text(), edSpalte2->text(), edSpalte3->text(), edSpalte4->text()};
}
