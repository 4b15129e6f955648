#include "LdapDirectory.h"

#include <EDirectoryError.h>
#include <FieldValues.h>
#include <Schema.h>
#include <Syntax.h>

#include <QUuid>
#include <algorithm>

// Fields as attributes: the schema's names, values and syntaxes, with DNs below the base.

namespace {

// The fields the directory keeps itself, and the attributes a server keeps them in ("" for none).
struct TOperational {
    const char* Field;
    const char* Attribute;
};
constexpr TOperational Operational[] = {
    {"creatorsName", "creatorsName"},
    {"modifiersName", "modifiersName"},
    {"GUID", "entryUUID"},
    {"Revision", ""},
    {"Used By", ""},
    {"Object Class", "objectClass"},
};

const TOperational* OperationalField(const QString& Field) {
    for (const TOperational& O : Operational)
        if (Field.compare(QLatin1String(O.Field), Qt::CaseInsensitive) == 0)
            return &O;
    return nullptr;
}

bool IsObjectClass(const QString& Field) {
    return Field.compare(QLatin1String("Object Class"), Qt::CaseInsensitive) == 0;
}

} // namespace

const std::vector<NWFieldType>& TLdapDirectory::FieldTypes() {
    return StandardFieldTypes();
}

const NWFieldType* TLdapDirectory::FieldType(const QString& Field) {
    auto It = FTypeIndex.constFind(Field.toUpper());
    return It == FTypeIndex.constEnd() ? nullptr : &StandardFieldTypes()[size_t(*It)];
}

QString TLdapDirectory::AttributeOf(const NWFieldType& Type) const {
    if (const TOperational* O = OperationalField(Type.Name))
        return QString::fromLatin1(O->Attribute);
    return Schema::FieldToAttribute(Type.Name);
}

const NWFieldType* TLdapDirectory::FieldOfAttribute(const QString& Attribute) const {
    for (const TOperational& O : Operational)
        if (*O.Attribute && Attribute.compare(QLatin1String(O.Attribute), Qt::CaseInsensitive) == 0)
            return const_cast<TLdapDirectory*>(this)->FieldType(QString::fromLatin1(O.Field));
    if (Schema::IsNamingAttribute(Attribute))
        return nullptr; // the object's name, not a field
    const QString Field = FFieldOfAttribute.value(Attribute.toLower());
    return Field.isEmpty() ? nullptr : const_cast<TLdapDirectory*>(this)->FieldType(Field);
}

std::vector<QVariant> TLdapDirectory::Decode(const NWFieldType& Type, const QList<QByteArray>& Values) const {
    std::vector<QVariant> Result;
    if (Type.Name == QLatin1String("GUID")) {
        for (const QByteArray& V : Values)
            Result.push_back(QUuid::fromString(QString::fromLatin1(V)).toRfc4122());
        return Result;
    }
    // A DN outside the base (a server's own administrator) stays as the server wrote it.
    const Schema::TFullNameOf FullNameOf = [this](const QString& Dn) {
        try {
            return FullNameOfDn(Dn);
        } catch (const EDirectoryError&) {
            return Dn;
        }
    };
    for (const QByteArray& V : Values) {
        QVariant Typed = Schema::DecodeValue(V, Type, FullNameOf);
        if (Typed.metaType().id() == QMetaType::QDateTime)
            Typed = Typed.toDateTime().toLocalTime();
        Result.push_back(Typed);
    }
    return Result;
}

