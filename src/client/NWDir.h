#pragma once

#include <DirectoryBackend.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

class TDirectoryClient;

// One directory object, as the directory control hands it out. Field writes are buffered in
// this object until Update commits them in one transaction.
class NWEntry {
public:
    NWEntry(TDirectoryClient& Client, const TObjectRef& Object);
    QString ShortName() const { return FObject.ShortName; }
    QString FullName() const { return FObject.FullName; }
    QString Layout() const { return FObject.Layout; }

    // Reads a field: a QString for a single text, a QStringList of texts when MultiValued,
    // qint64 for Integer syntaxes, QDateTime for Time syntaxes, a QVariantList of NWNetAddress
    // for Net Address syntaxes, Default when the entry holds no value (for a Net Address field
    // read MultiValued without a Default: a list of one unset NWNetAddress). An empty field name with
    // MultiValued gives the names of the fields the entry holds (QStringList). Unknown fields
    // give Default.
    QVariant GetFieldValue(const QString& Field, const QVariant& Default = QVariant(),
                           bool MultiValued = false) const;
    // Buffers a write: a text, a list of texts, or the typed values above. An empty QVariant or
    // empty list removes every value.
    void SetFieldValue(const QString& Field, const QVariant& Value);
    // Commits the buffered writes in one transaction; throws on an unknown field, a value that
    // does not fit its syntax or is too long, or several values for a single-valued field.
    void Update();
    // Stream fields: writes the field's content to a file (UTF-8 as stored) / buffers the
    // file's content as the field's new value (committed by Update). Throws when the file
    // cannot be written or read.
    void SaveFieldToFile(const QString& Field, const QString& Path, bool Overwrite = true) const;
    void LoadFieldFromFile(const QString& Field, const QString& Path);

private:
    TDirectoryClient& FClient;
    TObjectRef FObject;
    std::vector<TFieldWrite> FPending;
};
using NWEntryPtr = std::shared_ptr<NWEntry>;

// The subordinates of a container, filtered by the control's Filters, in creation order. The
// listing is read when first needed after the control was positioned (a count alone is counted,
// not listed) and renewed by Refresh; Count and Item then read that snapshot and never query per
// item.
class NWEntries {
public:
    NWEntries(TDirectoryClient& Client, const TObjectRef& Container, const QStringList& Filters);
    void Refresh();
    // A refresh that also counts, for each container listed, its own subordinates under the same
    // filters, in the same reading (SubordinateCount).
    void RefreshCounted();
    int Count() const;
    NWEntryPtr Item(int Index) const; // throws for an index out of range
    // After RefreshCounted: how many subordinates under the filters the entry at Index holds; -1
    // for a leaf or when not counted. Throws for an index out of range.
    int SubordinateCount(int Index) const;
    NWEntryPtr Add(const QString& Layout, const QString& Name); // creates the object at once

private:
    bool Passes(const QString& Layout) const;
    void Load(bool Counted = false) const;
    const TChildEntry& Row(int Index) const;

    TDirectoryClient& FClient;
    TObjectRef FContainer;
    QStringList FFilters; // canonical layout names; empty: no filter
    mutable bool FLoaded = false;
    mutable int FCounted = -1; // the count read without a listing; -1: not counted
    mutable std::vector<TChildEntry> FRows;
};

class NWFieldTypes {
public:
    explicit NWFieldTypes(std::vector<NWFieldType> Types) : FTypes(std::move(Types)) {}
    int Count() const { return int(FTypes.size()); }
    const NWFieldType& Item(int Index) const; // throws for an index out of range

private:
    std::vector<NWFieldType> FTypes;
};

// The directory control: one cursor positioned by FullName.
class NWDir : public QObject {
    Q_OBJECT
public:
    explicit NWDir(QObject* Parent = nullptr);
    explicit NWDir(TDirectoryClient& Client, QObject* Parent = nullptr);
    ~NWDir() override;

    // Full name of the object the control stands on ("NDS:\\TREE", "NDS:\\TREE\O\OU\CN"). Setting
    // throws EDirectoryError when no such object exists; reading gives the canonical spelling.
    QString FullName() const;
    void SetFullName(const QString& Name);
    QString ShortName() const; // leaf name; the tree name for a tree root
    QString Filters() const;
    void SetFilters(const QString& Layouts); // comma-separated, case-insensitive; "" for none

    NWEntryPtr Entry() const; // the positioned object (throws on a tree root)
    NWEntries* Entries();     // nullptr for a leaf object
    NWFieldTypes FieldTypes() const;
    NWEntryPtr FindEntry(const QString& FullName) const; // throws when absent
    QString ResolveName(const QString& Name) const;      // canonical full name; throws
    // Starts a search and returns at once; SearchCompleted delivers a QStringList of full names
    // through the event loop. Scope 0: the base itself, 1: its subordinates, 2: the subtree below
    // it. Name and Layout compare without regard to case; "*" in Name matches any run of characters,
    // an empty Name or Layout matches all.
    void Search(const QString& Name, const QString& Layout, int Scope, const QString& Base, int Flags = 0);

    TDirectoryClient& Client() const { return FClient; }

Q_SIGNALS:
    void SearchCompleted(const QVariant& Results);
    // Emitted whenever FullName or Filters change (the browse control follows it).
    void PositionChanged();

protected:
    void timerEvent(QTimerEvent* Event) override;

private:
    TDirectoryClient& FClient;
    // The results of the searches not yet delivered, by their timer: a timer delivers without
    // posting an event, so a search costs no wake-up of the event loop.
    std::map<int, QStringList> FPendingResults;
    TObjectRef FPosition; // FullName empty: not positioned
    QString FFilters;
    QStringList FFilterList;
    std::unique_ptr<NWEntries> FEntries;
};
