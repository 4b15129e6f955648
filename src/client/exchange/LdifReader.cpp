#include "Ldif.h"

#include "LdifParts.h"

#include <DirectoryBackend.h>
#include <Dn.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <Names.h>
#include <PosixIds.h>
#include <Schema.h>
#include <Syntax.h>
#include <VolumePath.h>
#include <VolumeStore.h>

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

// The records of an LDIF text as objects and fields of the directory.

namespace Ldif {
namespace {

using Dn::TRdn;
using namespace Schema;

// Fails unless the directory part of a path value stays inside its volume and names a folder the
// volume store takes: no level may be "." or "..", also not once blanks are dropped (as the
// conversion to a file-system path drops them) or with "/" for "\"; nor may it break the store's
// rules (VolumePath.h).
void CheckInsideVolume(const QString& Directory, int Line) {
    for (QString Level : Directory.split(QRegularExpression(QStringLiteral("[\\\\/]")))) {
        Level.remove(QLatin1Char(' '));
        if (Level == QLatin1String(".") || Level == QLatin1String(".."))
            Fail(Line, QStringLiteral("ungültiger Pfad \"%1\": eine Ebene darf nicht \".\" oder \"..\" sein")
                           .arg(Directory));
    }
    // The rest by the volume store's own rules; one leading "\" names the volume's root.
    const QString Levels = Directory.startsWith(QLatin1Char('\\')) ? Directory.mid(1) : Directory;
    if (const QString Fault = VolumePath::DirectoryFault(Levels); !Fault.isEmpty())
        Fail(Line, QStringLiteral("ungültiger Pfad \"%1\": %2").arg(Directory, Fault));
}

struct TPlannedRecord {
    int Line = 0;
    QString FullName;
    QString ParentFullName;
    QString Name;
    QString Layout;
    int Depth = 0;
    bool Exists = false;
    QString HostServer; // full name of the server that holds a volume
    struct TField {
        int Line;
        QString Field;
        QVariant Value;
        QStringList Named;  // the objects its values name, case-folded full names
        bool Later = false; // written once every object of the text is there
    };
    std::vector<TField> Fields;
    qint64 PosixId = -1; // the uidNumber of a user, the gidNumber of a container; -1: none
    int PosixLine = 0;
    TObjectRef Object;
    int State = 0; // while ordering: 0 not yet, 1 being placed, 2 placed
};

// The objects a value of a name or path syntax names (a path: its volume), case-folded.
QStringList NamedObjects(TSyntaxKind Kind, const QVariant& Value) {
    QStringList Named;
    if (Kind != TSyntaxKind::DistinguishedName && Kind != TSyntaxKind::Path)
        return Named;
    const QVariantList Values =
        Value.metaType().id() == QMetaType::QVariantList ? Value.toList() : QVariantList{Value};
    for (const QVariant& V : Values) {
        const QString Text = V.toString();
        Named.append((Kind == TSyntaxKind::Path ? Text.section(QLatin1Char(','), 0, 0) : Text)
                         .trimmed()
                         .toCaseFolded());
    }
    return Named;
}

class TImporter {
public:
    TImporter(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName)
        : FDirectory(Directory), FVolumes(Volumes), FTreeName(TreeName) {
        for (const QString& T : FDirectory.Trees())
            if (T.compare(TreeName, Qt::CaseInsensitive) == 0) {
                FTreeName = T;
                FTreeExists = true;
            }
        FStored.SetTreeExists(FTreeExists);
        FDns = Dn::TTreeDns(FTreeName);
        FRoot = FDns.Root();
    }

    TImportResult Run(const QByteArray& Text) {
        if (FTreeName.isEmpty() || FTreeName.contains(QLatin1Char('\\')))
            throw EDirectoryError(QStringLiteral("Ungültiger Baumname \"%1\"").arg(FTreeName));
        const std::vector<TRecord> Records = ReadRecords(Text);
        std::vector<TPlannedRecord> Plan;
        Plan.reserve(Records.size());
        for (const TRecord& R : Records)
            NoteParent(R);
        for (const TRecord& R : Records)
            Plan.push_back(PlanRecord(R));
        if (FTreeExists) {
            std::vector<TPosixIdLine> Ids;
            for (const TPlannedRecord& P : Plan)
                if (P.PosixId > 0)
                    Ids.push_back({P.FullName, P.Layout, P.PosixId, P.PosixLine});
            if (!Ids.empty())
                TPosixIdLines::CheckAgainst(Ids, FDirectory.PosixIdentities(FDirectory.Resolve(FRoot)));
        }
        return Apply(Plan);
    }

private:
    QString DnToFullName(const QString& Text, int Line) const {
        try {
            return FDns.FullNameOf(Dn::Parse(Text));
        } catch (const EDirectoryError& E) {
            Fail(Line, E.Message());
        }
    }