std::vector<TLdapAttribute> TLdapDirectory::Encode(const TObjectRef& Object,
                                                   const std::vector<TFieldWrite>& Fields) {
    const auto Merged = MergeFieldWrites(Fields, [this](const QString& Field) { return FieldType(Field); });
    std::vector<TLdapAttribute> Attributes;
    for (const auto& [Type, Value] : Merged) {
        const std::vector<QVariant> Typed = NormalizeFieldValues(*Type, Value);
        if (IsObjectClass(Type->Name)) {
            // A copy of an object's own classes changes nothing; the layout itself stays.
            const bool Own = std::all_of(Typed.begin(), Typed.end(), [&](const QVariant& V) {
                return V.toString().compare(Object.Layout, Qt::CaseInsensitive) == 0 ||
                       V.toString().compare(QLatin1String("Top"), Qt::CaseInsensitive) == 0;
            });
            if (Own)
                continue;
        }
        if (OperationalField(Type->Name))
            ThrowDirectoryError(
                ERR_ILLEGAL_ATTRIBUTE,
                QStringLiteral("Field \"%1\" is kept by the directory server").arg(Type->Name));
        TLdapAttribute A{AttributeOf(*Type), {}};
        const TSyntaxKind Kind = KindOfSyntax(Type->Syntax);
        for (const QVariant& V : Typed) {
            QString Named; // the DN of the object the value names
            if (Kind == TSyntaxKind::Path || Kind == TSyntaxKind::DistinguishedName) {
                const QString Text = V.toString();
                const qsizetype Comma =
                    Kind == TSyntaxKind::Path ? Text.indexOf(QLatin1Char(',')) : Text.size();
                const QString Name = Text.left(Comma).trimmed();
                TObjectRef Ref;
                if (!TryResolve(Name, Ref) ||
                    (Kind == TSyntaxKind::Path && Ref.Layout != QLatin1String("Volume")))
                    ThrowDirectoryError(
                        ERR_NO_SUCH_ENTRY,
                        Kind == TSyntaxKind::Path
                            ? QStringLiteral("Feld \"%1\": Volume-Objekt nicht gefunden: %2")
                                  .arg(Type->Name, Name)
                            : QStringLiteral("Field \"%1\": no such object: %2").arg(Type->Name, Name));
                CheckFieldLength(*Type, Ref.FullName + Text.mid(Comma));
                Named = Ref.Key.Text;
                // A path's volume DN with the model's escapes, whatever the server's are: its
                // first bare "#" ends it.
                if (std::vector<Dn::TRdn> Levels; Kind == TSyntaxKind::Path && FDns.LevelsOf(Named, Levels))
                    Named = FDns.DnOf(Levels);
            }
            A.Values.append(Schema::EncodeValue(V, *Type, [&Named](const QString&) { return Named; }));
        }
        Attributes.push_back(std::move(A));
    }
    return Attributes;
}

TLdapEntry TLdapDirectory::ReadEntry(const TObjectRef& Object, const QStringList& Attributes) {
    TLdapEntry Entry;
    FConnection.Search(Object.Key.Text, TLdapConnection::TScope::Base, QStringLiteral("(objectClass=*)"),
                       Attributes, [&Entry](const TLdapEntry& E) { Entry = E; });
    return Entry;
}

std::vector<QVariant> TLdapDirectory::ReadField(const TObjectRef& Object, const NWFieldType& Type) {
    if (IsObjectClass(Type.Name))
        return {Object.Layout, QStringLiteral("Top")};
    const QString Attribute = AttributeOf(Type);
    if (Attribute.isEmpty())
        return {};
    const TLdapEntry Entry = ReadEntry(Object, {Attribute});
    const TLdapAttribute* A = Entry.Find(Attribute);
    return A ? Decode(Type, A->Values) : std::vector<QVariant>{};
}

std::vector<TFieldValues> TLdapDirectory::ReadFields(const TObjectRef& Object) {
    const TLdapEntry Entry =
        ReadEntry(Object, {QStringLiteral("*"), QStringLiteral("creatorsName"),
                           QStringLiteral("modifiersName"), QStringLiteral("entryUUID")});
    std::vector<TFieldValues> Fields;
    if (Entry.Dn.isEmpty())
        return Fields;
    for (const TLdapAttribute& A : Entry.Attributes) {
        const NWFieldType* Type = FieldOfAttribute(A.Name);
        if (!Type)
            continue;
        if (IsObjectClass(Type->Name)) {
            Fields.push_back({Type->Name, {Object.Layout, QStringLiteral("Top")}});
            continue;
        }
        Fields.push_back({Type->Name, Decode(*Type, A.Values)});
    }
    return Fields;
}

QStringList TLdapDirectory::FieldNames(const TObjectRef& Object) {
    QStringList Names;
    for (const TFieldValues& F : ReadFields(Object))
        Names.append(F.Field);
    return Names;
}

void TLdapDirectory::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    const std::vector<TLdapAttribute> Attributes = Encode(Object, Fields);
    if (Attributes.empty() && !Object.Key.Text.isEmpty()) {
        // Nothing to change, but the object must still exist.
        if (ReadEntry(Object, {QStringLiteral("1.1")}).Dn.isEmpty())
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Das Objekt gibt es nicht mehr"));
        return;
    }
    FConnection.Replace(Object.Key.Text, Attributes);
}

std::vector<TLdapAttribute> TLdapDirectory::TemplateAttributes(const TObjectRef& Template) {
    std::vector<TLdapAttribute> Taken;
    for (const TLdapAttribute& A : ReadEntry(Template, {QStringLiteral("*")}).Attributes) {
        const NWFieldType* Type = FieldOfAttribute(A.Name);
        if (!Type || IsOperationalField(Type->Name) || Type->Name == QLatin1String("Surname"))
            continue;
        Taken.push_back(A);
    }
    return Taken;
}
