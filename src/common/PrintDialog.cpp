#include "PrintDialog.h"

#include "PrintRecorder.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cmath>
#include <optional>

namespace {
TPrintRecorder* GPaper = nullptr;

void Open(QPainter& Painter, QPrinter& Printer) {
    if (Painter.isActive())
        throw EPrintError(QStringLiteral("Der Druck läuft bereits."));
    if (!Painter.begin(&Printer))
        throw EPrintError(QStringLiteral("Der Drucker kann nicht geöffnet werden."));
}

void NextPage(QPrinter& Printer) {
    if (!Printer.newPage())
        throw EPrintError(QStringLiteral("Eine neue Seite kann nicht begonnen werden."));
}

// Ends the document; a job the printer refused is reported.
void Close(QPainter& Painter, QPrinter& Printer) {
    if (!Painter.isActive())
        return;
    if (!Painter.end() || Printer.printerState() == QPrinter::Error)
        throw EPrintError(QStringLiteral("Der Druckauftrag ist fehlgeschlagen."));
}

// The canvas on a real printer or PDF file. The scale from 0.1 mm to device pixels is taken once
// from the printer's resolution when the document begins; y is negated on the way.
class TQtPrintCanvas final : public TPrintCanvas {
public:
    explicit TQtPrintCanvas(QPrinter& Printer) : FPrinter(Printer) {}
    ~TQtPrintCanvas() override {
        if (FPainter.isActive())
            FPainter.end();
    }

    void BeginDoc() override {
        Open(FPainter, FPrinter);
        FScaleX = FPrinter.logicalDpiX() / 254.0;
        FScaleY = FPrinter.logicalDpiY() / 254.0;
        FPainter.setPen(QPen(Qt::black, FScaleX)); // 0.1 mm
        SetFont(FFont);
    }
    void NewPage() override { NextPage(FPrinter); }
    void EndDoc() override { Close(FPainter, FPrinter); }

    void SetFont(const TPrintFont& Font) override {
        FFont = Font;
        if (!FPainter.isActive())
            return;
        // The height names the character cell (ascent + descent); Qt sizes a font by its em.
        QFont F(Font.Family);
        F.setBold(Font.Bold);
        F.setPixelSize(1000);
        const double CellPerEm = QFontMetricsF(F).height() / 1000.0;
        const double EmPixels = Font.Height * FScaleY / CellPerEm;
        F.setPointSizeF(EmPixels * 72.0 / FPrinter.logicalDpiY());
        FPainter.setFont(F);
        FMetrics.emplace(F, &FPrinter);
    }
    TPrintFont Font() const override { return FFont; }
    void SetTextAlign(TTextAlign Align) override { FAlign = Align; }

    void TextOut(int X, int Y, const QString& Text) override { FPainter.drawText(Origin(X, Y, Text), Text); }
    void TextRect(const TPrintRect& Clip, int X, int Y, const QString& Text) override {
        FPainter.save();
        FPainter.setClipRect(QRectF(Point(Clip.Left, Clip.Top), Point(Clip.Right, Clip.Bottom)).normalized());
        TextOut(X, Y, Text);
        FPainter.restore();
    }
    void MoveTo(int X, int Y) override { FPen = Point(X, Y); }
    void LineTo(int X, int Y) override {
        const QPointF To = Point(X, Y);
        FPainter.drawLine(FPen, To);
        FPen = To;
    }

    // Whole millimetres, cut rather than rounded, so that W - 150 stays on the printable area.
    int PrintableWidthMm() const override {
        return int(std::floor(FPrinter.width() * 25.4 / FPrinter.logicalDpiX()));
    }

private:
    QPointF Point(int X, int Y) const { return {X * FScaleX, -Y * FScaleY}; }
    // The base line origin for text whose top (and left, right or centre) is at (X, Y).
    QPointF Origin(int X, int Y, const QString& Text) const {
        QPointF P = Point(X, Y);
        if (!FMetrics)
            return P;
        P.ry() += FMetrics->ascent();
        if (FAlign == TTextAlign::Right)
            P.rx() -= FMetrics->horizontalAdvance(Text);
        else if (FAlign == TTextAlign::Center)
            P.rx() -= FMetrics->horizontalAdvance(Text) / 2;
        return P;
    }

