#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;

// The dialog "Verzeichnis-Flags": which attributes new class and exchange directories get. It has
// no behaviour of its own; the main window fills it and takes over the result.
class TEinstDlg : public QDialog {
    Q_OBJECT
public:
    explicit TEinstDlg(QWidget* Parent = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* chHomeDi;
    QCheckBox* chHomeRi;
    QGroupBox* GroupBox2;
    QCheckBox* chTauschDi;
    QCheckBox* chTauschRi;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};
