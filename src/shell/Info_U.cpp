#include "Info_U.h"

#include "Parvon_U.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

TInfoBild::TInfoBild(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("Image1"));
    setFixedSize(sizeHint());
}

void TInfoBild::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.setRenderHint(QPainter::Antialiasing);
    const qreal W = width(), H = height();

    // Sky and lawn.
    QLinearGradient Sky(0, 0, 0, H);
    Sky.setColorAt(0, QColor(120, 170, 225));
    Sky.setColorAt(0.75, QColor(215, 232, 248));
    P.fillRect(rect(), Sky);
    P.fillRect(QRectF(0, H * 0.78, W, H * 0.22), QColor(110, 165, 90));

    // The school house: a main block with a hipped roof, a clock and rows of windows.
    const QRectF House(20, 62, 130, 72);
    P.setPen(QPen(QColor(90, 60, 40), 1.2));
    P.setBrush(QColor(226, 196, 150));
    P.drawRect(House);
    QPainterPath Roof;
    Roof.moveTo(House.left() - 8, House.top());
    Roof.lineTo(House.left() + 22, House.top() - 30);
    Roof.lineTo(House.right() - 22, House.top() - 30);
    Roof.lineTo(House.right() + 8, House.top());
    Roof.closeSubpath();
    P.setBrush(QColor(170, 60, 45));
    P.drawPath(Roof);
    P.setBrush(Qt::white);
    P.drawEllipse(QPointF(House.center().x(), House.top() - 13), 8, 8);
    P.drawLine(QPointF(House.center().x(), House.top() - 13), QPointF(House.center().x(), House.top() - 19));
    P.drawLine(QPointF(House.center().x(), House.top() - 13), QPointF(House.center().x() + 5, House.top() - 13));
    P.setBrush(QColor(250, 240, 170));
    for (int Row = 0; Row < 2; ++Row)
        for (int Col = 0; Col < 5; ++Col) {
            if (Row == 1 && Col == 2)
                continue;
            P.drawRect(QRectF(House.left() + 9 + Col * 24, House.top() + 9 + Row * 30, 14, 16));
        }
    P.setBrush(QColor(120, 75, 45));
    P.drawRect(QRectF(House.center().x() - 8, House.bottom() - 26, 16, 26));

    // The network: a server beside the house, wired to three workstations.
    const QRectF Server(182, 60, 26, 48);
    const QPointF Hub(Server.center().x(), Server.bottom() + 14);
    P.setPen(QPen(QColor(40, 60, 90), 1.6));
    P.drawLine(QPointF(Server.center().x(), Server.bottom()), Hub);
    const qreal Xs[] = {162, 195, 228};
    for (qreal X : Xs) {
        P.drawLine(Hub, QPointF(X, Hub.y()));
        P.drawLine(QPointF(X, Hub.y()), QPointF(X, Hub.y() + 8));
    }
    P.setPen(QPen(QColor(30, 30, 40), 1));
    P.setBrush(QColor(70, 80, 95));
    P.drawRoundedRect(Server, 3, 3);
    P.setBrush(QColor(120, 230, 120));
    for (int I = 0; I < 3; ++I)
        P.drawEllipse(QPointF(Server.left() + 6, Server.top() + 9 + I * 12), 2, 2);
    for (qreal X : Xs) {
        const QRectF Screen(X - 11, Hub.y() + 8, 22, 15);
        P.setBrush(QColor(60, 60, 70));
        P.drawRect(Screen);
        P.setBrush(QColor(150, 200, 240));
        P.drawRect(Screen.adjusted(2, 2, -2, -2));
        P.setBrush(QColor(60, 60, 70));
        P.drawRect(QRectF(X - 6, Screen.bottom(), 12, 3));
    }
    P.setPen(QPen(QColor(80, 80, 80), 1));
    P.setBrush(Qt::NoBrush);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
}

TInfoDlg::TInfoDlg(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("InfoDlg"));
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    Image1 = new TInfoBild(this);
    laProgramm = new QLabel(QStringLiteral("Parvon"), this);
    laProgramm->setObjectName(QStringLiteral("laProgramm"));
    QFont Big = laProgramm->font();
    Big.setPointSizeF(Big.pointSizeF() * 2);
    Big.setBold(true);
    laProgramm->setFont(Big);
    laProgramm->setAlignment(Qt::AlignCenter);
    laDatum = new QLabel(QLatin1String(TForm1::BuildDate), this);
    laDatum->setObjectName(QStringLiteral("laDatum"));
    laDatum->setAlignment(Qt::AlignCenter);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* Main = new QVBoxLayout(this);
    Main->addWidget(Image1, 0, Qt::AlignHCenter);
    Main->addWidget(laProgramm);
    Main->addWidget(laDatum);
    auto* Row = new QHBoxLayout;
    Row->addStretch(1);
    Row->addWidget(OKBtn);
    Row->addStretch(1);
    Main->addLayout(Row);
    setFixedSize(sizeHint());
}
