#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The tree choice: lists the trees the workstation is connected to; the access object fills
// ComboBox1 and reads the chosen tree from its text.
class TTreeSelect : public QDialog {
    Q_OBJECT
public:
    explicit TTreeSelect(QWidget* Parent = nullptr);

    QLabel* Label4;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* Event) override;
};
