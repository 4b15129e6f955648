#pragma once

#include <QString>

// import-volumes of many folders in one parent, into a fresh store with the demo tree, against the
// same folders made with mkdir alone; and a second writer of the same store that starts while the
// import's transaction runs and must wait for it, not fail.
struct TVolumeImportTiming {
    int Folders = 0;
    double ImportMs = 0;
    double MkdirMs = 0;            // the same folders made with mkdir alone
    double WriterStartedMs = 0;    // after the import began
    double WriterEndedMs = 0;      // after the import began
    bool WriterOverlapped = false; // started before the import ended
    QString WriterFailure;         // empty: it succeeded
};

TVolumeImportTiming TimeVolumeImport(int Folders);