    // The DN of a container by the naming rule of containers, for messages.
    QString ContainerDn(const QString& FullName) const {
        return FDns.DnOf(FDns.ContainerLevels(FullName, false));
    }

    // The layout of an object the store holds or the text names earlier; "" when neither.
    QString KnownLayout(const QString& FullName) const {
        if (FullName.compare(FRoot, Qt::CaseInsensitive) == 0)
            return QStringLiteral("Tree");
        auto It = FPlanned.constFind(FullName.toLower());
        if (It != FPlanned.constEnd())
            return *It;
        TObjectRef Ref;
        if (FStored.Find(FullName, Ref))
            return Ref.Layout;
        return QString();
    }

    QVariant ConvertValue(const NWFieldType& Type, const QByteArray& Bytes, int Line) const {
        try {
            QVariant Value = DecodeValue(
                Bytes, Type, [this, Line](const QString& Text) { return DnToFullName(Text, Line); });
            if (KindOfSyntax(Type.Syntax) == TSyntaxKind::Path) {
                const QString Text = Value.toString();
                CheckInsideVolume(Text.mid(Text.indexOf(QLatin1Char(',')) + 1), Line);
            }
            return Value;
        } catch (const EDirectoryError& E) {
            if (E.Message().startsWith(QStringLiteral("LDIF-Zeile")))
                throw;
            Fail(Line, E.Message());
        }
    }

    // Counts the record below its parent, so that a container with many records is read at once; a
    // name that is no DN is left to the plan to report.
    void NoteParent(const TRecord& R) {
        try {
            const std::vector<TRdn> Rdns = Dn::Parse(Utf8(R.Lines.first().Value, R.Lines.first().Line));
            if (!Rdns.empty())
                FStored.NoteParent(FDns.FullNameOf(Rdns, Rdns.size() - 1));
        } catch (const EDirectoryError&) {
        }
    }

