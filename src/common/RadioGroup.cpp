#include "RadioGroup.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString& Title, const QStringList& Items, QWidget* Parent,
                         Qt::Orientation Orientation)
    : QGroupBox(Title, Parent), FGroup(new QButtonGroup(this)) {
    auto* Layout = new QBoxLayout(Orientation == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this);
    for (int I = 0; I < Items.size(); ++I) {
        auto* B = new QRadioButton(Items.at(I), this);
        B->setObjectName(QStringLiteral("Item%1").arg(I));
        FGroup->addButton(B, I);
        FButtons << B;
        Layout->addWidget(B);
    }
    if (Orientation == Qt::Horizontal)
        Layout->addStretch(1);
    connect(FGroup, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

int TRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TRadioGroup::SetItemIndex(int Index) {
    if (Index >= 0 && Index < FButtons.size()) {
        FButtons.at(Index)->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift that for the moment of clearing.
    FGroup->setExclusive(false);
    for (QRadioButton* B : std::as_const(FButtons))
        B->setChecked(false);
    FGroup->setExclusive(true);
}
