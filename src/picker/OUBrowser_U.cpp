#include "OUBrowser_U.h"

#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>
#include <NWBrowse.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const QString TopLayout = QStringLiteral("TOP");

// Whether Layout (upper-cased) is one of the comma-separated names of List.
bool LayoutListed(const QString& Layout, const QString& List) {
    const QStringList Names = List.toUpper().split(u',');
    for (const QString& Name : Names)
        if (Name.trimmed() == Layout)
            return true;
    return false;
}
} // namespace

TouBrowser::TouBrowser(TNDK& Ndk, QWidget* Owner) : QDialog(Owner), FNdk(Ndk) {
    setObjectName(QStringLiteral("ouBrowser"));
    setWindowTitle(QStringLiteral("Auswahl"));

    NWBrowse1 = new NWBrowse(this);
    NWBrowse1->setObjectName(QStringLiteral("NWBrowse1"));
    NWBrowse1->setMinimumSize(320, 340);

    edAuswahl = new QLineEdit(this);
    edAuswahl->setObjectName(QStringLiteral("edAuswahl"));
    edAuswahl->setReadOnly(true);
    edAuswahl->setFocusPolicy(Qt::NoFocus);
    {
        QPalette P = edAuswahl->palette();
        P.setColor(QPalette::Base, P.color(QPalette::Window));
        edAuswahl->setPalette(P);
    }

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(16, 16);
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setFixedSize(16, 16);

    LaHinweis = new QLabel(this);
    LaHinweis->setObjectName(QStringLiteral("LaHinweis"));
    LaHinweis->setWordWrap(true);
    LaHinweis->setTextFormat(Qt::PlainText);
    LaHinweis->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LaHinweis->setFixedWidth(150);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* Icons = new QVBoxLayout;
    Icons->addWidget(Image1);
    Icons->addWidget(Image2);
    Icons->addStretch();
    auto* Hint = new QHBoxLayout;
    Hint->addLayout(Icons);
    Hint->addWidget(LaHinweis, 1);
    auto* Side = new QVBoxLayout;
    Side->addLayout(Hint);
    Side->addStretch();
    Side->addWidget(OKBtn);
    Side->addWidget(CancelBtn);

    auto* Left = new QVBoxLayout;
    Left->addWidget(NWBrowse1, 1);
    Left->addWidget(edAuswahl);

    auto* Main = new QHBoxLayout(this);
    Main->addLayout(Left, 1);
    Main->addLayout(Side);
    Main->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    ConnectGuarded(NWBrowse1, &NWBrowse::EntryClicked, this,
                   [this](const QString& FullName, const QString&) { NWBrowse1EntryClicked(FullName); });
    // A listing that fails while the user opens a level: shown once the view is done with it.
    connect(NWBrowse1, &NWBrowse::LoadFailed, this,
            [this](const QString& Message) { TModalSeam::Error(this, Message); }, Qt::QueuedConnection);

    FormCreate();
}

TouBrowser::~TouBrowser() = default;

void TouBrowser::FormCreate() {
    OKBtn->setEnabled(false);
    Base.clear();
    Filter.clear();
    Auswahlklassen.clear();
    Auswahl.clear();
    LaHinweis->clear();
    BaseWaehlbar = true;
    ExpandMode = 0;
}

void TouBrowser::SetExpandMode(unsigned Mode) { ExpandMode = Mode > 2 ? 0 : int(Mode); }

void TouBrowser::SetSymbol(int Slot, const QString& Layout) {
    QLabel* Target = Slot == 1 ? Image1 : Slot == 2 ? Image2 : nullptr;
    if (!Target)
        return;
    const int Code = TNDK::ClassCode(Layout);
    if (Code < FNdk.ImageList.size())
        Target->setPixmap(FNdk.ImageList.at(Code).pixmap(16, 16));
    else
        Target->clear();
}

void TouBrowser::SetHinweis(const QString& Text) { LaHinweis->setText(Text); }

bool TouBrowser::Prepare() { return FormShow(); }

bool TouBrowser::FormShow() {
    FFormShown = true;
    if (Base.isEmpty()) {
        TModalSeam::Error(this, QStringLiteral("Fehler: Base nicht gewählt."));
        setResult(QDialog::Rejected);
        return false;
    }
    if (Base.toUpper() == QStringLiteral("[ROOT]"))
        Base = FNdk.TreePrefix();
    BrowserAufbauen();
    return true;
}

void TouBrowser::BrowserAufbauen() {
    TWaitCursor Wait;
    FNdk.SetFilters(Filter);
    FNdk.NWDir1->SetFullName(Base);
    NWBrowse1->SetImages(FNdk.ImageList);
    NWBrowse1->SetImageIndex(&TNDK::ClassCode);
    NWBrowse1->SetDirectory(FNdk.NWDir1);
    NWBrowse1->SetExpandMode(ExpandMode);
}

