#pragma once

#include <QString>
#include <vector>

// Distinguished names (RFC 4514), one model for LDIF and the LDAP backend. The object
// NDS:\\SCHULE\unterricht\schueler\5a is "ou=5a,ou=schueler,o=unterricht" below its tree, and an
// LDAP server holding the tree below the base "dc=schule,dc=test" names it
// "ou=5a,ou=schueler,o=unterricht,dc=schule,dc=test". The RDN values below the base are the levels
// of the full name; their attribute types are the layouts' naming attributes (Schema.h).
namespace Dn {

struct TRdn {
    QString Type;  // lower case
    QString Value; // unescaped
};

// A value as a DN writes it: '"', "+", ",", ";", "<", ">", "\" and "#" get a "\" wherever they
// stand ("#" so that a "DN#space#path" value splits at the first bare "#"), so does a blank at
// either end, NUL is "\00"; everything else, umlauts too, stays as it is.
QString EscapeValue(const QString& Value);
// An escaped value back: "\" before a special character, or before two hex digits whose bytes
// form UTF-8. Throws EDirectoryError for a malformed escape, a bare '"', "+", ";", "<" or ">",
// or bytes that are no UTF-8.
QString UnescapeValue(const QString& Text);

// The RDNs of a DN, top level first. Blanks around types and values are not part of them.
// Throws EDirectoryError ("ungültiger DN ...") unless every RDN is an attribute type "=" one value
// that names an object: not empty, not in hexadecimal form ("#04..."), without "\".
std::vector<TRdn> Parse(const QString& Text);
// RDNs, top level first, as a DN; "" for none.
QString Format(const std::vector<TRdn>& TopFirst);

// The first "#" of a text outside an escape, where the DN of a "DN#space#path" value ends; -1
// when there is none.
qsizetype EndOfDn(const QString& Text);

// The value of a DN's first (leaf) RDN; false for a malformed DN. Server DNs without escapes are
// split without the full parser.
bool LeafValue(const QString& Text, QString& Out);

// An attribute type: a letter, then letters, digits and "-"; or a numeric OID.
bool IsAttributeType(const QString& Name);

// The DNs of one tree's objects, below a base DN or, without one, below the tree itself.
class TTreeDns {
public:
    // Throws EDirectoryError for a malformed base.
    explicit TTreeDns(const QString& TreeName, const QString& Base = QString());

    const QString& Base() const { return FBase; }
    // The full name of the tree's root.
    const QString& Root() const { return FRoot; }

    // The RDNs of a DN below the base, top level first (none for the base itself); false for a
    // malformed DN or one that does not end with the base (compared without regard to case).
    bool LevelsOf(const QString& Dn, std::vector<TRdn>& Out) const;
    // The full name of the object a DN below the base names, and its leaf value (its short name;
    // "" for the base itself); false where LevelsOf is false. Server DNs without escapes are split
    // without the full parser.
    bool FullNameOfDn(const QString& Dn, QString& Out, QString* Leaf = nullptr) const;
    // The full name of the object the first Count levels name.
    QString FullNameOf(const std::vector<TRdn>& Levels, size_t Count) const;
    QString FullNameOf(const std::vector<TRdn>& Levels) const { return FullNameOf(Levels, Levels.size()); }
    // The DN of levels below the base; the base itself for none.
    QString DnOf(const std::vector<TRdn>& TopFirst) const;
    // The levels of a full name of the tree as containers name them: "o" at the top, "ou" below;
    // the last level "cn" when Leaf. None for the root or a name outside the tree.
    std::vector<TRdn> ContainerLevels(const QString& FullName, bool Leaf) const;

private:
    QString FBase;
    QString FRoot;
    std::vector<TRdn> FBaseRdns; // top level first
};

} // namespace Dn
