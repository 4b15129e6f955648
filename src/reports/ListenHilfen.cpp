#include "ListenHilfen.h"

#include <ndk_u.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

QIcon DruckerSymbol() {
    QPixmap Pix(16, 16);
    Pix.fill(Qt::transparent);
    QPainter P(&Pix);
    P.setPen(QPen(QColor(40, 40, 40), 1));
    P.setBrush(Qt::white);
    P.drawRect(4, 1, 8, 5); // paper going in
    P.setBrush(QColor(170, 170, 180));
    P.drawRect(1, 6, 14, 6); // the body
    P.setBrush(Qt::white);
    P.drawRect(4, 10, 8, 5); // paper coming out
    P.drawLine(6, 12, 10, 12);
    P.setPen(QColor(60, 160, 60));
    P.drawPoint(13, 8);
    return QIcon(Pix);
}

QToolButton* DruckKnopf(QWidget* Parent, const char* Name, const QString& Hint) {
    auto* B = new QToolButton(Parent);
    B->setObjectName(QLatin1String(Name));
    B->setToolTip(Hint);
    B->setIcon(DruckerSymbol());
    B->setFixedSize(26, 26);
    return B;
}

void Nachrichten() {
    QCoreApplication::processEvents();
}

TFilter::TFilter(TNDK& Ndk, const QString& Layouts) : FNdk(Ndk) {
    FNdk.SetFilters(Layouts);
}

TFilter::~TFilter() {
    try {
        FNdk.SetFilters(QString());
    } catch (...) {
    }
}
