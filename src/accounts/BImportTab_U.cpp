#include "BImportTab_U.h"

#include "BImportDatei.h"

#include <DialogBau.h>
#include <ErrorGuard.h>
#include <FileDialog.h>
#include <Konfiguration.h>
#include <MaskFormat.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>
#include <optional>

namespace {
QLabel* Caption(QWidget* Parent, const char* Name, const QString& Text) {
    auto* L = new QLabel(Text, Parent);
    L->setObjectName(QLatin1String(Name));
    return L;
}

// A preview line: the text exactly as the file holds it, in black.
QLabel* PreviewLine(QWidget* Parent, const char* Name) {
    QLabel* L = Caption(Parent, Name, QString());
    L->setTextFormat(Qt::PlainText);
    L->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long line is cut at the panel's edge instead of widening the fixed window.
    L->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette Pal = L->palette();
    Pal.setColor(QPalette::WindowText, Qt::black);
    L->setPalette(Pal);
    return L;
}
} // namespace

TBImportTab::TBImportTab(const TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk) {
    setObjectName(QStringLiteral("TabBimport"));
    BuildUi();
    Connect();
}

void TBImportTab::BuildUi() {
    Label1 = Caption(this, "Label1",
                     QStringLiteral("Mit dieser Programmfunktion kann eine Importdatei für BImport erzeugt"));
    Label2 = Caption(this, "Label2",
                     QStringLiteral("werden, wie sie für Klassenarbeitsbnutzer bzw. für Kurse an den"));
    Label3 = Caption(this, "Label3", QStringLiteral("Multimediastandorten benötigt werden."));

    Label4 = Caption(this, "Label4", QStringLiteral("Raum- bzw. Kursbezeichnung"));
    edKurs = new QLineEdit(QStringLiteral("EDV1"), this);
    edKurs->setObjectName(QStringLiteral("edKurs"));
    edKurs->setReadOnly(true);
    Label4->setBuddy(edKurs);
    spKurs = new QToolButton(this);
    spKurs->setObjectName(QStringLiteral("spKurs"));
    spKurs->setText(QStringLiteral("..."));
    spKurs->setFixedSize(26, 23);

    Label5 = Caption(this, "Label5", QStringLiteral("Zahl der Benutzer"));
    spZahl = new QSpinBox(this);
    spZahl->setObjectName(QStringLiteral("spZahl"));
    // No limit either way: 0 or below gives an empty file.
    spZahl->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    spZahl->setSingleStep(1);
    spZahl->setValue(16);
    spZahl->setFixedWidth(90);
    Label5->setBuddy(spZahl);

    Label9 =
        Caption(this, "Label9", QStringLiteral("Es werden die Benutzer EDV1_B01 bis  EDV1_B20 angelegt"));

    Name = Caption(this, "Name", QStringLiteral("Attribut Vorname"));
    cbName = new QComboBox(this);
    cbName->setObjectName(QStringLiteral("cbName"));
    cbName->setEditable(true);
    cbName->setInsertPolicy(QComboBox::NoInsert);
    cbName->addItems({QStringLiteral("Prüfling"), QStringLiteral("Teilnehmer")});
    cbName->setEditText(QStringLiteral("Prüfling"));
    Name->setBuddy(cbName);

    Label6 = Caption(this, "Label6", QStringLiteral("Maske für Namensgebung"));
    edMaske1 = new QLineEdit(QStringLiteral("EDV1_B%%"), this);
    edMaske1->setObjectName(QStringLiteral("edMaske1"));
    Label6->setBuddy(edMaske1);

    Label7 = Caption(this, "Label7", QStringLiteral("Erzeugen von"));
    QFrame* Preview = VorschauFeld(this, "Panel1");
    lafirst = PreviewLine(Preview, "lafirst");
    Label8 = Caption(Preview, "Label8", QStringLiteral("..."));
    QFont Bold = Label8->font();
    Bold.setBold(true);
    Label8->setFont(Bold);
    laLast = PreviewLine(Preview, "laLast");
    auto* Lines = new QVBoxLayout(Preview);
    Lines->setContentsMargins(8, 6, 8, 6);
    Lines->setSpacing(2);
    Lines->addWidget(lafirst);
    Lines->addWidget(Label8);
    Lines->addWidget(laLast);

    Button1 = new QPushButton(QStringLiteral("BImport Datei erzeugen"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumWidth(170);

    // Two columns of inputs, each caption above its control; the preview below them.
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->setVerticalSpacing(3);
    Grid->setColumnStretch(0, 1);
    Grid->setColumnMinimumWidth(2, 28);
    Grid->setColumnStretch(3, 1);
    int Row = 0;
    auto Gap = [&](int Height) { Grid->setRowMinimumHeight(Row++, Height); };
    for (QLabel* Intro : {Label1, Label2, Label3})
        Grid->addWidget(Intro, Row++, 0, 1, 4);
    Gap(16);
    Grid->addWidget(Label4, Row, 0, 1, 2);
    Grid->addWidget(Label5, Row++, 3);
    Grid->addWidget(edKurs, Row, 0);
    Grid->addWidget(spKurs, Row, 1);
    Grid->addWidget(spZahl, Row++, 3, Qt::AlignLeft);
    Gap(4);
    Grid->addWidget(Label9, Row++, 0, 1, 4);
    Gap(16);
    Grid->addWidget(Name, Row, 0, 1, 2);
    Grid->addWidget(Label6, Row++, 3);
    Grid->addWidget(cbName, Row, 0, 1, 2);
    Grid->addWidget(edMaske1, Row++, 3);
    Gap(16);
    Grid->addWidget(Label7, Row++, 0, 1, 4);
    Grid->addWidget(Preview, Row++, 0, 1, 4);
    Grid->setRowStretch(Row++, 1);
    auto* Run = new QHBoxLayout;
    Run->addStretch(1);
    Run->addWidget(Button1);
    Grid->addLayout(Run, Row++, 0, 1, 4);
}

void TBImportTab::Connect() {
    ConnectGuarded(spKurs, &QToolButton::clicked, this, &TBImportTab::spKursClick);
    ConnectGuarded(edKurs, &QLineEdit::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(spZahl, &QSpinBox::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(cbName, &QComboBox::editTextChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(edMaske1, &QLineEdit::textChanged, this, &TBImportTab::UpdateBImportPreview);
    ConnectGuarded(Button1, &QPushButton::clicked, this, &TBImportTab::Button1Click);
    // The tab is entered when the keyboard focus moves into one of its controls.
    ConnectGuarded(qApp, &QApplication::focusChanged, this, [this](QWidget* Old, QWidget* Now) {
        if (Now && isAncestorOf(Now) && !(Old && isAncestorOf(Old)))
            UpdateBImportPreview();
    });
}

void TBImportTab::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    Guarded(this, [this] { UpdateBImportPreview(); });
}

int TBImportTab::Zahl() const {
    bool Ok = false;
    const int N = spZahl->cleanText().toInt(&Ok);
    return Ok ? N : 0;
}

TBImportEingaben TBImportTab::Eingaben() const {
    return {FBImportMask, edKurs->text(), cbName->currentText(), Zahl()};
}

void TBImportTab::spKursClick() {
    TNDK& Ndk = Erreichbar(FNdk);
    QString Sel;
    if (!ChoosePicker(this, Ndk, TPickerKind::Kurs, K.ouSchueler, Sel))
        return;
    edKurs->setText(Ndk.GetShortName(Sel));
    edMaske1->setText(edKurs->text() + QStringLiteral("_B%%"));
}

void TBImportTab::UpdateBImportPreview() {
    const std::optional<QString> Pattern = MaskPattern(edMaske1->text());
    if (!Pattern)
        return;
    FBImportMask = *Pattern;
    const TBImportEingaben E = Eingaben();
    lafirst->setText(BImportZeile(E, 1));
    laLast->setText(BImportZeile(E, E.Zahl));
}

void TBImportTab::Button1Click() {
    // The mask as the preview shows it, also when no input has changed since the start.
    UpdateBImportPreview();

    QFileDialog SaveDialog1(this);
    SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
    SetUpFileDialog(SaveDialog1);
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setWindowTitle(QStringLiteral("Name und Pfad der BImport-Datei wählen"));
    SaveDialog1.setNameFilters({QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Alle Dateien (*.*)")});
    SaveDialog1.setDefaultSuffix(QStringLiteral("txt"));
    if (!FDateiName.isEmpty())
        SaveDialog1.selectFile(FDateiName);
    if (TModalSeam::Exec(SaveDialog1) != QDialog::Accepted)
        return;
    const QStringList Files = SaveDialog1.selectedFiles();
    if (Files.isEmpty() || Files.first().isEmpty())
        return;
    FDateiName = Files.first();

    std::optional<TWaitCursor> Wait(std::in_place);
    if (BImportSchreiben(FDateiName, Eingaben()))
        return;
    Wait.reset();
    TModalSeam::Message(this, QMessageBox::Critical, QStringLiteral("Fehler"),
                        QDir::toNativeSeparators(FDateiName) + QStringLiteral(" kann nicht angelegt werden."),
                        QMessageBox::Cancel);
}