void TouBrowser::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (Event->spontaneous())
        return;
    if (QScreen* S = screen())
        move(S->availableGeometry().center() - rect().center());
    if (FFormShown)
        return;
    bool Shown = false;
    Guarded(this, [&] { Shown = FormShow(); });
    // Closing from inside the show would leave a modal loop that has not started yet running.
    if (!Shown)
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TouBrowser::Refuse() {
    OKBtn->setEnabled(false);
    Auswahl.clear();
}

void TouBrowser::NWBrowse1EntryClicked(const QString& FullName) {
    const QString Name = FullName;
    edAuswahl->setText(TNDK::PathToDotted(Name.toUpper()));

    QString Layout;
    try {
        Layout = FNdk.GetEntryLayout(Name).toUpper();
    } catch (const EDirectoryError&) {
        // The tree root has no entry of its own; it is the object of layout TOP.
        if (Name.compare(FNdk.TreePrefix(), Qt::CaseInsensitive) != 0) {
            Refuse();
            throw;
        }
        Layout = TopLayout;
    }

    if (!Auswahlklassen.isEmpty() && !LayoutListed(Layout, Auswahlklassen)) {
        Refuse();
        return;
    }
    OKBtn->setEnabled(true);
    Auswahl = Name;
    if (!BaseWaehlbar && (Name.toUpper() == Base.toUpper() || Layout == TopLayout))
        Refuse();
}

void SetupPicker(TouBrowser& Dlg, TPickerKind Kind, const QString& OuSchueler) {
    struct TSetup {
        const char* Caption;
        const char* Hint;
        const char* Filter;
        const char* Auswahlklassen;
        const char* Symbol;
        bool BaseWaehlbar;
    };
    const char* const OuFuerBenutzer =
        "Wählen Sie die organisatorische Einheit (OU), für die Benutzer angelegt werden sollen.";
    TSetup S{};
    QString Base = OuSchueler;
    switch (Kind) {
    case TPickerKind::Container:
        S = {" OU für neue Klasse wählen",
             "Wählen Sie die organisatorische Einheit (OU), in der die Klasse angelegt werden soll.",
             "Organization,Organizational Unit", "Organizational Unit", "Organizational Unit", false};
        Base = Dlg.Ndk().TreePrefix();
        break;
    case TPickerKind::Loginscript:
        S = {" Muster-Loginscript wählen",
             "Wählen Sie die Klasse, von der das Loginscript übernommen werden soll.", "Organizational Unit",
             "", "Organizational Unit", false};
        break;
    case TPickerKind::Template:
        S = {" Mustertemplate wählen",
             "Wählen Sie das Template, das für die neue Klasse übernommen werden soll.",
             "Organizational Unit,Template", "Template", "Template", true};
        break;
    case TPickerKind::KlassenAuswahl:
        S = {" Klasse wählen", "Wählen Sie die Klasse für die Schülerliste", "Organizational Unit,User",
             "Organizational Unit", "Organizational Unit", false};
        break;
    case TPickerKind::Kurs:
        S = {" OU für neue Klasse wählen", OuFuerBenutzer, "Organization,Organizational Unit",
             "Organizational Unit", "Organizational Unit", false};
        break;
    case TPickerKind::KursU:
        S = {" OU der Klasse wählen", OuFuerBenutzer, "Organization,Organizational Unit", "Organizational Unit",
             "Organizational Unit", false};
        break;
    case TPickerKind::Workstations:
        S = {" OU der Workstations wählen",
             "Wählen Sie die organisatorische Einheit (OU), in der sich die Workstations befinden.",
             "Organization,Organizational Unit", "Organizational Unit", "Organizational Unit", false};
        Base = Dlg.Ndk().DottedToPath(QStringLiteral("Workstations"));
        break;
    case TPickerKind::TemplateU:
        S = {" Template auswählen", "Wählen Sie das Template zur Erstellung  der neuen Benutzer.",
             "Organization,Organizational Unit,Template", "Template", "Template", false};
        break;
    }
    Dlg.setWindowTitle(QString::fromUtf8(S.Caption));
    Dlg.SetHinweis(QString::fromUtf8(S.Hint));
    Dlg.Base = Base;
    Dlg.Filter = QString::fromUtf8(S.Filter);
    Dlg.Auswahlklassen = QString::fromUtf8(S.Auswahlklassen);
    Dlg.SetSymbol(1, QString::fromUtf8(S.Symbol));
    Dlg.BaseWaehlbar = S.BaseWaehlbar;
    Dlg.SetExpandMode(1);
}

bool ChoosePicker(QWidget* Parent, TNDK& Ndk, TPickerKind Kind, const QString& OuSchueler,
                  QString& Selection) {
    TouBrowser Dlg(Ndk, Parent);
    SetupPicker(Dlg, Kind, OuSchueler);
    if (!Dlg.Prepare())
        return false;
    if (TModalSeam::Exec(Dlg) != QDialog::Accepted || Dlg.Auswahl.isEmpty())
        return false;
    Selection = Dlg.Auswahl;
    return true;
}
