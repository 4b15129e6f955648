#pragma once

#include <QDialog>
#include <QWidget>

class QLabel;
class QPushButton;

// The picture of the information window: a school house with its network, drawn in code.
class TInfoBild : public QWidget {
    Q_OBJECT
public:
    explicit TInfoBild(QWidget* Parent = nullptr);
    QSize sizeHint() const override { return QSize(240, 170); }

protected:
    void paintEvent(QPaintEvent* Event) override;
};

// The window "Info": the picture, the program's name and its build date.
class TInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit TInfoDlg(QWidget* Parent = nullptr);

    TInfoBild* Image1;
    QLabel* laProgramm;
    QLabel* laDatum;
    QPushButton* OKBtn;
};
