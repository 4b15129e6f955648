#include "RunUndo.h"

#include "DirectoryClient.h"
#include "JournaledRun.h"

#include <EDirectoryError.h>
#include <ErrorText.h>
#include <Names.h>
#include <RecordingBackend.h>

#include <QDir>
#include <QHash>
#include <QSet>

namespace {

using TKind = TRunChange::TKind;
using TAction = TUndoStep::TAction;

QString Up(const QString& Name) {
    QString U = Name.toUpper();
    while (U.endsWith(u'\\') && U.size() > 2)
        U.chop(1);
    return U;
}

QStringList Texts(const std::vector<QVariant>& Values) {
    QStringList T;
    for (const QVariant& V : Values)
        T << ValueToText(V);
    return T;
}

// Field name (upper-cased) -> its values as text.
QHash<QString, QStringList> FieldMap(const std::vector<TFieldValues>& Fields) {
    QHash<QString, QStringList> Map;
    for (const TFieldValues& F : Fields)
        if (!F.Values.empty())
            Map.insert(F.Field.toUpper(), Texts(F.Values));
    return Map;
}

std::optional<int> MaskOf(const std::vector<QVariant>& Mask) {
    if (Mask.empty())
        return std::nullopt;
    return int(Mask.front().toLongLong());
}

// What the run left of everything it made: the fields of each object it made.
struct TLeft {
    QHash<QString, std::vector<TFieldValues>> Fields; // Up(object) -> fields as the run left them
    QSet<QString> MadeObjects, MadeFolders;           // Up(...)
};

TLeft WhatTheRunLeft(const std::vector<TRunChange>& Changes) {
    TLeft L;
    for (const TRunChange& C : Changes) {
        const QString U = Up(C.Target);
        if (C.Kind == TKind::CreateObject) {
            L.MadeObjects.insert(U);
            L.Fields.insert(U, C.Fields);
        } else if (C.Kind == TKind::CreateFolder) {
            L.MadeFolders.insert(U);
        } else if (C.Kind == TKind::WriteField && L.MadeObjects.contains(U)) {
            std::vector<TFieldValues>& F = L.Fields[U];
            auto It = std::find_if(F.begin(), F.end(), [&](const TFieldValues& V) {
                return V.Field.compare(C.Detail, Qt::CaseInsensitive) == 0;
            });
            if (It != F.end())
                It->Values = C.After;
            else
                F.push_back({C.Detail, C.After});
        }
    }
    return L;
}

} // namespace

bool TUndoPlan::Complete() const {
    return std::none_of(Steps.begin(), Steps.end(),
                        [](const TUndoStep& S) { return S.Action == TAction::Refuse; });
}

QStringList TUndoPlan::Lines() const {
    QStringList Lines;
    for (const TUndoStep& S : Steps) {
        const QString Line = ChangeLines(S.Change, false).front();
        switch (S.Action) {
        case TAction::Revert:
            Lines << QStringLiteral("Zurücknehmen: ") + Line;
            break;
        case TAction::Along:
            Lines << QStringLiteral("    mit entfernt: ") + Line;
            break;
        case TAction::Refuse:
            Lines << QStringLiteral("BLEIBT: ") + Line + QStringLiteral(" – ") + S.Why;
            break;
        }
    }
    if (Lines.isEmpty())
        Lines << QStringLiteral("Der Lauf hat nichts geändert, das sich zurücknehmen ließe.");
    return Lines;
}

