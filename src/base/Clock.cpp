#include "Clock.h"

#include <QLocale>
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
TClockState& State() {
    static TClockState S;
    return S;
}
bool SystemHasNoLocale() {
    const QLocale System = QLocale::system();
    return System.language() == QLocale::C || System.name() == QLatin1String("C");
}
} // namespace

QDateTime TClock::Now() {
    const QDateTime& Fixed = State().FixedNow;
    return Fixed.isValid() ? Fixed : QDateTime::currentDateTime();
}

QString TClock::ShortDateFormat() {
    if (!State().DateFormat.isEmpty())
        return State().DateFormat;
    if (SystemHasNoLocale())
        return QStringLiteral("dd.MM.yyyy");
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QString TClock::TimeFormat() {
    if (!State().TimeFormat.isEmpty())
        return State().TimeFormat;
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
    TClockState& S = State();
    if (S.InstantPauses) {
        S.FixedNow = Now().addMSecs(Milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

void TClock::SetNow(const QDateTime& Now) {
    State().FixedNow = Now;
}
void TClock::SetShortDateFormat(const QString& Format) {
    State().DateFormat = Format;
}
void TClock::SetTimeFormat(const QString& Format) {
    State().TimeFormat = Format;
}
void TClock::SetInstantPauses(bool On) {
    State().InstantPauses = On;
}
void TClock::Reset() {
    State() = TClockState{};
}
