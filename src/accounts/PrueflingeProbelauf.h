#pragma once

#include "PrueflingeLauf.h"

#include <LaufBericht.h>

#include <functional>
#include <vector>

class QWidget;

// The inputs of an exam-account run as the journal keeps them; the password only as whether there
// is one.
std::vector<TRunInput> PrueflingeJournalEingaben(const TPrueflingeStart& Start,
                                                 const TPrueflingeKonto& Konto);

// Runs the series through Lauf: the error that ends it and every account left without a
// restriction go to Record as failures; the protocol line (new accounts) to Bericht. Rethrows the
// error.
int PrueflingeMitBericht(TPrueflingeLauf& Lauf, const TPrueflingeStart& Start, const TPrueflingeKonto& Konto,
                         const std::function<void(const TRunChange&)>& Record, QStringList& Protokoll);

// The exam-account run as a dry run: the same run over a copy of the access object's directory and
// volumes that keeps every write to itself; the inputs stay as they are at the start. The boxes the
// run would show are listed instead.
TLaufBericht PrueflingeProbelauf(TNDK& Ndk, const TPrueflingeStart& Start, const TPrueflingeKonto& Konto,
                                 QWidget* Owner);
