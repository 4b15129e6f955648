#include "ModalSeam.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <deque>

namespace {
struct TSeamState {
    std::deque<TModalSeam::THandler> Handlers;
    bool Unattended = false;
    QStringList Shown;
};
TSeamState& State() {
    static TSeamState S;
    return S;
}
} // namespace

int TModalSeam::Exec(QDialog& Dialog) {
    auto& S = State();
    if (auto* Box = qobject_cast<QMessageBox*>(&Dialog))
        S.Shown << Box->windowTitle() + u'|' + Box->text();
    else
        S.Shown << Dialog.windowTitle();
    if (!S.Handlers.empty()) {
        THandler H = std::move(S.Handlers.front());
        S.Handlers.pop_front();
        return H(Dialog);
    }
    if (S.Unattended)
        return qobject_cast<QMessageBox*>(&Dialog) ? int(QMessageBox::Cancel) : int(QDialog::Rejected);
    return Dialog.exec();
}

void TModalSeam::Push(THandler Handler) { State().Handlers.push_back(std::move(Handler)); }
void TModalSeam::SetUnattended(bool On) { State().Unattended = On; }
int TModalSeam::Pending() { return int(State().Handlers.size()); }
void TModalSeam::Clear() {
    State().Handlers.clear();
    State().Shown.clear();
}
QStringList TModalSeam::Shown() { return State().Shown; }

QMessageBox::StandardButton TModalSeam::Message(QWidget* Parent, QMessageBox::Icon Icon, const QString& Title,
                                                const QString& Text, QMessageBox::StandardButtons Buttons,
                                                QMessageBox::StandardButton Default) {
    QMessageBox Box(Icon, Title, Text, Buttons, Parent);
    Box.setObjectName(QStringLiteral("MessageBox"));
    Box.setTextFormat(Qt::PlainText);
    if (auto* B = Box.button(QMessageBox::Ok))
        B->setText(QStringLiteral("OK"));
    if (auto* B = Box.button(QMessageBox::Yes))
        B->setText(QStringLiteral("&Ja"));
    if (auto* B = Box.button(QMessageBox::No))
        B->setText(QStringLiteral("&Nein"));
    if (auto* B = Box.button(QMessageBox::Cancel))
        B->setText(QStringLiteral("Abbrechen"));
    if (Default != QMessageBox::NoButton)
        Box.setDefaultButton(Default);
    const int R = Exec(Box);
    // exec() of a QMessageBox answers the clicked standard button.
    return QMessageBox::StandardButton(R);
}

void TModalSeam::Error(QWidget* Parent, const QString& Text) {
    Message(Parent, QMessageBox::Critical, QStringLiteral("Fehler"), Text);
}

void TModalSeam::Information(QWidget* Parent, const QString& Text) {
    Message(Parent, QMessageBox::Information, QStringLiteral("Information"), Text);
}

void TModalSeam::Plain(QWidget* Parent, const QString& Text) {
    Message(Parent, QMessageBox::NoIcon, QApplication::applicationName(), Text);
}
