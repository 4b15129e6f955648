#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <vector>

// The object attached to a line of a result list: the entry's full name.
class TNDSObj {
public:
    TNDSObj() = default;
    explicit TNDSObj(const QString& Text) : Text(Text) {}
    QString Text;
};

// An ordered list of texts, each line optionally owning an attached TNDSObj. Operations append;
// the list frees its objects with itself.
class TStringList {
public:
    int Count() const { return int(FItems.size()); }
    bool IsEmpty() const { return FItems.empty(); }
    void Add(const QString& Text, std::unique_ptr<TNDSObj> Object = nullptr) {
        FItems.push_back({Text, std::move(Object)});
    }
    const QString& Text(int Index) const { return FItems.at(size_t(Index)).Text; }
    TNDSObj* Object(int Index) const { return FItems.at(size_t(Index)).Object.get(); }
    void Clear() { FItems.clear(); }
    // Orders the lines by their texts, Less comparing two texts; equal lines keep their order.
    template <typename TLess> void Sort(TLess Less) {
        std::stable_sort(FItems.begin(), FItems.end(),
                         [&Less](const TItem& A, const TItem& B) { return Less(A.Text, B.Text); });
    }
    QStringList Texts() const {
        QStringList L;
        L.reserve(Count());
        for (const auto& I : FItems)
            L << I.Text;
        return L;
    }
    // The texts of the attached objects (the entries' full names), "" for a line without one.
    QStringList ObjectTexts() const {
        QStringList L;
        L.reserve(Count());
        for (const auto& I : FItems)
            L << (I.Object ? I.Object->Text : QString());
        return L;
    }

private:
    struct TItem {
        QString Text;
        std::unique_ptr<TNDSObj> Object;
    };
    std::vector<TItem> FItems;
};
