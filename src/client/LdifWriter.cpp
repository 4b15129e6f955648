#include "Ldif.h"

#include "DirectoryClient.h"
#include "LdifTable.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <NWNetAddress.h>
#include <Names.h>
#include <Syntax.h>

#include <QHash>
#include <algorithm>

namespace Ldif {
namespace {

struct TExportObject {
    TObjectRef Object;
    QString Parent; // full name of the container
    QString Dn;
};

class TExporter {
public:
    TExporter(TDirectoryClient& Client, const QString& TreeName)
        : FClient(Client), FDirectory(Client.Directory()) {
        if (TreeName.isEmpty() || TreeName.contains(QLatin1Char('\\')))
            throw EDirectoryError(QStringLiteral("Ungültiger Baumname \"%1\"").arg(TreeName));
        FRoot = FDirectory.Resolve(TreeFullName(TreeName));
        for (const NWFieldType& T : FDirectory.FieldTypes())
            FTypes.insert(T.Name, T);
    }

    QByteArray Run() {
        Walk(FRoot, QString());
        for (const TExportObject& O : FObjects)
            FDnOf.insert(O.Object.FullName.toLower(), O.Dn);

        QByteArray Out;
        Out += "version: 1\n";
        Out += "# directory tree " + FRoot.ShortName.toUtf8() + '\n';
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
            O.Dn = NamingAttribute(C.Layout) + QLatin1Char('=') + EscapeDnValue(C.ShortName);
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
        return FullNameToDn(FullName, true);
    }

    QString HostServerDn(const TExportObject& Volume) {
        if (!FVolumesRead) {
            for (const TVolume& V : FClient.VolumeStore().Volumes())
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
        const TDnOf Dn = [this](const QString& FullName) { return DnOf(FullName); };
        QList<QByteArray> Result;
        for (const QVariant& Item : Items) {
            if (Item.metaType() == QMetaType::fromType<NWNetAddress>() &&
                Item.value<NWNetAddress>().IsEmpty())
                continue;
            Result.append(EncodeValue(Item, Type, Dn));
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
    }

    TDirectoryClient& FClient;
    TDirectoryBackend& FDirectory;
    TObjectRef FRoot;
    QHash<QString, NWFieldType> FTypes;
    std::vector<TExportObject> FObjects;
    QHash<QString, QString> FDnOf; // lower-case full name -> DN
    QHash<QString, QString> FVolumeServer;
    bool FVolumesRead = false;
};

} // namespace

QByteArray EncodeValue(const QVariant& Item, const NWFieldType& Type, const TDnOf& DnOf) {
    if (Item.metaType() == QMetaType::fromType<NWNetAddress>()) {
        const NWNetAddress A = Item.value<NWNetAddress>();
        return QByteArray::number(A.AddressType()) + '#' + A.Address();
    }
    switch (Item.metaType().id()) {
    case QMetaType::QDateTime:
        return FormatGeneralizedTime(Item.toDateTime()).toLatin1();
    case QMetaType::Bool:
        return Item.toBool() ? "TRUE" : "FALSE";
    case QMetaType::QByteArray:
        return Item.toByteArray();
    default:
        break;
    }
    const QString Text = Item.toString();
    switch (KindOfSyntax(Type.Syntax)) {
    case TSyntaxKind::Path: {
        // "NDS:\\T\dienste\SRV1_DATA,home\x" gives "cn=SRV1_DATA,o=dienste#0#home\x".
        const qsizetype Comma = Text.indexOf(QLatin1Char(','));
        const QString Dn = Comma < 0 ? QString() : DnOf(Text.left(Comma).trimmed());
        if (Dn.isEmpty())
            return Text.toUtf8();
        return (Dn + QStringLiteral("#0#") + Text.mid(Comma + 1)).toUtf8();
    }
    case TSyntaxKind::DistinguishedName: {
        const QString Dn = DnOf(Text);
        return (Dn.isEmpty() ? Text : Dn).toUtf8();
    }
    default:
        return Text.toUtf8();
    }
}

bool NeedsBase64(const QByteArray& Value) {
    if (Value.isEmpty())
        return false;
    const char First = Value.front();
    if (First == ' ' || First == ':' || First == '<' || Value.back() == ' ')
        return true;
    for (char C : Value) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U < 0x20 || U >= 0x7F)
            return true;
    }
    return false;
}

QByteArray AttributeLine(const QByteArray& Attribute, const QByteArray& Value) {
    QByteArray Line = Attribute;
    if (Value.isEmpty())
        Line += ':';
    else if (NeedsBase64(Value))
        Line += ":: " + Value.toBase64();
    else
        Line += ": " + Value;
    constexpr int Width = 76;
    if (Line.size() <= Width)
        return Line + '\n';
    QByteArray Folded = Line.left(Width) + '\n';
    for (qsizetype Pos = Width; Pos < Line.size(); Pos += Width - 1)
        Folded += ' ' + Line.mid(Pos, Width - 1) + '\n';
    return Folded;
}

QByteArray ExportTree(TDirectoryClient& Client, const QString& TreeName) {
    TExporter Exporter(Client, TreeName);
    return Exporter.Run();
}

} // namespace Ldif
