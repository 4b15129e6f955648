// The access object's trustee rights and directory flags on the volumes' folders.

#include "ndk_u.h"

#include <Clock.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>
#include <Rights.h>

#include <exception>

QString TNDK::RightsToLetters(quint32 Mask) {
    return ::RightsToLetters(int(Mask));
}

void TNDK::SetTrusteeRights(const QString& Path, const QString& Trustee, const QString& Letters) {
    const int Granted = LettersToRights(Letters);
    const QString Dir = SplitFilePath(Path);
    NWVolAdm1->SetFullName(VolumeOfPath(Dir));
    const NWDirectoryEntryPtr Entry = NWVolAdm1->GetDirectoryEntry(Dir);

    // A container created moments before may not yet be known where the folder lives: give the
    // directory up to about ten seconds. The wait blocks on purpose; nothing else may run meanwhile.
    // The assignment and its eight rights (those not in the letters revoked) reach the volume in one
    // write, so that a store keeping them with the folder writes its attributes and ACL once.
    constexpr int Attempts = 100;
    NWTrusteePtr Added;
    std::exception_ptr Last;
    for (int Attempt = 1; Attempt <= Attempts; ++Attempt) {
        TClock::Pause(100);
        try {
            Added = Entry->Trustees().Assign(Trustee, Granted);
            break;
        } catch (const std::exception&) {
            Last = std::current_exception();
            if (Debug || Attempt == Attempts)
                Melden(QStringLiteral("Error (") + CurrentErrorText() + u')');
        }
    }
    if (!Added)
        std::rethrow_exception(Last);
}

QString TNDK::GetTrusteeRights(const QString& Path, const QString& Trustee) {
    const QString Dir = SplitFilePath(Path);
    try {
        NWVolAdm1->SetFullName(VolumeOfPath(Dir));
        const NWTrusteePtr T = NWVolAdm1->GetDirectoryEntry(Dir)->Trustees().Item(Trustee, 0);
        return RightsText(T->Rights().Mask());
    } catch (...) {
        return QString();
    }
}

void TNDK::SetDirectoryFlags(const QString& Path, const QString& Flags) {
    const QString Upper = Flags.toUpper();
    const QString Dir = SplitFilePath(Path);
    NWVolAdm1->SetFullName(VolumeOfPath(Dir));
    if (Upper.contains(QStringLiteral("+DI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetDeleteInhibit(true);
    if (Upper.contains(QStringLiteral("-DI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetDeleteInhibit(false);
    if (Upper.contains(QStringLiteral("+RI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetRenameInhibit(true);
    if (Upper.contains(QStringLiteral("-RI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetRenameInhibit(false);
}
