// The access object's creation and the choice of its tree.

#include "ndk_u.h"

#include "LayoutIcons.h"
#include "treeSelect_u.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>

#include <QComboBox>
#include <QDir>

TNDK* NDK = nullptr;

TNDK& Erreichbar(TNDK* Ndk) {
    if (!Ndk)
        throw EDirectoryError(QStringLiteral("Das Verzeichnis ist nicht erreichbar."));
    return *Ndk;
}

// ---------------------------------------------------------------------------------------------
// Creation and tree choice

TNDK::TNDK(QWidget* Owner)
    : QObject(Owner), NWDir1(new NWDir(this)), NWVolAdm1(new NWVolAdm(this)), NWUsrGrp1(new NWUsrGrp(this)),
      NWSess1(new NWSess(this)), FOwner(Owner) {
    Init();
}

TNDK::TNDK(QWidget* Owner, TDirectoryClient& Store)
    : QObject(Owner), NWDir1(new NWDir(Store, this)), NWVolAdm1(new NWVolAdm(Store, this)),
      NWUsrGrp1(new NWUsrGrp(Store, this)), NWSess1(new NWSess(Store, this)), FOwner(Owner) {
    Init();
}

TNDK::TNDK(QWidget* Owner, TDirectoryClient& Store, const QString& TreePrefix)
    : QObject(Owner), NWDir1(new NWDir(Store, this)), NWVolAdm1(new NWVolAdm(Store, this)),
      NWUsrGrp1(new NWUsrGrp(Store, this)), NWSess1(new NWSess(Store, this)), FOwner(Owner) {
    setObjectName(QStringLiteral("NDK"));
    StreamFolder = QDir::tempPath();
    connect(NWDir1, &NWDir::SearchCompleted, this, &TNDK::NWDir1SearchCompleted);
    ImageList = LayoutIcons();
    NWDir1->SetFullName(TreePrefix);
    FTreePrefix = TreePrefix;
}

TDirectoryClient& TNDK::Client() const {
    return NWDir1->Client();
}

TNDK::~TNDK() {
    if (NDK == this)
        NDK = nullptr;
}

void TNDK::Init() {
    setObjectName(QStringLiteral("NDK"));
    NWDir1->setObjectName(QStringLiteral("NWDir1"));
    NWVolAdm1->setObjectName(QStringLiteral("NWVolAdm1"));
    NWUsrGrp1->setObjectName(QStringLiteral("NWUsrGrp1"));
    NWSess1->setObjectName(QStringLiteral("NWSess1"));
    StreamFolder = QDir::tempPath();
    connect(NWDir1, &NWDir::SearchCompleted, this, &TNDK::NWDir1SearchCompleted);
    ImageList = LayoutIcons();
    Guarded(FOwner, [this] { FormCreate(); });
}

void TNDK::FormCreate() {
    FTreePrefix.clear();
    SearchScope = 2;
    DottedResults = true;

    const int N = NWSess1->ConnectedTreeCount();
    QString Chosen;
    if (N < 2) {
        Chosen = NWSess1->ConnectedTree(0);
    } else {
        TTreeSelect Dialog(FOwner);
        for (int I = 0; I < N; ++I)
            Dialog.ComboBox1->addItem(NWSess1->ConnectedTree(I));
        Dialog.ComboBox1->setCurrentIndex(0);
        Dialog.ComboBox1->setEditText(Dialog.ComboBox1->itemText(0));
        TModalSeam::Exec(Dialog); // OK and the close button alike: the text as it stands counts
        Chosen = Dialog.ComboBox1->currentText();
    }
    NWDir1->SetFullName(Chosen);
    FTreePrefix = Chosen;
}
