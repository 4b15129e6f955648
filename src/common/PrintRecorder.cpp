#include "PrintRecorder.h"

#include <algorithm>

namespace {
QList<TPrintCall> CallsOf(const QList<TPrintCall>& Calls, TPrintOp Op, int Document, int Page) {
    QList<TPrintCall> Result;
    std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(Result),
                 [&](const TPrintCall& C) { return C.Op == Op && C.Document == Document && C.Page == Page; });
    return Result;
}
TPrintCall NewCall(TPrintOp Op, int Document, int Page, int X, int Y, const QString& Text,
                   const TPrintFont& Font) {
    TPrintCall C;
    C.Op = Op;
    C.Document = Document;
    C.Page = Page;
    C.X = X;
    C.Y = Y;
    C.Text = Text;
    C.Font = Font;
    return C;
}
} // namespace

int TPrintRecorder::Documents() const {
    return int(std::count_if(Calls.begin(), Calls.end(),
                             [](const TPrintCall& C) { return C.Op == TPrintOp::BeginDoc; }));
}

int TPrintRecorder::Pages(int Document) const {
    int Result = 0;
    for (const auto& C : Calls)
        if (C.Document == Document)
            Result = std::max(Result, C.Page);
    return Result;
}

QList<TPrintCall> TPrintRecorder::Texts(int Document, int Page) const {
    return CallsOf(Calls, TPrintOp::Text, Document, Page);
}

QStringList TPrintRecorder::TextsOf(int Document, int Page) const {
    QStringList Result;
    for (const auto& C : Texts(Document, Page))
        Result << C.Text;
    return Result;
}

QList<TPrintCall> TPrintRecorder::Lines(int Document, int Page) const {
    return CallsOf(Calls, TPrintOp::Line, Document, Page);
}

TRecordingCanvas::~TRecordingCanvas() {
    if (FOpen)
        EndDoc();
}

TPrintCall TRecordingCanvas::Call(TPrintOp Op, int X, int Y, const QString& Text) const {
    TPrintCall C = NewCall(Op, FDocument, FPage, X, Y, Text, FFont);
    C.Align = FAlign;
    return C;
}

void TRecordingCanvas::Add(TPrintOp Op) {
    FPaper.Calls << Call(Op);
}

void TRecordingCanvas::BeginDoc() {
    if (FOpen)
        throw EPrintError(QStringLiteral("Der Druck läuft bereits."));
    FOpen = true;
    FDocument = FPaper.Documents() + 1;
    FPage = 1;
    Add(TPrintOp::BeginDoc);
}

void TRecordingCanvas::NewPage() {
    ++FPage;
    Add(TPrintOp::NewPage);
}

void TRecordingCanvas::EndDoc() {
    FOpen = false;
    Add(TPrintOp::EndDoc);
}

void TRecordingCanvas::TextOut(int X, int Y, const QString& Text) {
    FPaper.Calls << Call(TPrintOp::Text, X, Y, Text);
}

void TRecordingCanvas::TextRect(const TPrintRect& Clip, int X, int Y, const QString& Text) {
    TextOut(X, Y, Text);
    FPaper.Calls.last().Clipped = true;
    FPaper.Calls.last().Clip = Clip;
}

void TRecordingCanvas::MoveTo(int X, int Y) {
    FPenX = X;
    FPenY = Y;
}

void TRecordingCanvas::LineTo(int X, int Y) {
    TPrintCall C = Call(TPrintOp::Line, FPenX, FPenY);
    C.X2 = X;
    C.Y2 = Y;
    FPaper.Calls << C;
    MoveTo(X, Y);
}

TRecordingTextJob::TRecordingTextJob(TPrintRecorder& Paper) : FPaper(Paper) {
    FDocument = FPaper.Documents() + 1;
    Add(TPrintOp::BeginDoc);
    Start();
}

TRecordingTextJob::~TRecordingTextJob() {
    if (FOpen)
        EndDoc();
}

void TRecordingTextJob::EndDoc() {
    FOpen = false;
    Add(TPrintOp::EndDoc);
}

void TRecordingTextJob::ApplyFont(const QString& Family, int PointSize) {
    FFont = {Family, PointSize, false};
}

TTextPrintJob::TMetrics TRecordingTextJob::Metrics() const {
    return {FPaper.PrintableWidth, FPaper.PrintableHeight, FPaper.TextHeight, FPaper.CellHeight,
            FPaper.AverageCharWidth};
}

int TRecordingTextJob::TextWidth(QStringView Text) const {
    int Width = 0;
    for (const QChar C : Text)
        Width += FPaper.CharWidths.value(C, FPaper.CharWidth);
    return Width;
}

void TRecordingTextJob::DrawText(int X, int Y, const QString& Text) {
    Add(TPrintOp::Text, X, Y, Text);
}

void TRecordingTextJob::StartPage() {
    ++FPage;
    Add(TPrintOp::NewPage);
}

void TRecordingTextJob::Add(TPrintOp Op, int X, int Y, const QString& Text) {
    FPaper.Calls << NewCall(Op, FDocument, FPage, X, Y, Text, FFont);
}
