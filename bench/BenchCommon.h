#pragma once

// What the benchmark's parts share: names of the built directory and the timing of two sides.

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTextStream>
#include <functional>
#include <limits>

inline QTextStream& Out() {
    static QTextStream S(stdout);
    return S;
}

inline const QString TreeRoot = QStringLiteral("NDS:\\\\SCHULE");
inline const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");

inline QString ClassName(int C) {
    return QStringLiteral("k%1").arg(C, 4, 10, QLatin1Char('0'));
}
inline QString UserName(int C, int S) {
    return QStringLiteral("s%1_%2").arg(C, 4, 10, QLatin1Char('0')).arg(S, 2, 10, QLatin1Char('0'));
}

// Runs both sides alternately, Rounds times over the sample; answers the time of one call of each
// side in microseconds, from each side's fastest round (the least disturbed by other work). The
// floor is the same read done directly on the store.
struct TTiming {
    double Program = 0;
    double Floor = 0;
};
inline TTiming Time(int Rounds, int Calls, const std::function<void()>& Program,
                    const std::function<void()>& Floor) {
    Program(); // warm the caches and prepared queries of both sides
    Floor();
    qint64 ProgramNs = std::numeric_limits<qint64>::max(), FloorNs = std::numeric_limits<qint64>::max();
    QElapsedTimer T;
    for (int R = 0; R < Rounds; ++R) {
        T.start();
        Program();
        ProgramNs = qMin(ProgramNs, T.nsecsElapsed());
        T.start();
        Floor();
        FloorNs = qMin(FloorNs, T.nsecsElapsed());
    }
    return {ProgramNs / 1000.0 / Calls, FloorNs / 1000.0 / Calls};
}

struct TRow {
    QString Name;
    TTiming Timing;
};

// Prints the rows against the floor named Floor; true when every ratio is at most Target.
inline bool PrintRows(const QList<TRow>& Rows, const QString& Floor, double Target) {
    bool Met = true;
    Out() << QStringLiteral("%1 %2 %3 %4\n")
                 .arg(QStringLiteral("Read"), -40)
                 .arg(QStringLiteral("program µs"), 12)
                 .arg(Floor + QStringLiteral(" µs"), 10)
                 .arg(QStringLiteral("ratio"), 7);
    for (const TRow& R : Rows) {
        const double Ratio = R.Timing.Program / R.Timing.Floor;
        Met = Met && Ratio <= Target;
        Out() << QStringLiteral("%1 %2 %3 %4%5\n")
                     .arg(R.Name, -40)
                     .arg(R.Timing.Program, 12, 'f', 1)
                     .arg(R.Timing.Floor, 10, 'f', 1)
                     .arg(Ratio, 7, 'f', 2)
                     .arg(Ratio <= Target ? QString() : QStringLiteral("  (target: at most %1)").arg(Target));
    }
    return Met;
}
