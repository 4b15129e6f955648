#pragma once

#include "PrintCanvas.h"

#include <QHash>
#include <QList>
#include <QStringList>

// One recorded printing call. Canvas calls are in 0.1 mm, text job calls in device units (their
// font height is the point size).
enum class TPrintOp { BeginDoc, NewPage, EndDoc, Text, Line };

struct TPrintCall {
    TPrintOp Op = TPrintOp::Text;
    int Document = 0; // 1 for the first document begun on the recorder
    int Page = 0;     // page of the document, from 1
    int X = 0;        // text position, or the line's start
    int Y = 0;
    int X2 = 0; // the line's end
    int Y2 = 0;
    bool Clipped = false;
    TPrintRect Clip;
    QString Text;
    TPrintFont Font;
    TTextAlign Align = TTextAlign::Left;
};

// Paper for tests: every canvas or text job that prints to it appends its calls. The fixed
// properties of the paper are set before printing.
class TPrintRecorder {
public:
    int PrintableWidthMm = 200;
    // Text job metrics in device units: every character is CharWidth wide unless CharWidths names it.
    int PrintableWidth = 2000;
    int PrintableHeight = 3000;
    int TextHeight = 50;
    int CellHeight = 48;
    int AverageCharWidth = 25;
    int CharWidth = 25;
    QHash<QChar, int> CharWidths;

    QList<TPrintCall> Calls;

    int Documents() const; // documents begun
    int Pages(int Document) const;
    QList<TPrintCall> Texts(int Document, int Page) const;
    QStringList TextsOf(int Document, int Page) const;
    QList<TPrintCall> Lines(int Document, int Page) const;
};

class TRecordingCanvas final : public TPrintCanvas {
public:
    explicit TRecordingCanvas(TPrintRecorder& Paper) : FPaper(Paper) {}
    ~TRecordingCanvas() override;

    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void SetFont(const TPrintFont& Font) override { FFont = Font; }
    TPrintFont Font() const override { return FFont; }
    void SetTextAlign(TTextAlign Align) override { FAlign = Align; }
    void TextOut(int X, int Y, const QString& Text) override;
    void TextRect(const TPrintRect& Clip, int X, int Y, const QString& Text) override;
    void MoveTo(int X, int Y) override;
    void LineTo(int X, int Y) override;
    int PrintableWidthMm() const override { return FPaper.PrintableWidthMm; }

private:
    TPrintCall Call(TPrintOp Op, int X = 0, int Y = 0, const QString& Text = {}) const;
    void Add(TPrintOp Op);

    TPrintRecorder& FPaper;
    TPrintFont FFont;
    TTextAlign FAlign = TTextAlign::Left;
    int FDocument = 0;
    int FPage = 0;
    bool FOpen = false;
    int FPenX = 0;
    int FPenY = 0;
};

class TRecordingTextJob final : public TTextPrintJob {
public:
    explicit TRecordingTextJob(TPrintRecorder& Paper);
    ~TRecordingTextJob() override;
    void EndDoc() override;

protected:
    void ApplyFont(const QString& Family, int PointSize) override;
    TMetrics Metrics() const override;
    int TextWidth(QStringView Text) const override;
    void DrawText(int X, int Y, const QString& Text) override;
    void StartPage() override;

private:
    void Add(TPrintOp Op, int X = 0, int Y = 0, const QString& Text = {});

    TPrintRecorder& FPaper;
    TPrintFont FFont;
    int FDocument = 0;
    int FPage = 1;
    bool FOpen = true;
};
