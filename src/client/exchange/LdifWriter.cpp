#include "Ldif.h"

#include "LdifParts.h"

#include <DirectoryBackend.h>
#include <Dn.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <NWNetAddress.h>
#include <Names.h>
#include <PosixIds.h>
#include <Schema.h>
#include <VolumeStore.h>

#include <QHash>
#include <algorithm>

// A directory tree as LDIF text.

namespace Ldif {
namespace {

using namespace Schema;

// Whether the full name names an object below the root of tree TreeName.
bool InTree(const QString& FullName, const QString& TreeName) {
    return FullName.startsWith(TreeFullName(TreeName) + QLatin1Char('\\'), Qt::CaseInsensitive);
}

struct TExportObject {
    TObjectRef Object;
    QString Parent; // full name of the container
    QString Dn;
};

class TExporter {
public:
    TExporter(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName)
        : FDirectory(Directory), FVolumes(Volumes) {
        if (TreeName.isEmpty() || TreeName.contains(QLatin1Char('\\')))
            throw EDirectoryError(QStringLiteral("Ungültiger Baumname \"%1\"").arg(TreeName));
        FRoot = FDirectory.Resolve(TreeFullName(TreeName));
        FDns = Dn::TTreeDns(FRoot.ShortName);
        for (const NWFieldType& T : FDirectory.FieldTypes())
            FTypes.insert(T.Name, T);
    }

    QByteArray Run() {
        Walk(FRoot, QString());
        for (const TExportObject& O : FObjects)
            FDnOf.insert(O.Object.FullName.toLower(), O.Dn);
        for (const TPosixHolder& H : FDirectory.PosixIdentities(FRoot))
            FPosixIds.insert(H.FullName.toCaseFolded(), H);

        QByteArray Out;
        Out += AttributeLine("version", "1");
        Out += CommentLine("directory tree " + FRoot.ShortName.toUtf8());
        for (const TExportObject& O : FObjects) {
            Out += '\n';
            Write(Out, O);
        }
        return Out;
    }

private:
    // Objects parents first, each container's subordinates in creation order.
    void Walk(const TObjectRef& Container, const QString& ContainerDn) {
        for (const TChildEntry& C : FDirectory.Children(Container, {})) {
            TExportObject O;
            O.Object = {C.Key, Container.FullName + QLatin1Char('\\') + C.ShortName, C.ShortName, C.Layout};
            O.Parent = Container.FullName;
            O.Dn = Dn::Format({{NamingAttribute(C.Layout), C.ShortName}});
            if (!ContainerDn.isEmpty())
                O.Dn += QLatin1Char(',') + ContainerDn;
            const bool Descend = IsContainerLayout(C.Layout);
            const TObjectRef Object = O.Object;
            const QString Dn = O.Dn;
            FObjects.push_back(std::move(O));
            if (Descend)
                Walk(Object, Dn);
        }
    }

    // The DN of an object of this tree named by its full name; "" for a name outside the tree.
    QString DnOf(const QString& FullName) const {
        auto It = FDnOf.constFind(FullName.toLower());
        if (It != FDnOf.constEnd())
            return *It;
        if (!InTree(FullName, FRoot.ShortName))
            return QString();
        return FDns.DnOf(FDns.ContainerLevels(FullName, true));
    }

    QString HostServerDn(const TExportObject& Volume) {
        if (!FVolumesRead) {
            for (const TVolume& V : FVolumes.Volumes())
                FVolumeServer.insert(V.VolumeObject.toLower(), V.Server);
            FVolumesRead = true;
        }
        auto It = FVolumeServer.constFind(Volume.Object.FullName.toLower());
        if (It == FVolumeServer.constEnd())
            return QString();
        const QString& Server = *It;
        const TExportObject* Found = nullptr;
        for (const TExportObject& O : FObjects) {
            if (O.Object.Layout.compare(QLatin1String("NCP Server"), Qt::CaseInsensitive) != 0 ||
                O.Object.ShortName.compare(Server, Qt::CaseInsensitive) != 0)
                continue;
            if (!Found || (O.Parent == Volume.Parent && Found->Parent != Volume.Parent))
                Found = &O;
        }
        if (Found)
            return Found->Dn;
        for (const TServerConnection& C : FDirectory.ServerConnections())
            if (C.DisplayName.compare(Server, Qt::CaseInsensitive) == 0 &&
                InTree(C.FullName, FRoot.ShortName))
                return DnOf(C.FullName);
        return QString();
    }

