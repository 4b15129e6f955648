#pragma once

#include <QString>
#include <QStringView>
#include <stdexcept>

// A printing failure (the printer cannot be opened, a page cannot be added, the job failed).
class EPrintError : public std::runtime_error {
public:
    explicit EPrintError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// Horizontal text alignment of the canvas; text is always aligned with its top at the given y.
enum class TTextAlign { Left, Right, Center };

struct TPrintFont {
    QString Family = QStringLiteral("Arial"); // "Arial" or "Courier New"
    int Height = 40;                          // character cell height in 0.1 mm
    bool Bold = false;
    bool operator==(const TPrintFont&) const = default;
};

// A rectangle in canvas units: Top is the upper edge, so Top > Bottom.
struct TPrintRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TPrintRect&) const = default;
};

// The page-drawing surface of the ruled printouts. Coordinates are in 0.1 mm from the top-left
// corner of the printable area, y negative downwards. All pages of a printout belong to one
// document: BeginDoc once, NewPage between pages, EndDoc once (a canvas whose document is still
// open ends it when destroyed).
class TPrintCanvas {
public:
    virtual ~TPrintCanvas() = default;

    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;

    virtual void SetFont(const TPrintFont& Font) = 0;
    virtual TPrintFont Font() const = 0;
    virtual void SetTextAlign(TTextAlign Align) = 0;

    // Text with its top at Y; X is its left end, right end or centre as the alignment says.
    virtual void TextOut(int X, int Y, const QString& Text) = 0;
    // The same, with everything outside Clip cut away.
    virtual void TextRect(const TPrintRect& Clip, int X, int Y, const QString& Text) = 0;
    virtual void MoveTo(int X, int Y) = 0;
    virtual void LineTo(int X, int Y) = 0;
    void Line(int X1, int Y1, int X2, int Y2) {
        MoveTo(X1, Y1);
        LineTo(X2, Y2);
    }

    virtual int PrintableWidthMm() const = 0;
};

// A text print job: lines of text laid out top to bottom in printer device units. The first line
// starts at (0, 0) of the printable area. A line holding text is as high as the text + 2, an empty
// line as high as the font's cell; when the next line would start lower than the printable height
// minus twice the height of the line just ended (0 for an empty line), a new page begins. Text
// wider than the page is broken after the last character that fits, a tab advances to the next
// multiple of 8 average character widths, a form feed begins a new page. Text that would reach
// below the page (after empty lines) begins a new page as well. A page is only started once
// something is drawn on it, so a document never ends with an empty page.
// The job's document is open from its creation; EndDoc closes it (the destructor does if needed).
class TTextPrintJob {
public:
    virtual ~TTextPrintJob() = default;

    void SetFont(const QString& Family, int PointSize); // the job starts in "Courier New", 12 pt
    void WriteLine(const QString& Text);
    virtual void EndDoc() = 0;

protected:
    struct TMetrics {
        int PrintableWidth = 0;
        int PrintableHeight = 0;
        int TextHeight = 0; // height of drawn text
        int CellHeight = 0; // the font's character cell
        int AverageCharWidth = 0;
    };
    // Called by the implementation's constructor once its device is ready.
    void Start();

    virtual void ApplyFont(const QString& Family, int PointSize) = 0;
    virtual TMetrics Metrics() const = 0; // for the current font
    virtual int TextWidth(QStringView Text) const = 0;
    virtual void DrawText(int X, int Y, const QString& Text) = 0; // top-left at (X, Y)
    virtual void StartPage() = 0;                                 // every page after the first

private:
    void EndLine(bool HasText);
    void BreakPage();
    void DrawSegment(QStringView Text, bool& HasText);
    void EnsurePage();
    int FitCount(QStringView Text, int Room) const;

    TMetrics FMetrics;
    int FX = 0;
    int FY = 0;
    bool FPagePending = false;
};
