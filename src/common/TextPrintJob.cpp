#include "PrintCanvas.h"

#include <algorithm>

void TTextPrintJob::Start() {
    SetFont(QStringLiteral("Courier New"), 12);
}

void TTextPrintJob::SetFont(const QString& Family, int PointSize) {
    ApplyFont(Family, PointSize);
    FMetrics = Metrics();
}

void TTextPrintJob::WriteLine(const QString& Text) {
    bool HasText = false;
    // A line that ends right after a form feed has already ended on the old page.
    bool EndedByFormFeed = false;
    qsizetype SegmentStart = 0;
    for (qsizetype I = 0; I < Text.size(); ++I) {
        const QChar C = Text.at(I);
        if (C != u'\t' && C != u'\f')
            continue;
        DrawSegment(QStringView(Text).mid(SegmentStart, I - SegmentStart), HasText);
        SegmentStart = I + 1;
        if (C == u'\t') {
            const int Tab = std::max(1, 8 * FMetrics.AverageCharWidth);
            FX = (FX / Tab + 1) * Tab;
            EndedByFormFeed = false;
            if (FX > FMetrics.PrintableWidth) {
                EndLine(HasText);
                HasText = false;
            }
        } else {
            BreakPage();
            HasText = false;
            EndedByFormFeed = true;
        }
    }
    DrawSegment(QStringView(Text).mid(SegmentStart), HasText);
    if (HasText || !EndedByFormFeed)
        EndLine(HasText);
}

void TTextPrintJob::DrawSegment(QStringView Text, bool& HasText) {
    while (!Text.isEmpty()) {
        qsizetype N = FitCount(Text, FMetrics.PrintableWidth - FX);
        if (N == 0 && FX > 0) {
            EndLine(HasText);
            HasText = false;
            continue;
        }
        // A character wider than the whole page is drawn alone rather than never.
        N = std::max<qsizetype>(N, 1);
        if (N < Text.size() && Text.at(N - 1).isHighSurrogate() && N > 1)
            --N;
        // Empty lines may have led below the last place where text still fits on the page.
        if (FY > 0 && FY + FMetrics.TextHeight > FMetrics.PrintableHeight)
            BreakPage();
        EnsurePage();
        const QString Part = Text.left(N).toString();
        DrawText(FX, FY, Part);
        HasText = true;
        FX += TextWidth(Part);
        Text = Text.mid(N);
        if (!Text.isEmpty()) {
            EndLine(HasText);
            HasText = false;
        }
    }
}

int TTextPrintJob::FitCount(QStringView Text, int Room) const {
    if (TextWidth(Text) <= Room)
        return int(Text.size());
    // Widths grow with the length: the longest prefix that fits, by bisection.
    qsizetype Low = 0, High = Text.size() - 1;
    while (Low < High) {
        const qsizetype Mid = (Low + High + 1) / 2;
        if (TextWidth(Text.left(Mid)) <= Room)
            Low = Mid;
        else
            High = Mid - 1;
    }
    return int(Low);
}

void TTextPrintJob::EndLine(bool HasText) {
    const int Height = HasText ? FMetrics.TextHeight + 2 : FMetrics.CellHeight;
    FX = 0;
    FY += Height;
    if (FY > FMetrics.PrintableHeight - 2 * (HasText ? Height : 0))
        BreakPage();
}

void TTextPrintJob::BreakPage() {
    // A page broken twice without drawing stays as an empty page (two form feeds).
    EnsurePage();
    FPagePending = true;
    FX = 0;
    FY = 0;
}

void TTextPrintJob::EnsurePage() {
    if (FPagePending) {
        FPagePending = false;
        StartPage();
    }
}
