#pragma once

#include <IniFile.h>

// What a save may do to an INI file: saved unchanged it gives back the same bytes; with one key set,
// the next read sees that key with the new value and every other key as before. Returns what went
// wrong, or the empty text. Shared by the unit test and the fuzz target.
inline QString IniSaveProblem(const QByteArray& Data, const QString& Section, const QString& Key,
                              const QString& Value) {
    const TIniFile Before = TIniFile::FromBytes(Data);
    if (Before.Serialize() != Data)
        return QStringLiteral("saved unchanged, the bytes differ");

    TIniFile Changed = Before;
    try {
        Changed.WriteString(Section, Key, Value);
    } catch (const EIniFileError&) {
        return Changed.Serialize() == Data ? QString() : QStringLiteral("refused, yet changed");
    }
    QByteArray Saved;
    try {
        Saved = Changed.Serialize();
    } catch (const EIniFileError&) {
        // Only a broken UTF-16 text (a lone surrogate) has no encoding that holds it.
        return Value.isValidUtf16() ? QStringLiteral("refused to save") : QString();
    }
    const TIniFile After = TIniFile::FromBytes(Saved);
    if (After.Serialize() != Saved)
        return QStringLiteral("the saved file does not save back unchanged");

    auto Flat = [](QString Text) {
        Text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        return Text.replace(u'\r', u' ').replace(u'\n', u' ');
    };
    const QString TargetSection = Flat(Section).trimmed(), TargetKey = Flat(Key).trimmed();
    auto IsTarget = [&](const QString& S, const QString& K) {
        return S.compare(TargetSection, Qt::CaseInsensitive) == 0 &&
               K.compare(TargetKey, Qt::CaseInsensitive) == 0;
    };
    const QString Absent = QStringLiteral("\x01absent");
    if (After.ReadString(Section, Key, Absent) != Flat(Value))
        return QStringLiteral("the key set reads \"%1\"").arg(After.ReadString(Section, Key, Absent));
    for (const QString& S : Before.Sections())
        for (const QString& K : Before.Keys(S))
            if (!IsTarget(S, K) && After.ReadString(S, K, Absent) != Before.ReadString(S, K, Absent))
                return QStringLiteral("[%1] %2 changed").arg(S, K);
    for (const QString& S : After.Sections())
        for (const QString& K : After.Keys(S))
            if (!IsTarget(S, K) && !Before.ValueExists(S, K))
                return QStringLiteral("[%1] %2 appeared").arg(S, K);
    return QString();
}
