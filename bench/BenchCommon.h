#pragma once

// What the benchmark's parts share: names of the built directory and the timing of two sides.

#include <StringList.h>
#include <ndk_u.h>

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
    double LimitMicro = 0; // the program's absolute limit per call, 0: none
    bool RatioTarget = true; // false: timed and shown, with no ratio to meet
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
        const bool InTime = R.LimitMicro == 0 || R.Timing.Program < R.LimitMicro;
        const bool InRatio = !R.RatioTarget || Ratio <= Target;
        Met = Met && InRatio && InTime;
        Out() << QStringLiteral("%1 %2 %3 %4%5%6\n")
                     .arg(R.Name, -40)
                     .arg(R.Timing.Program, 12, 'f', 1)
                     .arg(R.Timing.Floor, 10, 'f', 1)
                     .arg(Ratio, 7, 'f', 2)
                     .arg(InRatio ? QString() : QStringLiteral("  (target: at most %1)").arg(Target))
                     .arg(InTime ? QString() : QStringLiteral("  (target: under %1 s)").arg(R.LimitMicro / 1e6));
    }
    return Met;
}

// The floor's way of doing each of the four reads for class C (and student S).
struct TFloorReads {
    std::function<void(int C)> List, Count;
    std::function<void(int C, int S)> Field;
    std::function<void(int C)> Search;
};

// The reads the workflows make through TNDK over the sample's classes, each timed against the
// floor's same read.
inline QList<TRow> TimeReads(TNDK& Ndk, const QList<int>& Sample, int Students, int Rounds,
                             const TFloorReads& Floor) {
    auto Full = [](int C) { return Schueler + QLatin1Char('\\') + ClassName(C); };
    auto Each = [&Sample](const std::function<void(int)>& Read) {
        return [&Sample, Read] {
            for (int C : Sample)
                Read(C);
        };
    };
    auto EachUser = [&Sample, Students](const std::function<void(int, int)>& Read) {
        return [&Sample, Students, Read] {
            for (int C : Sample)
                for (int S = 1; S <= Students; ++S)
                    Read(C, S);
        };
    };
    const int N = int(Sample.size());
    QList<TRow> Rows;
    Rows << TRow{QStringLiteral("ListEntries (one class)"), Time(Rounds, N, Each([&](int C) {
                                                                     TStringList List;
                                                                     Ndk.ListEntries(Full(C), List);
                                                                 }),
                                                                 Each(Floor.List))};
    Rows << TRow{QStringLiteral("CountEntries (one class)"),
                 Time(Rounds, N, Each([&](int C) { Ndk.CountEntries(Full(C)); }), Each(Floor.Count))};
    Rows << TRow{QStringLiteral("GetFieldValue (every user of a class)"),
                 Time(Rounds, N, EachUser([&](int C, int S) {
                          Ndk.GetFieldValue(Full(C) + QLatin1Char('\\') + UserName(C, S),
                                            QStringLiteral("Full Name"));
                      }),
                      EachUser(Floor.Field))};
    Rows << TRow{QStringLiteral("SearchObjects from [ROOT] (a class)"),
                 Time(Rounds, N, Each([&](int C) {
                          TStringList Found;
                          Ndk.SearchObjects(QStringLiteral("[ROOT]"), ClassName(C),
                                            QStringLiteral("Organizational Unit"), Found);
                      }),
                      Each(Floor.Search))};
    return Rows;
}
