#pragma once

#include "ModalSeam.h"
#include "PrintCanvas.h"

#include <QString>
#include <memory>

class QPrinter;
class QWidget;
class TPrintRecorder;

// The main window's print dialog with the one printer object that every printout shares. The
// dialog chooses a printer or "print to file" (PDF); the printouts then draw on a canvas or write
// to a text job on the chosen printer:
//
//     if (!PrintDialog1.ShowDialog(this))
//         return;
//     auto Canvas = PrintDialog1.BeginCanvas();
//     Canvas->TextOut(200, -100, Header1);
//     Canvas->NewPage();
//     Canvas->EndDoc();
class TPrintDialog {
public:
    TPrintDialog();
    ~TPrintDialog();
    TPrintDialog(const TPrintDialog&) = delete;
    TPrintDialog& operator=(const TPrintDialog&) = delete;

    // Shows the dialog through the modal seam; false when it was cancelled.
    bool ShowDialog(QWidget* Parent);
    // A canvas on the chosen printer with its document begun. Throws EPrintError when the printer
    // cannot be opened.
    std::unique_ptr<TPrintCanvas> BeginCanvas();
    // A text job on the chosen printer, its document begun, font "Courier New" 12 pt.
    std::unique_ptr<TTextPrintJob> BeginTextJob();

    QPrinter& Printer() { return *FPrinter; }

    // Tests: seam answers for the dialog (print into a PDF file, or cancel), and paper that
    // receives every printout instead of the printer (nullptr: the printer again).
    static TModalSeam::THandler AcceptToPdf(const QString& FileName);
    static TModalSeam::THandler Cancel();
    static void SetRecorder(TPrintRecorder* Paper);

private:
    std::unique_ptr<QPrinter> FPrinter;
};
