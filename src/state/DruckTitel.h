#pragma once

#include <QString>

// The captions of the ruled printouts (student list, account list): two heading lines and the
// headings of the name, login-name and fourth column. The main window owns the one instance for
// its whole life and hands it to both printouts; what one printout or the caption dialog sets stays
// for the next run of either.
struct TDruckTitel {
    QString Header1; // first heading line, bold
    QString Header2; // second heading line
    QString Spalte2 = QStringLiteral("Name");
    QString Spalte3 = QStringLiteral("Anmeldename");
    QString Spalte4;
    bool operator==(const TDruckTitel&) const = default;
};
