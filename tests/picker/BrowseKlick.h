#pragma once

#include <NWBrowse.h>

#include <QTest>
#include <QTreeView>

// Opens the levels down to the entry and clicks it with the mouse, as a user would.
inline bool ClickEntry(NWBrowse* Browse, const QString& FullName) {
    if (!Browse->SelectEntry(FullName))
        return false;
    QTreeView* View = Browse->View();
    const QModelIndex Index = View->currentIndex();
    View->scrollTo(Index);
    const QRect R = View->visualRect(Index);
    if (!R.isValid())
        return false;
    QTest::mouseClick(View->viewport(), Qt::LeftButton, Qt::NoModifier, R.center());
    return true;
}
