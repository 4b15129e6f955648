#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class TKonfiguration;
class TNDK;
struct TBImportEingaben;

// The tab "Datei für Bimport": writes an import file of numbered course or exam accounts. The
// course, the number of accounts, the given-name value and the naming mask are inputs; the first
// and the last line of the file are previewed.
class TBImportTab : public QWidget {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: the course picker then reports
    // that instead of working.
    TBImportTab(const TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent = nullptr);

    // The effective mask: edMaske1 with its first "%%" replaced by "%2.2d", as the last preview
    // update with a "%%" in edMaske1 left it; empty until then.
    const QString& BImportMask() const { return FBImportMask; }

    // Event handlers.
    void spKursClick();
    void UpdateBImportPreview();
    void Button1Click();

protected:
    // The preview is brought up to date whenever the tab comes into view.
    void showEvent(QShowEvent* Event) override;

private:
    void BuildUi();
    void Connect();
    // The inputs of a file as they stand now.
    TBImportEingaben Eingaben() const;
    // The spin edit's text read as an integer; 0 for a text that is none.
    int Zahl() const;

    const TKonfiguration& K;
    TNDK* FNdk;
    QString FBImportMask;
    QString FDateiName; // the file chosen last

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* edKurs;
    QToolButton* spKurs;
    QLabel* Label5;
    QSpinBox* spZahl;
    QLabel* Label9;
    QLabel* Name;
    QComboBox* cbName;
    QLabel* Label6;
    QLineEdit* edMaske1;
    QLabel* Label7;
    QLabel* lafirst;
    QLabel* Label8;
    QLabel* laLast;
    QPushButton* Button1;
};
