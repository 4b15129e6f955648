#pragma once

#include <QIcon>
#include <QList>

// One 16 x 16 icon per layout code 0 to 10 (the codes of TNDK::ClassCode), drawn in code: any
// other layout, user, organizational unit, group, organization, organizational role, root, tree,
// template, volume, catalog.
QList<QIcon> LayoutIcons();
