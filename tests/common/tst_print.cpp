#include <TestMain.h>

#include <ModalSeam.h>
#include <PrintDialog.h>
#include <PrintRecorder.h>

#include <QFile>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The text print job's layout, and printing through the print dialog to paper, to a PDF file and
// to the test recorder.
class TPrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    // What a recorded text job did after beginning its document: "x,y:text" per text, "page" per
    // new page, "end" for the end of the document.
    static QString Trace(const TPrintRecorder& Paper) {
        QStringList Steps;
        for (const auto& C : Paper.Calls) {
            if (C.Op == TPrintOp::Text)
                Steps << QStringLiteral("%1,%2:%3").arg(C.X).arg(C.Y).arg(C.Text);
            else if (C.Op == TPrintOp::NewPage)
                Steps << QStringLiteral("page");
            else if (C.Op == TPrintOp::EndDoc)
                Steps << QStringLiteral("end");
        }
        return Steps.join(QStringLiteral(" | "));
    }

    static QStringList Repeat(const QString& Text, int Count) { return QStringList(Count, Text); }

private Q_SLOTS:
    void init() { TModalSeam::Clear(); }
    void cleanup() { TPrintDialog::SetRecorder(nullptr); }

    void textJobLayout_data() {
        // Paper: 100 wide, text 10 high (a line 12), an empty line 9, every character 10 wide,
        // tabs every 40.
        QTest::addColumn<int>("Height");
        QTest::addColumn<QStringList>("Lines");
        QTest::addColumn<QString>("Expected");
        QTest::newRow("lines from the top left")
            << 100 << QStringList{u"ab"_s, u"cd"_s} << u"0,0:ab | 0,12:cd | end"_s;
        QTest::newRow("an empty line is a cell high")
            << 100 << QStringList{u"a"_s, QString(), u"b"_s} << u"0,0:a | 0,21:b | end"_s;
        // After line 7 the next one would start at 84 > 100 - 2 * 12.
        QTest::newRow("page break before the bottom")
            << 100 << Repeat(u"x"_s, 8)
            << u"0,0:x | 0,12:x | 0,24:x | 0,36:x | 0,48:x | 0,60:x | 0,72:x | page | 0,0:x | end"_s;
        // 72 is not greater than 96 - 24: the seventh line still fits.
        QTest::newRow("the limit itself is no break")
            << 96 << Repeat(u"x"_s, 7)
            << u"0,0:x | 0,12:x | 0,24:x | 0,36:x | 0,48:x | 0,60:x | 0,72:x | end"_s;
        QTest::newRow("a full last page leaves no empty page")
            << 100 << Repeat(u"x"_s, 7)
            << u"0,0:x | 0,12:x | 0,24:x | 0,36:x | 0,48:x | 0,60:x | 0,72:x | end"_s;
        // Empty lines count 0 in the test: 72, 81, 90, 99 stay on the page, 108 does not.
        QTest::newRow("empty lines run to the bottom")
            << 100 << Repeat(u"x"_s, 6) + Repeat(QString(), 4) + QStringList{u"y"_s}
            << u"0,0:x | 0,12:x | 0,24:x | 0,36:x | 0,48:x | 0,60:x | page | 0,0:y | end"_s;
        QTest::newRow("text that would reach below the page goes to the next")
            << 100 << Repeat(u"x"_s, 6) + Repeat(QString(), 3) + QStringList{u"y"_s}
            << u"0,0:x | 0,12:x | 0,24:x | 0,36:x | 0,48:x | 0,60:x | page | 0,0:y | end"_s;
        QTest::newRow("wide text broken after the last character that fits")
            << 100 << QStringList{u"abcdefghijkl"_s} << u"0,0:abcdefghij | 0,12:kl | end"_s;
        QTest::newRow("characters measured one by one")
            << 100 << QStringList{u"WWWWa"_s} << u"0,0:WWW | 0,12:Wa | end"_s;
        QTest::newRow("tabs to the next multiple of 8 average widths")
            << 100 << QStringList{u"a\tb\tc"_s, u"\tx"_s} << u"0,0:a | 40,0:b | 80,0:c | 40,12:x | end"_s;
        QTest::newRow("text after a tab broken at the page edge")
            << 100 << QStringList{u"abcde\tfghi"_s} << u"0,0:abcde | 80,0:fg | 0,12:hi | end"_s;
        QTest::newRow("form feed begins a new page")
            << 100 << QStringList{u"a\fb"_s, u"c"_s} << u"0,0:a | page | 0,0:b | 0,12:c | end"_s;
        QTest::newRow("a form feed line adds no empty line")
            << 100 << QStringList{u"a"_s, u"\f"_s, u"b"_s} << u"0,0:a | page | 0,0:b | end"_s;
        QTest::newRow("two form feeds leave an empty page")
            << 100 << QStringList{u"a"_s, u"\f\f"_s, u"b"_s} << u"0,0:a | page | page | 0,0:b | end"_s;
        QTest::newRow("a form feed at the end adds no page")
            << 100 << QStringList{u"a\f"_s} << u"0,0:a | end"_s;
    }
    void textJobLayout() {
        QFETCH(int, Height);
        QFETCH(QStringList, Lines);
        TPrintRecorder Paper;
        Paper.PrintableWidth = 100;
        Paper.PrintableHeight = Height;
        Paper.TextHeight = 10;
        Paper.CellHeight = 9;
        Paper.CharWidth = 10;
        Paper.CharWidths.insert(u'W', 30);
        Paper.AverageCharWidth = 5;
        {
            TRecordingTextJob Job(Paper);
            for (const auto& Line : Lines)
                Job.WriteLine(Line);
            Job.EndDoc();
        }
        QTEST(Trace(Paper), "Expected");
        QCOMPARE(Paper.Documents(), 1);
    }

    // The dialog's answers reach the caller, and with paper installed nothing goes to the printer.
    void dialogAndRecorder() {
        TPrintDialog Dialog;
        TModalSeam::Push(TPrintDialog::Cancel());
        QVERIFY(!Dialog.ShowDialog(nullptr));
        QCOMPARE(TModalSeam::Shown(), QStringList{u"Drucken"_s});

        TPrintRecorder Paper;
        TPrintDialog::SetRecorder(&Paper);
        const QString File = Dir.filePath(u"recorded.pdf"_s);
        TModalSeam::Push(TPrintDialog::AcceptToPdf(File));
        QVERIFY(Dialog.ShowDialog(nullptr));
        {
            auto Canvas = Dialog.BeginCanvas();
            Canvas->SetFont({u"Arial"_s, 60, true});
            Canvas->TextRect({310, -445, 800, -485}, 310, -445, u"Müller"_s);
            Canvas->NewPage();
            Canvas->Line(200, -350, 1950, -350);
        } // ended by its destructor
        QVERIFY(!QFile::exists(File));
        QCOMPARE(Paper.Documents(), 1);
        QCOMPARE(Paper.Pages(1), 2);
        const auto Texts = Paper.Texts(1, 1);
        QCOMPARE(Texts.size(), 1);
        QCOMPARE(Texts[0].Font, (TPrintFont{u"Arial"_s, 60, true}));
        QCOMPARE(Texts[0].Clip, (TPrintRect{310, -445, 800, -485}));
        QCOMPARE(Paper.Lines(1, 2).size(), 1);
        QCOMPARE(Paper.Calls.last().Op, TPrintOp::EndDoc);
    }

    // A file that cannot be written is an error, not a silent empty printout.
    void unwritableFile() {
        TPrintDialog Dialog;
        TModalSeam::Push(TPrintDialog::AcceptToPdf(Dir.filePath(u"missing/out.pdf"_s)));
        QVERIFY(Dialog.ShowDialog(nullptr));
        for (int I = 0; I < 2; ++I)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QVERIFY_THROWS_EXCEPTION(EPrintError, Dialog.BeginCanvas());
        QVERIFY_THROWS_EXCEPTION(EPrintError, Dialog.BeginTextJob());
    }

    // Two pages through the printer into one PDF file, read back: the pages, their texts, the
    // places of aligned text, and the fonts that stand in for Arial and Courier New.
    void printToPdf_data() {
        QTest::addColumn<bool>("Canvas");
        QTest::newRow("canvas") << true;
        QTest::newRow("text job") << false;
    }
    void printToPdf() {
        QFETCH(bool, Canvas);
        const QString File = Dir.filePath(Canvas ? u"canvas.pdf"_s : u"text.pdf"_s);
        TPrintDialog Dialog;
        TModalSeam::Push(TPrintDialog::AcceptToPdf(File));
        QVERIFY(Dialog.ShowDialog(nullptr));
        int WidthMm = 0;
        if (Canvas) {
            auto C = Dialog.BeginCanvas();
            WidthMm = C->PrintableWidthMm();
            C->SetFont({u"Arial"_s, 40, false});
            C->TextOut(200, -100, u"Links"_s);
            C->SetTextAlign(TTextAlign::Right);
            C->TextOut(1500, -600, u"Rechts"_s);
            C->SetTextAlign(TTextAlign::Center);
            C->TextOut(1030, -1100, u"Mitte"_s);
            C->Line(200, -350, WidthMm * 10 - 150, -350);
            C->NewPage();
            C->SetTextAlign(TTextAlign::Left);
            C->TextOut(200, -100, u"Seite zwei"_s);
            C->EndDoc();
        } else {
            auto Job = Dialog.BeginTextJob();
            Job->WriteLine(u"      Liste der Klassen"_s);
            Job->WriteLine(u"\f       Schülerzahl"_s);
            Job->EndDoc();
        }

        QPdfDocument Pdf;
        QCOMPARE(Pdf.load(File), QPdfDocument::Error::None);
        QCOMPARE(Pdf.pageCount(), 2);
        const auto PageText = [&Pdf](int Page) { return Pdf.getAllText(Page).text().simplified(); };
        QFile Raw(File);
        QVERIFY(Raw.open(QIODevice::ReadOnly));
        const QByteArray Bytes = Raw.readAll();
        if (!Canvas) {
            QCOMPARE(PageText(0), u"Liste der Klassen"_s);
            QCOMPARE(PageText(1), u"Schülerzahl"_s);
            QVERIFY(Bytes.contains("LiberationMono"));
            return;
        }
        QVERIFY(PageText(0).contains(u"Links"_s));
        QVERIFY(PageText(0).contains(u"Rechts"_s));
        QVERIFY(PageText(0).contains(u"Mitte"_s));
        QCOMPARE(PageText(1), u"Seite zwei"_s);
        QVERIFY(Bytes.contains("LiberationSans"));

        // Positions in mm from the printable area's top left; a glyph box sits a little inside
        // its character cell.
        const QRectF Area = Dialog.Printer().pageLayout().paintRect(QPageLayout::Millimeter);
        QVERIFY2(WidthMm <= Area.width() && WidthMm > Area.width() - 1, qPrintable(QString::number(WidthMm)));
        const auto Box = [&](const QString& Text) {
            const auto Sel = Pdf.getAllText(0);
            const int At = Sel.text().indexOf(Text);
            const QRectF Points = Pdf.getSelectionAtIndex(0, At, int(Text.size())).boundingRectangle();
            const double Mm = 25.4 / 72;
            return QRectF(Points.left() * Mm - Area.left(), Points.top() * Mm - Area.top(),
                          Points.width() * Mm, Points.height() * Mm);
        };
        const auto Near = [](double Actual, double Expected) { return qAbs(Actual - Expected) < 1.0; };
        const QRectF Left = Box(u"Links"_s), Right = Box(u"Rechts"_s), Centre = Box(u"Mitte"_s);
        QVERIFY2(Near(Left.left(), 20) && Near(Left.top(), 10.5), qPrintable(QDebug::toString(Left)));
        QVERIFY2(Left.height() > 2.5 && Left.height() < 4.1, qPrintable(QDebug::toString(Left)));
        QVERIFY2(Near(Right.right(), 150) && Near(Right.top(), 60.5), qPrintable(QDebug::toString(Right)));
        QVERIFY2(Near(Centre.center().x(), 103) && Near(Centre.top(), 110.5),
                 qPrintable(QDebug::toString(Centre)));
    }
};

PARVON_TEST_MAIN(TPrintTest)
#include "tst_print.moc"
