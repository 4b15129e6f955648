// The BImport reader on arbitrary files: it never fails, a line is either an account or a fault,
// and every account it reads comes back the same when written as the tab writes its lines.
#include <BImportFormat.h>
#include <Names.h>

#include <QStringEncoder>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray File(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const BImport::TContent Content = BImport::Read(File);
    const qsizetype Lines = File.count('\n') + (File.endsWith('\n') || File.isEmpty() ? 0 : 1);
    if (qsizetype(Content.Accounts.size() + Content.Faults.size()) > Lines)
        std::abort();
    int Previous = 0;
    for (const BImport::TAccount& A : Content.Accounts) {
        if (A.Line <= Previous || A.Line > Lines || !NameFault(A.Name).isEmpty() ||
            !NameFault(A.Course).isEmpty())
            std::abort();
        Previous = A.Line;
        QStringEncoder Encoder(BImport::CodePage, QStringConverter::Flag::Stateless);
        const QByteArray Again =
            Encoder.encode(BImport::Line({A.Name, A.Course, A.Surname, A.GivenName, A.FullName})) +
            BImport::LineEnd;
        const BImport::TContent Back = BImport::Read(Again);
        if (!Back.Faults.empty() || Back.Accounts.size() != 1)
            std::abort();
        const BImport::TAccount& B = Back.Accounts.front();
        if (B.Name != A.Name || B.Course != A.Course || B.Surname != A.Surname ||
            B.GivenName != A.GivenName || B.FullName != A.FullName)
            std::abort();
    }
    for (const BImport::TFault& F : Content.Faults)
        if (F.Line < 1 || F.Line > Lines || F.Text.isEmpty())
            std::abort();
    return 0;
}