    QPrinter& FPrinter;
    QPainter FPainter;
    TPrintFont FFont;
    std::optional<QFontMetricsF> FMetrics;
    TTextAlign FAlign = TTextAlign::Left;
    double FScaleX = 1;
    double FScaleY = 1;
    QPointF FPen;
};

// The text job on a real printer or PDF file, in the printer's device pixels.
class TQtTextPrintJob final : public TTextPrintJob {
public:
    explicit TQtTextPrintJob(QPrinter& Printer) : FPrinter(Printer) {
        Open(FPainter, FPrinter);
        FPainter.setPen(Qt::black);
        Start();
    }
    ~TQtTextPrintJob() override {
        if (FPainter.isActive())
            FPainter.end();
    }
    void EndDoc() override { Close(FPainter, FPrinter); }

protected:
    void ApplyFont(const QString& Family, int PointSize) override {
        QFont F(Family);
        F.setPointSize(PointSize);
        FPainter.setFont(F);
        FMetrics.emplace(F, &FPrinter);
    }
    TMetrics Metrics() const override {
        return {FPrinter.width(), FPrinter.height(), FMetrics->height(), FMetrics->height(),
                FMetrics->averageCharWidth()};
    }
    int TextWidth(QStringView Text) const override { return FMetrics->horizontalAdvance(Text.toString()); }
    void DrawText(int X, int Y, const QString& Text) override {
        FPainter.drawText(QPoint(X, Y + FMetrics->ascent()), Text);
    }
    void StartPage() override { NextPage(FPrinter); }

private:
    QPrinter& FPrinter;
    QPainter FPainter;
    std::optional<QFontMetrics> FMetrics;
};
} // namespace

TPrintDialog::TPrintDialog() : FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

TPrintDialog::~TPrintDialog() = default;

bool TPrintDialog::ShowDialog(QWidget* Parent) {
    QPrintDialog Dialog(FPrinter.get(), Parent);
    Dialog.setObjectName(QStringLiteral("PrintDialog1"));
    Dialog.setWindowTitle(QStringLiteral("Drucken"));
    return TModalSeam::Exec(Dialog) == QDialog::Accepted;
}

std::unique_ptr<TPrintCanvas> TPrintDialog::BeginCanvas() {
    std::unique_ptr<TPrintCanvas> Canvas;
    if (GPaper)
        Canvas = std::make_unique<TRecordingCanvas>(*GPaper);
    else
        Canvas = std::make_unique<TQtPrintCanvas>(*FPrinter);
    Canvas->BeginDoc();
    return Canvas;
}

std::unique_ptr<TTextPrintJob> TPrintDialog::BeginTextJob() {
    if (GPaper)
        return std::make_unique<TRecordingTextJob>(*GPaper);
    return std::make_unique<TQtTextPrintJob>(*FPrinter);
}

TModalSeam::THandler TPrintDialog::AcceptToPdf(const QString& FileName) {
    return [FileName](QDialog& Dialog) {
        auto* Print = qobject_cast<QPrintDialog*>(&Dialog);
        if (!Print)
            qFatal("TPrintDialog::AcceptToPdf answered a dialog that is not the print dialog");
        Print->printer()->setOutputFormat(QPrinter::PdfFormat);
        Print->printer()->setOutputFileName(FileName);
        return int(QDialog::Accepted);
    };
}

TModalSeam::THandler TPrintDialog::Cancel() {
    return [](QDialog& Dialog) {
        if (!qobject_cast<QPrintDialog*>(&Dialog))
            qFatal("TPrintDialog::Cancel answered a dialog that is not the print dialog");
        return int(QDialog::Rejected);
    };
}

void TPrintDialog::SetRecorder(TPrintRecorder* Paper) {
    GPaper = Paper;
}
