#include <EDirectoryError.h>
#include <LazyTreeModel.h>
#include <TestMain.h>
#include <TestText.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {
// A tree of names: "a" holds "a1" to "a3", each of those holds three more, down to names of three
// characters; "e" turns out to hold nothing, "f" cannot be read.
class TNameModel : public TLazyTreeModel {
public:
    TNameModel() {
        std::vector<std::unique_ptr<TNode>> Top;
        for (const char* Name : {"a", "e", "f"}) {
            auto N = std::make_unique<TNode>();
            N->Name = Q(Name);
            Top.push_back(std::move(N));
        }
        ResetTop(std::move(Top));
    }
    QStringList Read; // the nodes read, in order

    QVariant data(const QModelIndex& Index, int Role) const override {
        return Index.isValid() && Role == Qt::DisplayRole ? QVariant(NodeOf(Index)->Name) : QVariant();
    }

protected:
    std::vector<std::unique_ptr<TNode>> LoadChildren(TNode& Node) override {
        Read << Node.Name;
        if (Node.Name == QLatin1String("f"))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY, Q("kaputt"));
        std::vector<std::unique_ptr<TNode>> Rows;
        if (Node.Name == QLatin1String("e"))
            return Rows;
        for (int I = 1; I <= 3; ++I) {
            auto N = std::make_unique<TNode>();
            N->Name = Node.Name + QString::number(I);
            Rows.push_back(std::move(N));
        }
        return Rows;
    }
    bool MayHaveChildren(const TNode& Node) const override { return Node.Name.size() < 3; }
};
} // namespace

// The lazy tree model every client tree rests on.
class TstLazyTree : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ReadsEachOpenedNodeOnce() {
        TNameModel M;
        QAbstractItemModelTester Tester(&M, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTreeView View;
        View.setModel(&M);
        View.expandAll();
        View.collapseAll();
        View.expandAll();
        QCOMPARE(M.FetchCount(), M.Read.size());
        QCOMPARE(M.Read.count(Q("a")), 1);
        QCOMPARE(M.Read.count(Q("a1")), 1);
        QVERIFY(!M.Read.contains(Q("a11"))); // three characters: nothing to read
        const QModelIndex A2 = M.IndexOfPath({}, {Q("A"), Q("a2")});
        QCOMPARE(M.data(A2, Qt::DisplayRole).toString(), Q("a2"));
        QCOMPARE(M.rowCount(A2), 3);
        QVERIFY(!M.IndexOfPath({}, {Q("a"), Q("a4")}).isValid());
        QVERIFY(!M.IndexOfPath({}, {Q("b")}).isValid());
    }

    void EmptyAndFailingNodes() {
        TNameModel M;
        QSignalSpy Failed(&M, &TLazyTreeModel::LoadFailed);
        const QModelIndex Empty = M.index(1, 0);
        const QModelIndex Broken = M.index(2, 0);
        QVERIFY(M.hasChildren(Empty) && M.hasChildren(Broken)); // not read yet: they might
        // The tester walks the whole tree, reading every node it can.
        QAbstractItemModelTester Tester(&M, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(!M.hasChildren(Empty) && !M.hasChildren(Broken));
        QCOMPARE(Failed.count(), 1);
        QCOMPARE(Failed.at(0).at(0).toString(), Q("kaputt (-601)"));
        QVERIFY(!M.canFetchMore(Broken)); // not read again

        // A node read before can be told it turned out empty.
        const QModelIndex A = M.index(0, 0);
        M.fetchMore(A);
        QCOMPARE(M.rowCount(A), 3);
        M.SetEmpty(A);
        QCOMPARE(M.rowCount(A), 0);
        QVERIFY(!M.hasChildren(A));
        QVERIFY(!M.canFetchMore(A));
    }
};

PARVON_TEST_MAIN(TstLazyTree)
#include "tst_lazytree.moc"
