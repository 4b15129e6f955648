#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The one place that answers "now" and the date and time formats of the program. The formats are
// the system locale's short formats; a system without a locale (C or POSIX) gets the German ones,
// since every text of the program is German. Tests fix the time and the formats.
class TClock {
public:
    static QDateTime Now();
    static QDate Today() { return Now().date(); }
    static QString ShortDateFormat();   // e.g. "dd.MM.yyyy"
    static QString TimeFormat();        // e.g. "hh:mm:ss"
    static QString DateToStr(const QDate& Date);
    static QString TimeToStr(const QTime& Time);
    static QString DateTimeToStr(const QDateTime& DateTime);  // date, blank, time

    // Tests: a fixed "now" (an invalid value returns to the real clock) and fixed formats (an empty
    // text returns to the system's).
    static void SetNow(const QDateTime& Now);
    static void SetShortDateFormat(const QString& Format);
    static void SetTimeFormat(const QString& Format);
    static void Reset();
};