TUndoPlan PlanUndo(TDirectoryClient& Client, qint64 RunId) {
    TRunJournal* Journal = Client.Journal();
    if (!Journal)
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Dieser Arbeitsplatz führt kein Protokoll der Läufe."));
    std::optional<TJournalRun> Run = Journal->Find(RunId);
    if (!Run)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Einen Lauf %1 gibt es im Protokoll nicht.").arg(RunId));
    if (Run->UndoneBy)
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Der Lauf %1 wurde bereits mit Lauf %2 zurückgenommen.")
                                .arg(RunId)
                                .arg(Run->UndoneBy));
    TUndoPlan Plan;
    Plan.Run = *Run;
    const std::vector<TRunChange> Changes = Journal->Changes(RunId);
    const TLeft Left = WhatTheRunLeft(Changes);
    TDirectoryBackend& D = Client.Directory();
    TVolumeStore& V = Client.VolumeStore();

    // First what becomes of the objects and folders the run made, the last made first, so that a
    // container or folder is taken back only when everything in it goes.
    QHash<qsizetype, QString> Refused; // index into Changes -> why
    QSet<QString> Deleted, Removed, Gone;
    for (qsizetype I = qsizetype(Changes.size()) - 1; I >= 0; --I) {
        const TRunChange& C = Changes[size_t(I)];
        const QString U = Up(C.Target);
        if (C.Kind == TKind::CreateObject) {
            TObjectRef Ref;
            if (!D.TryResolve(C.Target, Ref)) {
                Gone.insert(U);
                continue;
            }
            QStringList Why;
            QStringList Since;
            for (const TChildEntry& Child : D.Children(Ref, {}))
                if (!Deleted.contains(U + u'\\' + Child.ShortName.toUpper()))
                    Since << Child.ShortName + QStringLiteral(" (") + Child.Layout + u')';
            if (!Since.isEmpty())
                Why << QStringLiteral("enthält, was seit dem Lauf dazukam: ") +
                           Since.join(QStringLiteral(", "));
            const QHash<QString, QStringList> Was = FieldMap(Left.Fields.value(U));
            const QHash<QString, QStringList> Now = FieldMap(KeptFields(D, Ref));
            QStringList Edited;
            for (auto It = Now.cbegin(); It != Now.cend(); ++It)
                if (Was.value(It.key()) != It.value())
                    Edited << It.key();
            for (auto It = Was.cbegin(); It != Was.cend(); ++It)
                if (!Now.contains(It.key()))
                    Edited << It.key();
            if (!Edited.isEmpty()) {
                Edited.sort();
                Why << QStringLiteral("seit dem Lauf geänderte Felder: ") + Edited.join(QStringLiteral(", "));
            }
            if (Why.isEmpty())
                Deleted.insert(U);
            else
                Refused.insert(I, Why.join(QStringLiteral("; ")));
        } else if (C.Kind == TKind::CreateFolder) {
            if (!V.FolderExists(C.Target)) {
                Gone.insert(U);
                continue;
            }
            QStringList Since;
            const QString Local = V.LocalPath(C.Target);
            const QFileInfoList Entries = QDir(Local).entryInfoList(
                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
            for (const QFileInfo& E : Entries)
                if (!(E.isDir() && !E.isSymLink() && Removed.contains(U + u'\\' + E.fileName().toUpper())))
                    Since << E.fileName() + (E.isDir() ? QStringLiteral("\\") : QString());
            if (Since.isEmpty())
                Removed.insert(U);
            else
                Refused.insert(I, QStringLiteral("enthält, was seit dem Lauf dazukam: ") +
                                      Since.join(QStringLiteral(", ")));
        }
    }

    auto Step = [&Plan](const TRunChange& C, TAction A, const QString& Why = QString()) {
        Plan.Steps.push_back({C, A, Why});
    };
    for (qsizetype I = qsizetype(Changes.size()) - 1; I >= 0; --I) {
        const TRunChange& C = Changes[size_t(I)];
        const QString U = Up(C.Target);
        switch (C.Kind) {
        case TKind::CreateObject:
        case TKind::CreateFolder:
            if (Gone.contains(U))
                break; // taken away since: nothing to do
            if (Refused.contains(I))
                Step(C, TAction::Refuse, Refused.value(I));
            else
                Step(C, TAction::Revert);
            break;
        case TKind::WriteField: {
            if (Deleted.contains(U) || Gone.contains(U)) {
                Step(C, TAction::Along);
                break;
            }
            if (Left.MadeObjects.contains(U))
                break; // the object stays, and with it what the run wrote: its refusal says why
            TObjectRef Ref;
            const NWFieldType* Type = D.FieldType(C.Detail);
            if (!D.TryResolve(C.Target, Ref) || !Type)
                Step(C, TAction::Refuse, QStringLiteral("das Objekt gibt es nicht mehr"));
            else if (Texts(D.ReadField(Ref, *Type)) != Texts(C.After))
                Step(C, TAction::Refuse, QStringLiteral("das Feld wurde seit dem Lauf geändert"));
            else
                Step(C, TAction::Revert);
            break;
        }
        case TKind::SetPassword:
            if (Deleted.contains(U) || Gone.contains(U))
                Step(C, TAction::Along);
            else
                Step(C, TAction::Refuse, QStringLiteral("ein Passwort lässt sich nicht zurücksetzen"));
            break;
        case TKind::SetFlag:
        case TKind::SetRights: {
            if (Removed.contains(U) || Gone.contains(U)) {
                Step(C, TAction::Along);
                break;
            }
            if (Left.MadeFolders.contains(U))
                break; // the folder stays with what the run gave it
            if (!V.FolderExists(C.Target)) {
                Step(C, TAction::Refuse, QStringLiteral("den Ordner gibt es nicht mehr"));
                break;
            }
            const TFolderKey Key = V.OpenFolder(C.Target);
            bool Same = false;
            if (C.Kind == TKind::SetFlag) {
                const TFolderFlag Flag = C.Detail == FlagName(TFolderFlag::DeleteInhibit)
                                             ? TFolderFlag::DeleteInhibit
                                             : TFolderFlag::RenameInhibit;
                Same = !C.After.empty() && V.FolderFlag(Key, Flag) == C.After.front().toBool();
            } else {
                Same = V.FindTrustee(Key, C.Detail) == MaskOf(C.After);
            }
            if (Same)
                Step(C, TAction::Revert);
            else
                Step(C, TAction::Refuse, QStringLiteral("seit dem Lauf geändert"));
            break;
        }
        case TKind::DeleteObject:
        case TKind::RemoveFolder:
            Step(C, TAction::Refuse,
                 QStringLiteral("was der Lauf entfernt hat, wird nicht wiederhergestellt"));
            break;
        case TKind::WriteFile:
            Step(C, TAction::Refuse, QStringLiteral("die Datei liegt außerhalb der Volumes und bleibt"));
            break;
        case TKind::FolderExists:
        case TKind::Failure:
            break;
        }
    }
    return Plan;
}

