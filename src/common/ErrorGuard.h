#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <type_traits>

class QWidget;

// Runs an event handler; an exception that escapes it is shown in the application's standard error
// box (title "Fehler", the error's own text) through the modal seam and never reaches the event
// loop. Clean-up held in RAII objects inside the handler runs before the box is shown.
// Returns false when the handler ended with an error.
bool Guarded(QWidget* Parent, const std::function<void()>& Handler);

// Connects Signal of Sender to Handler, which runs inside Guarded with Receiver owning the error
// box; the connection ends with Receiver. Handler is a member function of Receiver without
// arguments (the handlers named after control and event) or any callable, which gets the
// signal's arguments when it takes them.
template <typename TSender, typename TSignal, typename TReceiver, typename THandler>
QMetaObject::Connection ConnectGuarded(TSender* Sender, TSignal Signal, TReceiver* Receiver,
                                       THandler Handler) {
    return QObject::connect(Sender, Signal, Receiver, [Receiver, Handler](const auto&... Args) {
        Guarded(Receiver, [&] {
            if constexpr (std::is_member_function_pointer_v<THandler>)
                (Receiver->*Handler)();
            else if constexpr (std::is_invocable_v<THandler, decltype(Args)...>)
                Handler(Args...);
            else
                Handler();
        });
    });
}
