#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include "ConvertError.h"

// The one place that answers "now", the date and time formats and every wait of the program. The
// formats are the system locale's short formats; a system without a locale (C or POSIX) gets the
// German ones, since every text of the program is German. Tests fix the time and the formats and
// make the waits return at once. Every member may be called from any thread (the directory's
// background work reads the clock and waits too).
class TClock {
public:
    static QDateTime Now();
    static QDate Today() { return Now().date(); }
    static QString ShortDateFormat(); // e.g. "dd.MM.yyyy"
    static QString TimeFormat();      // e.g. "hh:mm:ss"
    static QString DateToStr(const QDate& Date);
    static QString TimeToStr(const QTime& Time);
    static QString DateTimeToStr(const QDateTime& DateTime); // date, blank, time
    // The date and time of a text in the form DateTimeToStr writes; throws EConvertError
    // ("'<text>' ist kein gültiges Datum und Uhrzeit") for any other text.
    static QDateTime StrToDateTime(const QString& Text);

    // Blocks the calling thread for the given time without processing events (the retries of the
    // directory layer wait this way on purpose: nothing else may run meanwhile).
    static void Pause(int Milliseconds);
    // Blocks the calling thread the same way until Now() has reached Moment; returns at once when
    // it has already.
    static void PauseUntil(const QDateTime& Moment);
    // The start of the whole second after the one Moment lies in.
    static QDateTime NextWholeSecond(const QDateTime& Moment);

    // Tests: a fixed "now" (an invalid value returns to the real clock) and fixed formats (an empty
    // text returns to the system's). With instant pauses a pause returns at once and moves the
    // fixed "now" on by its length (fixing "now" first when it is not fixed yet), so a test reads
    // how long the program waited from Now(); a pause until a moment moves it on to that moment.
    static void SetNow(const QDateTime& Now);
    static void SetShortDateFormat(const QString& Format);
    static void SetTimeFormat(const QString& Format);
    static void SetInstantPauses(bool On);
    static void Reset();
};
