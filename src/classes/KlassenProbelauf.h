#pragma once

#include <LaufBericht.h>
#include <RunJournal.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;
class TKlassenLauf;
class TNDK;
struct TKlassenEingaben;

// The inputs of a class creation as the journal keeps them.
std::vector<TRunInput> KlassenJournalEingaben(const TKlassenEingaben& E);

// Creates the class through Lauf; each step that fails goes to Record as a change of its own (the
// protocol line and why).
bool KlasseMitBericht(TKlassenLauf& Lauf, const TKlassenEingaben& E,
                      const std::function<void(const TRunChange&)>& Record);

// The class creation as a dry run: the same run over a copy of the access object's directory and
// volumes that keeps every write to itself. An existing class is reported as the one failure.
TLaufBericht KlassenProbelauf(TNDK& Ndk, const TKlassenEingaben& E, QWidget* Owner);