namespace {

void Revert(TDirectoryClient& Client, const TRunChange& C) {
    TDirectoryBackend& D = Client.Directory();
    TVolumeStore& V = Client.VolumeStore();
    switch (C.Kind) {
    case TKind::CreateObject:
        D.DeleteObject(D.Resolve(C.Target));
        break;
    case TKind::CreateFolder:
        if (!V.RemoveFolder(C.Target))
            ThrowDirectoryError(ERR_INVALID_REQUEST,
                                QStringLiteral("Der Ordner %1 ist nicht leer").arg(C.Target));
        break;
    case TKind::WriteField: {
        QVariantList Values;
        for (const QVariant& Value : C.Before)
            Values << Value;
        D.WriteFields(D.Resolve(C.Target), {{C.Detail, Values.isEmpty() ? QVariant() : QVariant(Values)}});
        break;
    }
    case TKind::SetFlag:
        V.SetFolderFlag(V.OpenFolder(C.Target),
                        C.Detail == FlagName(TFolderFlag::DeleteInhibit) ? TFolderFlag::DeleteInhibit
                                                                         : TFolderFlag::RenameInhibit,
                        !C.Before.empty() && C.Before.front().toBool());
        break;
    case TKind::SetRights: {
        const TFolderKey Key = V.OpenFolder(C.Target);
        const std::optional<int> Before = MaskOf(C.Before);
        if (!Before) {
            V.RemoveTrustee(Key, C.Detail);
        } else {
            if (!V.FindTrustee(Key, C.Detail))
                V.AddTrustee(Key, C.Detail);
            V.ChangeTrusteeRights(Key, C.Detail, *Before, ~*Before & 0x1FF);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

QStringList ExecuteUndo(TDirectoryClient& Client, const TUndoPlan& Plan, bool* Ok) {
    TJournaledRun Undo(Client, QStringLiteral("Rückgängig"),
                       QStringLiteral("Lauf %1: %2 %3").arg(Plan.Run.Id).arg(Plan.Run.Kind, Plan.Run.Title),
                       Plan.Run.Tree, {{QStringLiteral("Lauf"), QString::number(Plan.Run.Id)}}, Plan.Run.Id);
    QStringList Lines;
    bool All = Plan.Complete();
    for (const TUndoStep& S : Plan.Steps) {
        if (S.Action != TAction::Revert)
            continue;
        const QString Line = ChangeLines(S.Change, false).front();
        try {
            Revert(Client, S.Change);
            Lines << QStringLiteral("Zurückgenommen: ") + Line;
        } catch (...) {
            All = false;
            TRunChange F;
            F.Kind = TKind::Failure;
            F.Target = Line;
            F.Detail = CurrentErrorText();
            Undo.Record(F);
            Lines << QStringLiteral("Fehlgeschlagen: ") + Line + QStringLiteral(" – ") + F.Detail;
        }
    }
    for (const TUndoStep& S : Plan.Steps)
        if (S.Action == TAction::Refuse)
            Lines << QStringLiteral("Nicht zurückgenommen: ") + ChangeLines(S.Change, false).front() +
                         QStringLiteral(" – ") + S.Why;
    const qint64 UndoId = Undo.Id();
    Undo.End(All ? QStringLiteral("erfolgreich") : QStringLiteral("teilweise"));
    if (All && Client.Journal())
        Client.Journal()->SetUndone(Plan.Run.Id, UndoId);
    if (Ok)
        *Ok = All;
    return Lines;
}
