#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <utility>

class TDirectoryClient;
class TSqliteStore;
class TNDK;

// One timed workflow: microseconds per call of the program and of the raw work, an absolute limit
// for the program (0: none), and whether the program must stay within twice the raw work.
struct TBenchZeile {
    QString Name;
    double Program = 0;
    double Sql = 0;
    double GrenzeMikro = 0;
    bool Verhaeltnisziel = true;
};

// Times Program and Sql, each doing Calls calls; answers microseconds per call of each.
using TZeitnehmer = std::function<std::pair<double, double>(int Calls, const std::function<void()>& Program,
                                                            const std::function<void()>& Sql)>;

// The lists: gives every class below Schueler an exchange folder with the class as trustee, then
// times the class overview rebuilt through its tab (also over exchange folders on real folders with
// extended attributes and ACLs), and the student list of a class and its
// printout on the recording canvas, against raw SQL and file-system calls doing the same work.
QList<TBenchZeile> BenchReports(TSqliteStore& Store, TDirectoryClient& Client, TNDK& Ndk,
                                const QString& Schueler, int Students, const TZeitnehmer& Zeit);
