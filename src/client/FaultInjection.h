#pragma once

#include <QHash>
#include <QString>

// Test hook of the directory client: lets a named call fail, return a status, or answer late.
// Call names are "Class.Member", e.g. "NWDir.FullName", "NWEntry.Update", "NWTrustees.Add",
// "NWCallsInit", "NWDSCreateContexthandle"; they compare without regard to case. A property's
// setter and getter share the property's name ("NWDir.FullName" is SetFullName,
// "NWDirectoryEntry.DeleteInhibit" both SetDeleteInhibit and DeleteInhibit, "NWRights.Right" both
// Right and SetRight); plain getters of what the control already holds (FullName(), ShortName(),
// Count()) are not checked. Client-library calls use their function names ("NWParsePath",
// "NWDSModifyObject", "NWDSChangeObjectPassword", ...). Nothing is injected unless a test asks for it.
class TFaultInjection {
public:
    // The next Times calls of Call throw EDirectoryError(Message) (control calls) or return
    // Status (client-library calls).
    static void FailNext(const QString& Call, int Times = 1, const QString& Message = QString(),
                         int Status = -601);
    // Every call of Call fails until Clear.
    static void FailAlways(const QString& Call, const QString& Message = QString(), int Status = -601);
    // Results of NWDir::Search arrive after this many milliseconds (default 0: next event-loop turn).
    static void SetSearchDelay(int Milliseconds);
    static int SearchDelay();
    static void Clear();

    // Used by the client: throws EDirectoryError when Call is due to fail.
    static void Check(const QString& Call);
    // Used by the client-library calls: the status to return, 0 when nothing is injected.
    static int Status(const QString& Call);
    // How often Call was made since the last Clear (counted for every Check/Status).
    static int Count(const QString& Call);
};
