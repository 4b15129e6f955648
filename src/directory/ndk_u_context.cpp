// The access object's sessions and client contexts, and the calls made through a context: the
// removal of an attribute's values and the password.

#include "ndk_u.h"

#include <ModalSeam.h>
#include <Secrets.h>

void TNDK::ListConnectedServers(TStringList& List) {
    const int N = NWSess1->ServerConnectionCount();
    for (int I = 0; I < N; ++I) {
        const NWSess::TServerConnection C = NWSess1->ServerConnection(I);
        List.Add(C.DisplayName, std::make_unique<TNDSObj>(C.FullName));
    }
}

void TNDK::ShowNwdsError(const QString& Call, NWCCODE Result) {
    if (Meldungen) {
        Meldungen(QStringLiteral("NWDS Error: ") + Call + QStringLiteral(" returned ") +
                  QString::number(Result) + u'.');
        return;
    }
    TModalSeam::Message(FOwner, QMessageBox::Critical, QStringLiteral("NWDS Error"),
                        Call + QStringLiteral(" returned ") + QString::number(Result) + u'.',
                        QMessageBox::Ok);
}

NWCCODE TNDK::OpenClientContext(NWDSContextHandle& Context) {
    NWCCODE Status = NWCallsInit(nullptr, nullptr);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWCallsInit"), Status);
    Status = NWDSCreateContextHandle(&Context);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWDSCreateContexthandle"), Status);
    std::uint32_t Flags = 0;
    Status = NWDSGetContext(Context, DCK_FLAGS, &Flags);
    if (Status == 0) {
        Flags |= DCV_TYPELESS_NAMES;
        NWDSSetContext(Context, DCK_FLAGS, &Flags);
    }
    return Status;
}

void TNDK::CloseClientContext(NWDSContextHandle Context) {
    const NWCCODE Status = NWDSFreeContext(Context);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWDSFreeContext"), Status);
}

QByteArray TNDK::ContextTreeName() {
    return PathToDotted(TreePrefix()).toLower().toUtf8();
}

NWCCODE TNDK::ClearAttribute(const QString& ObjectName, const QString& AttributeName) {
    NWDSContextHandle Context = 0;
    OpenClientContext(Context);
    // The tree the object name comes from.
    const QByteArray Tree = ContextTreeName();
    NWDSSetContext(Context, DCK_TREE_NAME, Tree.constData());
    const QByteArray Attribute = AttributeName.toUtf8();
    const QByteArray Object = (u'.' + ObjectName).toUtf8();

    NWDSBuf* Buf = nullptr;
    NWCCODE Status = NWDSAllocBuf(5096, &Buf);
    const bool Allocated = Status == 0 && Buf;
    if (Status == 0)
        Status = NWDSInitBuf(Context, DSV_MODIFY_ENTRY, Buf);
    if (Status == 0) {
        Status = NWDSPutChange(Context, Buf, DS_REMOVE_ATTRIBUTE, Attribute.constData());
        if (Status == 0) {
            std::int32_t Iteration = NO_MORE_ITERATIONS;
            Status = NWDSModifyObject(Context, Object.constData(), &Iteration, 0, Buf);
        }
    }
    if (Status == 614 || Status == -614)
        Status = 0;
    if (Allocated)
        NWDSFreeBuf(Buf);
    CloseClientContext(Context);
    return Status;
}

bool TNDK::SetUserPassword(const QString& User, const QString& Password) {
    NWDSContextHandle Context = 0;
    OpenClientContext(Context);
    const QByteArray Tree = ContextTreeName();
    NWDSSetContext(Context, DCK_TREE_NAME, Tree.constData());
    const QByteArray Object = (u'.' + PathToDotted(User)).toUtf8();
    // The upper-case copy and its bytes are wiped once the call has them; the caller's text stays.
    TSecretText Upper(Password.toUpper());
    QByteArray Secret = Upper.Text().toUtf8();
    const NWCCODE Status = NWDSChangeObjectPassword(Context, 0, Object.constData(), "", Secret.constData());
    WipeSecret(Secret);
    if (Status != 0)
        Melden(QStringLiteral("Passwort nicht geändert Fehler: ") + QString::number(Status));
    CloseClientContext(Context);
    return Status == 0;
}
