#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

class QComboBox;
class QToolButton;

// Small builders for windows, tabs and dialogs; every widget gets its object name.

// A label Name showing Text.
QLabel* NeuesLabel(QWidget* Parent, const char* Name, const QString& Text);

// A line of a preview panel: plain text, cut at the panel's edge instead of widening the window.
QLabel* VorschauZeile(QWidget* Parent, const char* Name);

// A sunken white panel Name that holds preview lines.
QFrame* VorschauFeld(QWidget* Parent, const char* Name);

// An edit Name; a read-only one is filled by the program (a picker) alone. Hint is its tool tip.
QLineEdit* NeuesEdit(QWidget* Parent, const char* Name, bool NurLesen = false,
                     const QString& Hint = QString());

// An editable combo box Name whose typed text is not added to its items.
QComboBox* NeueAuswahlBox(QWidget* Parent, const char* Name);

// The small button Name ("...") beside an edit that opens a picker for it; Hint is its tool tip.
QToolButton* AuswahlKnopf(QWidget* Parent, const char* Name, const QString& Hint = QString());

// The buttons of a modal dialog: "OKBtn" with OkText, the default button, accepts; "CancelBtn"
// ("Abbrechen") rejects.
void DialogKnoepfe(QDialog& Dlg, const QString& OkText, QPushButton*& Ok, QPushButton*& Cancel);

// An edit that follows an enabling switch: the window colour (white) while enabled, the button face
// while not.
void EditFarbe(QLineEdit* Edit, bool Enabled);
