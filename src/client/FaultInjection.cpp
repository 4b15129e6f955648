#include "FaultInjection.h"

#include "EDirectoryError.h"

namespace {

struct TRule {
    int Remaining = 0;   // -1: always
    QString Message;
    int Status = 0;
};

// Call names compare without regard to case ("NWDSCreateContexthandle" is
// "NWDSCreateContextHandle").
QHash<QString, TRule>& Rules() {
    static QHash<QString, TRule> R;
    return R;
}
QHash<QString, int>& Counts() {
    static QHash<QString, int> C;
    return C;
}
int& Delay() {
    static int D = 0;
    return D;
}

QString Key(const QString& Call) { return Call.toUpper(); }

// Counts the call; true (with the rule) when it is due to fail. Calls are counted under the name
// as written (cheap on the hot path); rules are looked up only when a test set one.
bool Due(const QString& Call, TRule& Out) {
    ++Counts()[Call];
    if (Rules().isEmpty())
        return false;
    auto It = Rules().find(Key(Call));
    if (It == Rules().end())
        return false;
    Out = *It;
    if (It->Remaining > 0 && --It->Remaining == 0)
        Rules().erase(It);
    return true;
}

} // namespace

void TFaultInjection::FailNext(const QString& Call, int Times, const QString& Message, int Status) {
    if (Times <= 0)
        return;
    Rules().insert(Key(Call), TRule{Times, Message, Status});
}

void TFaultInjection::FailAlways(const QString& Call, const QString& Message, int Status) {
    Rules().insert(Key(Call), TRule{-1, Message, Status});
}

void TFaultInjection::SetSearchDelay(int Milliseconds) { Delay() = qMax(0, Milliseconds); }

int TFaultInjection::SearchDelay() { return Delay(); }

void TFaultInjection::Clear() {
    Rules().clear();
    Counts().clear();
    Delay() = 0;
}

void TFaultInjection::Check(const QString& Call) {
    TRule R;
    if (!Due(Call, R))
        return;
    const QString Message =
        R.Message.isEmpty() ? QStringLiteral("%1 fehlgeschlagen (%2)").arg(Call).arg(R.Status) : R.Message;
    throw EDirectoryError(Message, R.Status);
}

int TFaultInjection::Status(const QString& Call) {
    TRule R;
    return Due(Call, R) ? R.Status : 0;
}

int TFaultInjection::Count(const QString& Call) {
    int N = 0;
    for (auto It = Counts().cbegin(); It != Counts().cend(); ++It)
        if (It.key().compare(Call, Qt::CaseInsensitive) == 0)
            N += It.value();
    return N;
}
