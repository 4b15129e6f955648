#include "LayoutIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

// The user figures share one outline: a head and shoulders.
void DrawPerson(QPainter& P, qreal X, qreal Y, qreal Scale, const QBrush& Fill) {
    P.setBrush(Fill);
    P.drawEllipse(QRectF(X + 3 * Scale, Y, 4 * Scale, 4 * Scale));
    P.drawRoundedRect(QRectF(X + 1 * Scale, Y + 5 * Scale, 8 * Scale, 6 * Scale), 2 * Scale, 2 * Scale);
}

QIcon DrawIcon(int Code) {
    QPixmap Pix(16, 16);
    Pix.fill(Qt::transparent);
    QPainter P(&Pix);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(QColor(40, 40, 40), 1));
    switch (Code) {
    case 1: // User: one figure
        DrawPerson(P, 2.5, 1.5, 1.1, QColor(70, 130, 200));
        break;
    case 2: { // Organizational Unit: a box with a lid
        P.setBrush(QColor(230, 190, 90));
        P.drawRect(QRectF(1.5, 5.5, 13, 9));
        P.setBrush(QColor(245, 215, 130));
        P.drawRect(QRectF(0.5, 2.5, 15, 3));
        P.drawLine(QPointF(6, 8.5), QPointF(10, 8.5));
        break;
    }
    case 3: // Group: two figures, one behind the other
        DrawPerson(P, 5.5, 0.5, 0.95, QColor(150, 190, 230));
        DrawPerson(P, 0.5, 3.5, 1.05, QColor(70, 130, 200));
        break;
    case 4: { // Organization: a building with windows
        P.setBrush(QColor(190, 190, 200));
        P.drawRect(QRectF(2.5, 3.5, 11, 11));
        P.setBrush(QColor(120, 160, 210));
        for (int Row = 0; Row < 3; ++Row)
            for (int Col = 0; Col < 3; ++Col)
                P.drawRect(QRectF(4 + Col * 3, 5 + Row * 3, 1.5, 1.5));
        P.setBrush(QColor(150, 90, 50));
        P.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 0.5), QPointF(14.5, 3.5)}));
        break;
    }
    case 5: { // Organizational Role: a figure wearing a hat
        DrawPerson(P, 2.5, 3.5, 1.1, QColor(120, 170, 90));
        P.setBrush(QColor(60, 60, 60));
        P.drawRect(QRectF(5.5, 0.5, 5, 3));
        P.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 3.5));
        break;
    }
    case 6: { // Root: a node with roots going down
        P.setBrush(QColor(200, 60, 60));
        P.drawEllipse(QRectF(5, 1, 6, 6));
        P.setPen(QPen(QColor(120, 80, 40), 1.5));
        P.drawLine(QPointF(8, 7), QPointF(8, 14));
        P.drawLine(QPointF(8, 10), QPointF(3, 14.5));
        P.drawLine(QPointF(8, 10), QPointF(13, 14.5));
        break;
    }
    case 7: { // Tree: a crown on a trunk
        P.setBrush(QColor(120, 80, 40));
        P.drawRect(QRectF(6.5, 10.5, 3, 5));
        P.setBrush(QColor(60, 150, 60));
        P.drawEllipse(QRectF(1.5, 0.5, 13, 11));
        break;
    }
    case 8: { // Template: a figure drawn dashed on a sheet
        P.setBrush(QColor(250, 250, 240));
        P.drawRect(QRectF(0.5, 0.5, 15, 15));
        P.setPen(QPen(QColor(70, 130, 200), 1, Qt::DashLine));
        DrawPerson(P, 3, 2.5, 1.0, Qt::NoBrush);
        break;
    }
    case 9: { // Volume: a disk stack
        P.setBrush(QColor(170, 170, 180));
        P.drawRect(QRectF(1.5, 4, 13, 8));
        P.drawEllipse(QRectF(1.5, 9, 13, 6));
        P.setBrush(QColor(210, 210, 220));
        P.drawEllipse(QRectF(1.5, 1, 13, 6));
        P.setBrush(QColor(60, 200, 60));
        P.drawEllipse(QRectF(11, 9.5, 2, 2));
        break;
    }
    case 10: { // Catalog: a bound book with lines
        P.setBrush(QColor(160, 60, 60));
        P.drawRect(QRectF(2.5, 0.5, 11, 15));
        P.setBrush(QColor(250, 245, 230));
        P.drawRect(QRectF(5, 2.5, 7, 11));
        P.drawLine(QPointF(6.5, 5.5), QPointF(10.5, 5.5));
        P.drawLine(QPointF(6.5, 8), QPointF(10.5, 8));
        P.drawLine(QPointF(6.5, 10.5), QPointF(10.5, 10.5));
        break;
    }
    default: { // any other layout: a sheet with a folded corner
        P.setBrush(QColor(245, 245, 245));
        P.drawPolygon(QPolygonF({QPointF(2.5, 0.5), QPointF(10.5, 0.5), QPointF(13.5, 3.5),
                                 QPointF(13.5, 15.5), QPointF(2.5, 15.5)}));
        P.drawPolyline(QPolygonF({QPointF(10.5, 0.5), QPointF(10.5, 3.5), QPointF(13.5, 3.5)}));
        break;
    }
    }
    P.end();
    return QIcon(Pix);
}

} // namespace

QList<QIcon> LayoutIcons() {
    QList<QIcon> Icons;
    for (int Code = 0; Code <= 10; ++Code)
        Icons << DrawIcon(Code);
    return Icons;
}
