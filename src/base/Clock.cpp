#include "Clock.h"

#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <chrono>
#include <thread>

namespace {
struct TClockState {
    QDateTime FixedNow;
    QString DateFormat;
    QString TimeFormat;
    bool InstantPauses = false;
};
// Every access holds the mutex: the state is set by tests on one thread and read on others.
QMutex& Mutex() {
    static QMutex M;
    return M;
}
TClockState& State() {
    static TClockState S;
    return S;
}
QDateTime NowLocked() {
    const QDateTime& Fixed = State().FixedNow;
    return Fixed.isValid() ? Fixed : QDateTime::currentDateTime();
}
bool SystemHasNoLocale() {
    const QLocale System = QLocale::system();
    return System.language() == QLocale::C || System.name() == QLatin1String("C");
}
} // namespace

QDateTime TClock::Now() {
    QMutexLocker Lock(&Mutex());
    return NowLocked();
}

QString TClock::ShortDateFormat() {
    {
        QMutexLocker Lock(&Mutex());
        if (!State().DateFormat.isEmpty())
            return State().DateFormat;
    }
    if (SystemHasNoLocale())
        return QStringLiteral("dd.MM.yyyy");
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QString TClock::TimeFormat() {
    {
        QMutexLocker Lock(&Mutex());
        if (!State().TimeFormat.isEmpty())
            return State().TimeFormat;
    }
    if (SystemHasNoLocale())
        return QStringLiteral("hh:mm:ss");
    // The long format carries the seconds; its time-zone part ("t") is no part of a time of day.
    QString Format = QLocale::system().timeFormat(QLocale::LongFormat);
    Format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return Format.trimmed();
}

QString TClock::DateToStr(const QDate& Date) {
    return QLocale().toString(Date, ShortDateFormat());
}

QString TClock::TimeToStr(const QTime& Time) {
    return QLocale().toString(Time, TimeFormat());
}

QString TClock::DateTimeToStr(const QDateTime& DateTime) {
    return DateToStr(DateTime.date()) + u' ' + TimeToStr(DateTime.time());
}

QDateTime TClock::StrToDateTime(const QString& Text) {
    const QString DateFormat = ShortDateFormat();
    QDateTime Value = QLocale().toDateTime(Text, DateFormat + u' ' + TimeFormat());
    if (!Value.isValid())
        throw EConvertError(QStringLiteral("'%1' ist kein gültiges Datum und Uhrzeit").arg(Text));
    // A two-digit year reads as 19yy; it means the year within fifty years of today.
    if (!DateFormat.contains(QLatin1String("yyyy")) && Value.date().year() < Today().year() - 50)
        Value = Value.addYears(100);
    return Value;
}

void TClock::Pause(int Milliseconds) {
    if (Milliseconds <= 0)
        return;
    {
        QMutexLocker Lock(&Mutex());
        TClockState& S = State();
        if (S.InstantPauses) {
            S.FixedNow = NowLocked().addMSecs(Milliseconds);
            return;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

void TClock::PauseUntil(const QDateTime& Moment) {
    for (;;) {
        qint64 Left = 0;
        {
            QMutexLocker Lock(&Mutex());
            TClockState& S = State();
            const QDateTime Now = NowLocked();
            Left = Now.msecsTo(Moment);
            if (Left <= 0)
                return;
            if (S.InstantPauses) {
                S.FixedNow = Moment;
                return;
            }
        }
        // Asked again after the sleep: a sleep may end a little early.
        std::this_thread::sleep_for(std::chrono::milliseconds(Left));
    }
}

QDateTime TClock::NextWholeSecond(const QDateTime& Moment) {
    const qint64 Ms = Moment.toMSecsSinceEpoch();
    const qint64 IntoSecond = ((Ms % 1000) + 1000) % 1000;
    return Moment.addMSecs(1000 - IntoSecond);
}

void TClock::SetNow(const QDateTime& Now) {
    QMutexLocker Lock(&Mutex());
    State().FixedNow = Now;
}
void TClock::SetShortDateFormat(const QString& Format) {
    QMutexLocker Lock(&Mutex());
    State().DateFormat = Format;
}
void TClock::SetTimeFormat(const QString& Format) {
    QMutexLocker Lock(&Mutex());
    State().TimeFormat = Format;
}
void TClock::SetInstantPauses(bool On) {
    QMutexLocker Lock(&Mutex());
    State().InstantPauses = On;
}
void TClock::Reset() {
    QMutexLocker Lock(&Mutex());
    State() = TClockState{};
}