    TPlannedRecord PlanRecord(const TRecord& R) {
        TPlannedRecord P;
        P.Line = R.Line;
        const TAttributeLine& DnLine = R.Lines.first();
        const QString DnText = Utf8(DnLine.Value, DnLine.Line);
        std::vector<TRdn> Rdns;
        try {
            Rdns = Dn::Parse(DnText);
        } catch (const EDirectoryError& E) {
            Fail(DnLine.Line, E.Message());
        }
        P.FullName = FDns.FullNameOf(Rdns);
        P.ParentFullName = FDns.FullNameOf(Rdns, Rdns.size() - 1);
        P.Name = Rdns.back().Value;
        P.Depth = int(Rdns.size());
        if (FPlanned.contains(P.FullName.toLower()))
            Fail(R.Line, QStringLiteral("\"%1\" kommt zweimal vor").arg(DnText));

        // The layout: one object class that names a layout; "top" and the like may accompany it.
        QString Unknown;
        int UnknownLine = 0;
        for (const TAttributeLine& A : R.Lines) {
            if (A.Attribute.compare(QLatin1String("objectClass"), Qt::CaseInsensitive) != 0)
                continue;
            const QString Class = Utf8(A.Value, A.Line).trimmed();
            const QString Layout = ObjectClassToLayout(Class);
            if (Layout.isEmpty()) {
                if (!IsAbstractClass(Class) && Unknown.isEmpty()) {
                    Unknown = Class;
                    UnknownLine = A.Line;
                }
                continue;
            }
            if (!P.Layout.isEmpty() && P.Layout != Layout)
                Fail(A.Line, QStringLiteral("zwei Objektklassen, die Layouts benennen (\"%1\", \"%2\")")
                                 .arg(LayoutToObjectClass(P.Layout), Class));
            P.Layout = Layout;
        }
        if (!Unknown.isEmpty())
            Fail(UnknownLine, QStringLiteral("unbekannte Objektklasse \"%1\"").arg(Unknown));
        if (P.Layout.isEmpty())
            Fail(R.Line, QStringLiteral("\"objectClass:\" fehlt"));
        if (Rdns.back().Type != NamingAttribute(P.Layout))
            Fail(R.Line,
                 QStringLiteral("ein Objekt der Klasse %1 wird mit \"%2=\" benannt, nicht mit \"%3=\"")
                     .arg(LayoutToObjectClass(P.Layout), NamingAttribute(P.Layout), Rdns.back().Type));

        // The parent must exist or come earlier in the text.
        const QString ParentLayout = KnownLayout(P.ParentFullName);
        if (ParentLayout.isEmpty())
            Fail(R.Line, QStringLiteral("übergeordnetes Objekt \"%1\" fehlt (übergeordnete Objekte kommen "
                                        "vor ihren untergeordneten)")
                             .arg(ContainerDn(P.ParentFullName)));
        if (!IsContainerLayout(ParentLayout))
            Fail(R.Line, QStringLiteral("übergeordnetes Objekt \"%1\" ist kein Container")
                             .arg(ContainerDn(P.ParentFullName)));
        TObjectRef Ref;
        if (FStored.Find(P.FullName, Ref)) {
            if (Ref.Layout.compare(P.Layout, Qt::CaseInsensitive) != 0)
                Fail(R.Line, QStringLiteral("\"%1\" gibt es bereits mit der Objektklasse %2")
                                 .arg(DnText, LayoutToObjectClass(Ref.Layout)));
            P.Exists = true;
            P.FullName = Ref.FullName;
            P.Object = Ref;
        }

        // Fields: the values of each attribute in the order of the text.
        std::vector<std::pair<QString, std::vector<const TAttributeLine*>>> Attributes;
        for (qsizetype I = 1; I < R.Lines.size(); ++I) {
            const TAttributeLine& A = R.Lines[I];
            if (IsOperational(A.Attribute) || IsNamingAttribute(A.Attribute))
                continue;
            auto It = std::find_if(Attributes.begin(), Attributes.end(), [&](const auto& E) {
                return E.first.compare(A.Attribute, Qt::CaseInsensitive) == 0;
            });
            if (It == Attributes.end())
                Attributes.push_back({A.Attribute, {&A}});
            else
                It->second.push_back(&A);
        }
        for (const auto& [Attribute, Lines] : Attributes) {
            const int Line = Lines.front()->Line;
            if (TPosixIdLines::IsIdAttribute(Attribute)) {
                P.PosixId = FPosixIds.Read(P.Layout, Attribute, Lines);
                P.PosixLine = Line;
                continue;
            }
            const NWFieldType* Known = TypeOf(Attribute);
            if (!Known)
                Fail(Line, QStringLiteral("unbekanntes Attribut \"%1\"").arg(Attribute));
            const NWFieldType Type = *Known;
            const QString& Field = Type.Name;
            if (Type.SingleValued && Lines.size() > 1)
                Fail(Lines[1]->Line, QStringLiteral("\"%1\" hat nur einen Wert").arg(Attribute));
            QVariant Value;
            if (Type.SingleValued) {
                Value = ConvertValue(Type, Lines.front()->Value, Line);
            } else {
                QVariantList Values;
                for (const TAttributeLine* L : Lines)
                    Values.append(ConvertValue(Type, L->Value, L->Line));
                Value = Values;
            }
            if (Field == QLatin1String("Host Server") && P.Layout == QLatin1String("Volume"))
                P.HostServer = Value.toString();
            P.Fields.push_back({Line, Field, Value, NamedObjects(KindOfSyntax(Type.Syntax), Value)});
        }
        FPlanned.insert(P.FullName.toLower(), P.Layout);
        return P;
    }

