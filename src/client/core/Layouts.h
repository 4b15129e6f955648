#pragma once

#include <QString>
#include <QStringList>

// The layouts (object classes) the directory knows, and where objects of each may stand. Layout
// names compare without regard to case; the canonical spelling is the one listed here.
enum class TLayoutKind { Unknown, Tree, Organization, OrganizationalUnit, Leaf };

// The layout of a tree root.
inline QString TreeLayout() {
    return QStringLiteral("Tree");
}

// The layout of a catalog object.
inline QString CatalogLayout() {
    return QStringLiteral("NDSCAT:Master Catalog");
}

// Every layout an object can have, canonical spelling, in a fixed order (no "Tree").
QStringList KnownLayouts();
// The canonical spelling of a layout ("organizational unit" gives "Organizational Unit"); "" for
// an unknown layout. "Tree" is no layout an object can have and gives "".
QString CanonicalLayout(const QString& Layout);
// Any case; Unknown for a layout the directory does not know.
TLayoutKind KindOfLayout(const QString& Layout);
// Whether objects of the layout hold subordinates: a tree root, an Organization or an
// Organizational Unit (any case).
bool IsContainerLayout(const QString& Layout);
// Whether an object of layout Child may stand directly below an object of layout Parent.
bool MayContain(const QString& Parent, const QString& Child);
