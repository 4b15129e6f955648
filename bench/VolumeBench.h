#pragma once

#include <QString>

// import-volumes of many folders in one parent, into a fresh store with the demo tree, and a second
// writer of the same store that starts while the import runs and must wait for it, not fail.
struct TVolumeImportTiming {
    int Folders = 0;
    double ImportMs = 0;
    double WriterStartedMs = 0;    // after the import began
    double WriterEndedMs = 0;      // after the import began
    bool WriterOverlapped = false; // started before the import ended
    QString WriterFailure;         // empty: it succeeded
};

TVolumeImportTiming TimeVolumeImport(int Folders);