    // The type of the field an attribute names (the table's attributes first, then each field's
    // name in rule form), or null; looked up once per attribute and import.
    const NWFieldType* TypeOf(const QString& Attribute) {
        const QString Key = Attribute.toLower();
        auto It = FTypeOfAttribute.constFind(Key);
        if (It != FTypeOfAttribute.constEnd())
            return *It;
        QString Field;
        for (const TFieldName& F : FieldTable)
            if (Key.compare(QLatin1String(F.Attribute), Qt::CaseInsensitive) == 0)
                Field = QString::fromUtf8(F.Field);
        const std::vector<NWFieldType>& Types = FDirectory.FieldTypes();
        if (Field.isEmpty()) {
            auto Named = std::find_if(Types.begin(), Types.end(),
                                      [&](const NWFieldType& T) { return IsRuleAttributeOf(Key, T.Name); });
            if (Named != Types.end())
                Field = Named->Name;
        }
        auto Found =
            std::find_if(Types.begin(), Types.end(), [&](const NWFieldType& T) { return T.Name == Field; });
        const NWFieldType* Type = Found == Types.end() ? nullptr : &*Found;
        FTypeOfAttribute.insert(Key, Type);
        return Type;
    }

    // Places a new object after its parent and after the new objects its values name, unless one
    // of those waits for it (names it back, or is below it): that field is written later.
    void Place(TPlannedRecord* P, QHash<QString, TPlannedRecord*>& New, std::vector<TPlannedRecord*>& Order) {
        P->State = 1;
        if (TPlannedRecord* Parent = New.value(P->ParentFullName.toCaseFolded()); Parent && !Parent->State)
            Place(Parent, New, Order);
        for (TPlannedRecord::TField& F : P->Fields)
            for (const QString& Name : std::as_const(F.Named)) {
                TPlannedRecord* Q = New.value(Name);
                if (!Q || Q->State == 2 || F.Later)
                    continue;
                bool Waits = Q->State == 1;
                for (TPlannedRecord* A = New.value(Q->ParentFullName.toCaseFolded()); A && !Waits;
                     A = New.value(A->ParentFullName.toCaseFolded()))
                    Waits = A->State == 1;
                if (Waits)
                    F.Later = true;
                else
                    Place(Q, New, Order);
            }
        P->State = 2;
        Order.push_back(P);
    }

    // The line to blame for a write the directory refused: the line of the field it names, else
    // the record's; the directory's status code stays (a server that went away, -625).
    [[noreturn]] static void FailWrite(const TPlannedRecord& P, const EDirectoryError& E) {
        if (E.Message().startsWith(QStringLiteral("LDIF-Zeile")))
            throw E;
        int Line = P.Line;
        for (const TPlannedRecord::TField& F : P.Fields)
            if (E.Message().contains(QLatin1Char('"') + F.Field + QLatin1Char('"'))) {
                Line = F.Line;
                break;
            }
        throw EDirectoryError(QStringLiteral("LDIF-Zeile %1: %2").arg(Line).arg(E.Message()), E.Code());
    }

