#pragma once

// What the LDIF tests share: a store per case (the demo tree, or a small tree of a case's own), a
// second store to copy into, and export and import through a client.

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <Ldif.h>
#include <NWDir.h>
#include <SqliteStore.h>
#include <TestStore.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace LdifTest {
const QString Root = QStringLiteral("NDS:\\\\SCHULE");
const QString Class5a = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");

// A second store for a copy, with the client over it (not installed as the process-wide one).
class TCopyStore : public TDirectoryClient {
public:
    explicit TCopyStore(const QString& Folder) : TCopyStore(std::make_shared<TSqliteStore>(Folder)) {}
    TObjectRef Resolve(const QString& FullName) { return Directory().Resolve(FullName); }

private:
    explicit TCopyStore(const std::shared_ptr<TSqliteStore>& Store) : TDirectoryClient(Store, Store) {}
};

inline QByteArray Export(TDirectoryClient& Store, const QString& Tree) {
    return Ldif::ExportTree(Store.Directory(), Store.VolumeStore(), Tree);
}

inline Ldif::TImportResult Import(TDirectoryClient& Store, const QString& Tree, const QByteArray& Text) {
    return Ldif::ImportTree(Store.Directory(), Store.VolumeStore(), Tree, Text);
}

// The message of an import that must fail.
inline QString ImportError(TDirectoryClient& Store, const QString& Tree, const QByteArray& Text) {
    try {
        Import(Store, Tree, Text);
    } catch (const EDirectoryError& E) {
        return E.Message();
    }
    return QString();
}

inline NWEntryPtr Entry(TDirectoryClient& Store, const QString& FullName) {
    NWDir Dir(Store);
    return Dir.FindEntry(FullName);
}

// A text with the given lines, each ended by a line end.
inline QByteArray Lines(const QList<QByteArray>& L) {
    QByteArray Text;
    for (const QByteArray& Line : L)
        Text += Line + '\n';
    return Text;
}

const QByteArray Head = "version: 1\n\ndn: o=unterricht\nobjectClass: organization\n\n";

// The store of a case: the demo tree unless the case made a small one first.
class TLdifFixture {
protected:
    void Reset() { FStore.reset(); }

    TDirectoryClient& Store() {
        if (!FStore)
            FStore = std::make_unique<TTestStore>();
        return **FStore;
    }

    // A small tree SCHULE: unterricht, schueler, 5a.
    void MakeSmallTree() {
        FStore = std::make_unique<TTestStore>(false);
        Store().Directory().AddTree(QStringLiteral("SCHULE"));
        NWDir Dir(Store());
        QString Container = Root;
        for (const auto& [Layout, Name] :
             {std::pair{"Organization", "unterricht"}, std::pair{"Organizational Unit", "schueler"},
              std::pair{"Organizational Unit", "5a"}}) {
            Dir.SetFullName(Container);
            Dir.Entries()->Add(QString::fromLatin1(Layout), QString::fromLatin1(Name));
            Container += QLatin1Char('\\') + QString::fromLatin1(Name);
        }
    }

    std::unique_ptr<TTestStore> FStore;
};
} // namespace LdifTest
