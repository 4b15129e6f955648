// The access object's reads: field values, entries and their layouts, listings, counts and the
// subtree search.

#include "ndk_u.h"

#include <Clock.h>
#include <ErrorGuard.h>

#include <QDateTime>
#include <QEventLoop>
#include <QScopeGuard>

QString TNDK::FieldValueText(const QVariant& Value) {
    if (!Value.isValid() || Value.isNull())
        return QString();
    switch (Value.typeId()) {
    case QMetaType::QString:
        return Value.toString();
    case QMetaType::QDateTime:
        return TClock::DateTimeToStr(Value.toDateTime());
    case QMetaType::QDate:
        return TClock::DateToStr(Value.toDate());
    case QMetaType::QStringList: {
        const QStringList L = Value.toStringList();
        return L.size() == 1 ? L.first() : QString();
    }
    case QMetaType::QVariantList:
        return QString();
    default:
        return Value.canConvert<QString>() ? Value.toString() : QString();
    }
}

QString TNDK::GetFieldValue(const QString& Entry, const QString& Field) {
    NWDir1->SetFullName(Entry);
    try {
        return FieldValueText(NWDir1->Entry()->GetFieldValue(Field, QStringLiteral(""), false));
    } catch (const std::exception&) {
        return QString();
    }
}

QString TNDK::GetFieldValueList(const QString& Entry, const QString& Field) {
    NWDir1->SetFullName(Entry);
    try {
        const QVariant V = NWDir1->Entry()->GetFieldValue(Field, QStringLiteral(""), true);
        QVariantList Values;
        if (V.typeId() == QMetaType::QStringList) {
            const QStringList L = V.toStringList();
            for (const QString& S : L)
                Values << S;
        } else if (V.typeId() == QMetaType::QVariantList) {
            Values = V.toList();
        } else {
            return QString();
        }
        QString Result;
        for (const QVariant& Item : std::as_const(Values)) {
            if (!Result.isEmpty())
                Result += QStringLiteral("\r\n");
            Result += FieldValueText(Item);
        }
        return Result;
    } catch (const std::exception&) {
        return QString();
    }
}

QString TNDK::GetHomeDirectory(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    QString Home = FieldValueText(
        NWDir1->Entry()->GetFieldValue(QStringLiteral("Home Directory"), QStringLiteral(""), false));
    RemoveChar(Home, u' ');
    return Home;
}

QString TNDK::GetShortName(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    return NWDir1->ShortName();
}

QString TNDK::GetEntryLayout(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    return NWDir1->Entry()->Layout();
}

bool TNDK::EntryExists(const QString& Entry) {
    try {
        return NWDir1->FindEntry(Entry) != nullptr;
    } catch (...) {
        return false;
    }
}

void TNDK::SetFilters(const QString& Layouts) {
    NWDir1->SetFilters(Layouts);
}

void TNDK::ListEntries(const QString& Container, TStringList& List) {
    NWDir1->SetFullName(Container);
    NWEntries* Entries = NWDir1->Entries();
    if (!Entries)
        return;
    Entries->Refresh();
    const int N = Entries->Count();
    for (int I = 0; I < N; ++I) {
        const NWEntryPtr E = Entries->Item(I);
        List.Add(E->ShortName(), std::make_unique<TNDSObj>(E->FullName()));
    }
}

int TNDK::CountEntries(const QString& Container) {
    NWDir1->SetFullName(Container);
    NWEntries* Entries = NWDir1->Entries();
    return Entries ? Entries->Count() : 0;
}

void TNDK::SearchObjects(const QString& Base, const QString& Name, const QString& Layout, TStringList& List) {
    const QString From = Base.toUpper() == QStringLiteral("[ROOT]") ? TreePrefix() : Base;
    SearchResults = &List;
    SearchRunning = true;
    try {
        NWDir1->Search(Name, Layout, SearchScope, From, 0);
    } catch (...) {
        SearchRunning = false;
        SearchResults = nullptr;
        throw;
    }
    // The results arrive through the event loop. The completion ends every waiting search: one
    // started while another waits takes over, and the first completion returns both.
    if (SearchRunning) {
        QEventLoop Loop;
        FSearchLoops.push_back(&Loop);
        const auto Done = qScopeGuard([this] { FSearchLoops.pop_back(); });
        Loop.exec();
    }
    // The list is the caller's: results that arrive late must not reach it.
    if (SearchResults == &List)
        SearchResults = nullptr;
    DottedResults = true;
}

void TNDK::NWDir1SearchCompleted(const QVariant& Results) {
    const auto End = qScopeGuard([this] {
        SearchRunning = false;
        for (QEventLoop* Loop : FSearchLoops)
            Loop->quit();
    });
    Guarded(FOwner, [&] {
        if (!SearchResults)
            return;
        QStringList Texts;
        if (Results.typeId() == QMetaType::QStringList) {
            Texts = Results.toStringList();
        } else if (Results.typeId() == QMetaType::QVariantList) {
            const QVariantList L = Results.toList();
            for (const QVariant& V : L)
                Texts << V.toString();
        } else {
            return;
        }
        for (const QString& Text : std::as_const(Texts)) {
            if (Text.isEmpty())
                continue;
            SearchResults->Add(DottedResults ? PathToDotted(Text) : Text, std::make_unique<TNDSObj>(Text));
        }
    });
}

void TNDK::ListFieldNames(const QString& Entry, QStringList& List) {
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr E = NWDir1->FindEntry(Entry);
    const QVariant V = E->GetFieldValue(QString(), QVariant(0), true);
    List << V.toStringList();
}

QString TNDK::GetFieldTypeInfo(const QString& Field) {
    const NWFieldTypes Types = NWDir1->FieldTypes();
    const int N = Types.Count();
    for (int I = 0; I < N; ++I) {
        const NWFieldType& T = Types.Item(I);
        if (T.Name == Field)
            return T.Syntax;
    }
    return QString();
}
