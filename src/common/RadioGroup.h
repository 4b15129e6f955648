#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A titled group of radio buttons, one of which is selected, addressed by its index.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& Title, const QStringList& Items, QWidget* Parent = nullptr,
                Qt::Orientation Orientation = Qt::Vertical);

    int ItemIndex() const;               // -1 when none is selected
    void SetItemIndex(int Index);        // -1 clears the selection
    int Count() const { return int(FButtons.size()); }
    QRadioButton* Button(int Index) const { return FButtons.at(Index); }

Q_SIGNALS:
    // A button was clicked by the user (not emitted by SetItemIndex).
    void Clicked(int Index);

private:
    QButtonGroup* FGroup;
    QList<QRadioButton*> FButtons;
};