    QList<QByteArray> Values(const std::vector<QVariant>& Items, const NWFieldType& Type) const {
        const TDnOf ToDn = [this](const QString& FullName) { return DnOf(FullName); };
        QList<QByteArray> Result;
        for (const QVariant& Item : Items) {
            if (Item.metaType() == QMetaType::fromType<NWNetAddress>() &&
                Item.value<NWNetAddress>().IsEmpty())
                continue;
            Result.append(EncodeValue(Item, Type, ToDn));
        }
        return Result;
    }

    void Write(QByteArray& Out, const TExportObject& O) {
        Out += AttributeLine("dn", O.Dn.toUtf8());
        Out += AttributeLine("objectClass", LayoutToObjectClass(O.Object.Layout).toUtf8());
        Out += AttributeLine(NamingAttribute(O.Object.Layout).toUtf8(), O.Object.ShortName.toUtf8());

        // Table fields first, then the rest by attribute name.
        struct TItem {
            int Position; // in the table; past its end for the rest
            QString Attribute;
            const TFieldValues* Field; // null for a value that does not come from a field
        };
        const std::vector<TFieldValues> Fields = FDirectory.ReadFields(O.Object);
        std::vector<TItem> Items;
        bool HasHost = false;
        for (const TFieldValues& F : Fields) {
            const QString Attribute = FieldToAttribute(F.Field);
            if (IsOperational(Attribute) || IsNamingAttribute(Attribute))
                continue;
            HasHost = HasHost || Attribute == QLatin1String("hostServer");
            int Position = int(std::size(FieldTable));
            for (int I = 0; I < int(std::size(FieldTable)); ++I)
                if (F.Field == QLatin1String(FieldTable[I].Field))
                    Position = I;
            Items.push_back({Position, Attribute, &F});
        }
        // A volume names its server; the volume map knows it when the object does not.
        QString Host;
        if (!HasHost && O.Object.Layout == QLatin1String("Volume")) {
            Host = HostServerDn(O);
            if (!Host.isEmpty())
                Items.push_back({int(std::size(FieldTable)), QStringLiteral("hostServer"), nullptr});
        }
        std::sort(Items.begin(), Items.end(), [](const TItem& A, const TItem& B) {
            if (A.Position != B.Position)
                return A.Position < B.Position;
            const int C = A.Attribute.compare(B.Attribute, Qt::CaseInsensitive);
            if (C != 0)
                return C < 0;
            const int D = A.Attribute.compare(B.Attribute);
            if (D != 0)
                return D < 0;
            return (A.Field ? A.Field->Field : QString()) < (B.Field ? B.Field->Field : QString());
        });

        for (const TItem& Item : Items) {
            const QByteArray Name = Item.Attribute.toUtf8();
            if (!Item.Field) {
                Out += AttributeLine(Name, Host.toUtf8());
                continue;
            }
            for (const QByteArray& V : Values(Item.Field->Values, FTypes.value(Item.Field->Field)))
                Out += AttributeLine(Name, V);
        }
        // The POSIX id last: file servers' ACL entries name it, so it moves with the object.
        auto Id = FPosixIds.constFind(O.Object.FullName.toCaseFolded());
        if (Id != FPosixIds.constEnd() && PosixKindOfLayout(O.Object.Layout) == Id->Kind)
            Out += AttributeLine(Id->Kind == TPosixIdentity::TKind::User ? "uidNumber" : "gidNumber",
                                 QByteArray::number(Id->Id));
    }

    TDirectoryBackend& FDirectory;
    TVolumeStore& FVolumes;
    TObjectRef FRoot;
    Dn::TTreeDns FDns{QString()};
    QHash<QString, NWFieldType> FTypes;
    std::vector<TExportObject> FObjects;
    QHash<QString, QString> FDnOf; // lower-case full name -> DN
    QHash<QString, QString> FVolumeServer;
    QHash<QString, TPosixHolder> FPosixIds; // case-folded full name -> the id it holds
    bool FVolumesRead = false;
};

} // namespace

QByteArray ExportTree(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName) {
    TExporter Exporter(Directory, Volumes, TreeName);
    return Exporter.Run();
}

} // namespace Ldif
