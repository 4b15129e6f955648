// The journal of the runs and taking a run back.

#include "Dirtool.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <RunJournal.h>
#include <RunUndo.h>

#include <QTextStream>
#include <cstdio>
#include <unistd.h>

namespace {

TRunJournal& JournalOf(TTool& Tool) {
    if (!Tool.Client.Journal())
        throw EDirectoryError(QStringLiteral("Dieser Arbeitsplatz führt kein Protokoll der Läufe."));
    return *Tool.Client.Journal();
}

QString When(const QDateTime& T) {
    return T.isValid() ? TClock::DateTimeToStr(T.toLocalTime()) : QStringLiteral("-");
}

qint64 RunArgument(const QString& Text) {
    bool Ok = false;
    const qint64 Id = Text.toLongLong(&Ok);
    if (!Ok || Id <= 0)
        throw EUsage(QStringLiteral("Keine Nummer eines Laufs: %1").arg(Text));
    return Id;
}

QString Outcome(const TJournalRun& R) {
    QString Text = R.Ended.isValid() ? R.Result : QStringLiteral("nicht beendet");
    if (R.UndoneBy)
        Text += QStringLiteral(", zurückgenommen mit Lauf %1").arg(R.UndoneBy);
    return Text;
}

} // namespace

int Journal(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 1);
    TRunJournal& J = JournalOf(Tool);
    if (Args.isEmpty()) {
        const std::vector<TJournalRun> Runs = J.Runs();
        if (Runs.empty())
            Out() << "Das Protokoll enthält keine Läufe.\n";
        for (const TJournalRun& R : Runs)
            Out() << QStringLiteral("%1  %2  %3  %4  %5  %6 Änderungen  %7")
                         .arg(R.Id, 4)
                         .arg(When(R.Started), When(R.Ended), R.Kind, R.Title)
                         .arg(R.Changes)
                         .arg(Outcome(R))
                  << '\n';
        return 0;
    }
    const qint64 Id = RunArgument(Args[0]);
    const std::optional<TJournalRun> R = J.Find(Id);
    if (!R)
        throw EDirectoryError(QStringLiteral("Einen Lauf %1 gibt es im Protokoll nicht.").arg(Id));
    Out() << QStringLiteral("Lauf %1: %2 %3\n").arg(R->Id).arg(R->Kind, R->Title);
    Out() << QStringLiteral("Beginn: %1, Ende: %2\n").arg(When(R->Started), When(R->Ended));
    Out() << QStringLiteral("Angemeldet als: %1\n").arg(R->Login);
    Out() << QStringLiteral("Baum: %1 (%2)\n")
                 .arg(R->Tree, R->Server.isEmpty() ? QStringLiteral("Speicher des Arbeitsplatzes")
                                                   : QStringLiteral("Server ") + R->Server);
    if (R->Undoes)
        Out() << QStringLiteral("Nimmt Lauf %1 zurück\n").arg(R->Undoes);
    Out() << QStringLiteral("Ergebnis: %1\n").arg(Outcome(*R));
    Out() << "Eingaben:\n";
    for (const TRunInput& I : R->Inputs)
        Out() << "  " << I.Name << ": " << I.Value << '\n';
    Out() << "Änderungen:\n";
    for (const TRunChange& C : J.Changes(Id))
        for (const QString& Line : ChangeLines(C, false))
            Out() << "  " << Line << '\n';
    return 0;
}

int Undo(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 3);
    QStringList Rest = Args;
    const bool DryRun = Rest.removeAll(QStringLiteral("--dry-run")) > 0;
    const bool Yes = Rest.removeAll(QStringLiteral("--yes")) > 0;
    if (Rest.size() != 1)
        throw EUsage(QStringLiteral("undo braucht die Nummer eines Laufs"));
    const TUndoPlan Plan = PlanUndo(Tool.Client, RunArgument(Rest[0]));
    Out() << QStringLiteral("Lauf %1 (%2 %3 vom %4, %5) wird in umgekehrter Reihenfolge zurückgenommen:\n")
                 .arg(Plan.Run.Id)
                 .arg(Plan.Run.Kind, Plan.Run.Title, When(Plan.Run.Started), Plan.Run.Login);
    for (const QString& Line : Plan.Lines())
        Out() << "  " << Line << '\n';
    if (!Plan.Complete())
        Out() << "Was BLEIBT, wurde seit dem Lauf geändert oder lässt sich nicht zurücknehmen; es wird nicht "
                 "gelöscht.\n";
    if (DryRun) {
        Out() << "Probelauf: es wurde nichts geändert.\n";
        return 0;
    }
    if (!Yes) {
        if (!isatty(STDIN_FILENO))
            throw EUsage(QStringLiteral("Ohne Terminal nimmt undo einen Lauf nur mit --yes zurück."));
        Out() << "Zurücknehmen? [j/N] ";
        Out().flush();
        QTextStream In(stdin);
        const QString Answer = In.readLine().trimmed().toLower();
        if (Answer != QLatin1String("j") && Answer != QLatin1String("ja")) {
            Out() << "Abgebrochen: es wurde nichts geändert.\n";
            return 1;
        }
    }
    bool Ok = false;
    for (const QString& Line : ExecuteUndo(Tool.Client, Plan, &Ok))
        Out() << "  " << Line << '\n';
    return Ok ? 0 : 1;
}
