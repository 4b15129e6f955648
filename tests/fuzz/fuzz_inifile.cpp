// The INI file on arbitrary bytes. The input is the file. It is read, saved unchanged (the same bytes again),
// then one key is set and the file saved and read again: the key reads the new value and every other key as
// before. Which key and value are taken is derived from the input too, so the fuzzer steers them as well.

#include "IniFileCheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Text from raw bytes, either as UTF-8 or as raw UTF-16 code units (lone surrogates included).
QString TextOf(const QByteArray& Bytes, bool Raw16) {
    if (!Raw16)
        return QString::fromUtf8(Bytes);
    QString Text(Bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(Text.data(), Bytes.constData(), size_t(Text.size()) * 2);
    return Text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Bytes, size_t Size) {
    const QByteArray Data(reinterpret_cast<const char*>(Bytes), qsizetype(Size));
    uint32_t H = 2166136261u;
    for (const uint8_t B : QByteArrayView(Bytes, qsizetype(Size)))
        H = (H ^ B) * 16777619u;

    const TIniFile Ini = TIniFile::FromBytes(Data);
    const QStringList Sections = Ini.Sections();
    QString Section = Sections.isEmpty() ? QStringLiteral("config") : Sections.at(int(H % Sections.size()));
    QString Key = QStringLiteral("k%1").arg(H % 7);
    switch ((H >> 8) % 4) {
    case 0: { // an existing key
        const QStringList Keys = Ini.Keys(Section);
        if (!Keys.isEmpty())
            Key = Keys.at(int((H >> 12) % Keys.size()));
        break;
    }
    case 1: // a new section
        Section = QStringLiteral("s%1").arg(H % 5);
        break;
    case 2: // names straight from the input: anything at all
        Key = TextOf(Data.left((H >> 12) % 9), false);
        Section = TextOf(Data.mid(9, (H >> 16) % 9), false);
        break;
    default:
        break;
    }
    QString Value = TextOf(Data.right((H >> 20) % 17), (H >> 25) % 4 == 0);
    if ((H >> 27) % 3 == 0)
        Value += QStringLiteral("Ω");

    const QString Problem = IniSaveProblem(Data, Section, Key, Value);
    if (!Problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", Problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