    TImportResult Apply(std::vector<TPlannedRecord>& Plan) {
        // Each new object is created with all its fields in one write: parents before children,
        // each container's new subordinates in the order of the text, and an object that a value
        // names before the object that names it. Where names go round (a group and its members
        // naming each other), the field that closes the round is written once every object is
        // there, with the fields of the objects that exist already.
        QHash<QString, int> ParentRank;
        for (const TPlannedRecord& P : Plan)
            if (!ParentRank.contains(P.ParentFullName.toLower()))
                ParentRank.insert(P.ParentFullName.toLower(), int(ParentRank.size()));
        std::vector<TPlannedRecord*> ByDepth;
        ByDepth.reserve(Plan.size());
        QHash<QString, TPlannedRecord*> New;
        for (TPlannedRecord& P : Plan) {
            if (P.Exists)
                continue;
            ByDepth.push_back(&P);
            New.insert(P.FullName.toCaseFolded(), &P);
        }
        std::stable_sort(ByDepth.begin(), ByDepth.end(),
                         [&](const TPlannedRecord* A, const TPlannedRecord* B) {
                             if (A->Depth != B->Depth)
                                 return A->Depth < B->Depth;
                             return ParentRank.value(A->ParentFullName.toLower()) <
                                    ParentRank.value(B->ParentFullName.toLower());
                         });
        // A group cannot stand without its members (LDAP: groupOfNames must have one); the fields
        // of its new members that name it back wait instead.
        for (TPlannedRecord* G : ByDepth)
            for (const TPlannedRecord::TField& F : G->Fields)
                if (F.Field == QLatin1String("Member"))
                    for (const QString& Name : F.Named)
                        if (TPlannedRecord* U = New.value(Name))
                            for (TPlannedRecord::TField& Back : U->Fields)
                                if (Back.Named.contains(G->FullName.toCaseFolded()))
                                    Back.Later = true;
        std::vector<TPlannedRecord*> Order;
        Order.reserve(ByDepth.size());
        for (TPlannedRecord* P : ByDepth)
            if (!P->State)
                Place(P, New, Order);

        TImportResult Result;
        TDirectoryTransaction Transaction(FDirectory);
        if (!FTreeExists)
            FDirectory.AddTree(FTreeName);
        TObjectRef Parent;
        for (TPlannedRecord* P : Order) {
            try {
                if (Parent.FullName.compare(P->ParentFullName, Qt::CaseInsensitive) != 0)
                    Parent = FDirectory.Resolve(P->ParentFullName);
                if (!IsContainerLayout(Parent.Layout))
                    Fail(P->Line, QStringLiteral("übergeordnetes Objekt \"%1\" ist kein Container")
                                      .arg(P->ParentFullName));
                std::vector<TFieldWrite> Writes;
                for (const TPlannedRecord::TField& F : P->Fields)
                    if (!F.Later)
                        Writes.push_back({F.Field, F.Value});
                P->Object = FDirectory.CreateObject(Parent, P->Layout, P->Name, Writes);
                ++Result.Created;
            } catch (const EDirectoryError& E) {
                FailWrite(*P, E);
            }
        }
        std::vector<TVolume> Volumes = FVolumes.Volumes();
        for (TPlannedRecord& P : Plan) {
            try {
                if (P.Exists) // found while planning
                    ++Result.Updated;
                std::vector<TFieldWrite> Writes;
                for (const TPlannedRecord::TField& F : P.Fields)
                    if (P.Exists || F.Later)
                        Writes.push_back({F.Field, F.Value});
                if (!Writes.empty())
                    FDirectory.WriteFields(P.Object, Writes);
                if (P.Layout == QLatin1String("NCP Server"))
                    Result.Servers.append(P.Object.FullName);
                if (!P.HostServer.isEmpty())
                    AddVolume(Volumes, P);
            } catch (const EDirectoryError& E) {
                FailWrite(P, E);
            }
        }
        std::vector<TPosixGrant> Grants;
        std::vector<int> GrantLines;
        for (const TPlannedRecord& P : Plan)
            if (P.PosixId > 0) {
                Grants.push_back({P.Object, P.PosixId});
                GrantLines.push_back(P.PosixLine);
            }
        TPosixIdLines::Give(FDirectory, Grants, GrantLines);
        Transaction.Commit();
        return Result;
    }

    // Enters a volume that the volume map does not know yet: the server from its host server, the
    // volume name from the object's name without the "SERVER_" prefix, the default root folder.
    void AddVolume(std::vector<TVolume>& Volumes, const TPlannedRecord& P) {
        const QString Server = P.HostServer.section(QLatin1Char('\\'), -1);
        QString Volume = P.Name;
        if (Volume.startsWith(Server + QLatin1Char('_'), Qt::CaseInsensitive))
            Volume = Volume.mid(Server.size() + 1);
        for (const TVolume& V : Volumes)
            if (V.VolumeObject.compare(P.Object.FullName, Qt::CaseInsensitive) == 0 ||
                (V.Server.compare(Server, Qt::CaseInsensitive) == 0 &&
                 V.Volume.compare(Volume, Qt::CaseInsensitive) == 0))
                return;
        TVolume V;
        V.Server = Server;
        V.Volume = Volume;
        V.VolumeObject = P.Object.FullName;
        FVolumes.AddVolume(V);
        Volumes.push_back(V);
    }

    TDirectoryBackend& FDirectory;
    TVolumeStore& FVolumes;
    QString FTreeName;
    Dn::TTreeDns FDns{QString()};
    QString FRoot;
    bool FTreeExists = false;
    mutable TStoredObjects FStored{FDirectory};
    QHash<QString, const NWFieldType*> FTypeOfAttribute; // lower-case attribute -> its field's type
    QHash<QString, QString> FPlanned;                    // lower-case full name -> layout
    TPosixIdLines FPosixIds;
};

} // namespace

TImportResult ImportTree(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName,
                         const QByteArray& Text) {
    TImporter Importer(Directory, Volumes, TreeName);
    return Importer.Run(Text);
}

} // namespace Ldif
