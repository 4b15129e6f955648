#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
struct TDruckTitel;

// The dialog "Schülerliste drucken  - Beschriftung": the captions of the ruled printout. It has no
// behaviour of its own: the caller fills it with the captions and takes them back after "&Drucken".
// The field labelled "Überschrift Zeile 2" holds the first, bold heading line. The length limits
// hold for typing: a longer caption set by the program is shown and kept whole.
class THeaderDlg : public QDialog {
    Q_OBJECT
public:
    explicit THeaderDlg(QWidget* Parent = nullptr);

    void Setzen(const TDruckTitel& Titel);
    TDruckTitel Titel() const;

private:
    QLabel* Label1;
    QLineEdit* edHeader1;
    QLabel* Label2;
    QLineEdit* edHeader2;
    QLabel* Label3;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLineEdit* edSpalte2;
    QLineEdit* edSpalte3;
    QLineEdit* edSpalte4;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};
