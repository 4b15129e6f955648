#pragma once

#include <QDialog>
#include <QString>

class NWBrowse;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class TNDK;

// The object picker: a tree of directory entries from a start point, restricted to the layouts
// in Filter; OK only for an entry whose layout is in Auswahlklassen (any, when that is empty).
//
// Use: create, set up (SetupPicker or the fields and set-up operations), Prepare, show through
// the modal seam, read Auswahl on OK, free. ChoosePicker does all of it. The tree browses the
// directory control of the access object Ndk.
class TouBrowser : public QDialog {
    Q_OBJECT
public:
    explicit TouBrowser(TNDK& Ndk, QWidget* Owner = nullptr);
    ~TouBrowser() override;

    NWBrowse* NWBrowse1;
    QLineEdit* edAuswahl;
    QLabel* Image1;
    QLabel* LaHinweis;
    QLabel* Image2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    QString Base;            // start point: a full name, or "[ROOT]" (any case) for the tree root
    QString Filter;          // layouts shown in the tree
    QString Auswahlklassen;  // layouts that may be chosen; "" for any
    QString Auswahl;         // full name of the accepted entry, "" while none
    bool BaseWaehlbar = true;
    int ExpandMode = 0;

    void SetExpandMode(unsigned Mode);                      // above 2 counts as 0
    void SetSymbol(int Slot, const QString& Layout);        // slot 1: Image1, slot 2: Image2
    void SetHinweis(const QString& Text);

    // Runs FormShow before the dialog is shown: false when the dialog ended with Cancel (no
    // start point). Errors while building the tree propagate to the caller.
    bool Prepare();

    void FormCreate();
    bool FormShow();
    void NWBrowse1EntryClicked(const QString& FullName);

    // The access object whose directory control the tree browses.
    TNDK& Ndk() const { return FNdk; }

protected:
    // Shown without Prepare: runs FormShow itself; a failure closes the dialog with Cancel.
    void showEvent(QShowEvent* Event) override;

private:
    void BrowserAufbauen();
    void Refuse();
    TNDK& FNdk;
    bool FFormShown = false;
};

// The callers of the picker and their set-ups.
enum class TPickerKind {
    Container,       // container for new classes
    Loginscript,     // class whose login script is copied
    Template,        // template for new classes
    KlassenAuswahl,  // class of the student list
    Kurs,            // room or course of an import file
    KursU,           // container of the exam accounts
    Workstations,    // container of the workstations
    TemplateU,       // template of the exam accounts
};

// Caption, hint, start point, filters, choosable layouts, icon, BaseWaehlbar and expand mode of
// one caller. OuSchueler is the student base container (full name), the start of most pickers.
void SetupPicker(TouBrowser& Dlg, TPickerKind Kind, const QString& OuSchueler);

// Creates the picker as a child of Parent, sets it up for Kind, shows it through the modal seam
// and frees it. True with Selection := the chosen full name when the user confirmed an entry;
// false (Selection untouched) on Cancel. Errors while building the tree propagate.
bool ChoosePicker(QWidget* Parent, TNDK& Ndk, TPickerKind Kind, const QString& OuSchueler,
                  QString& Selection);
