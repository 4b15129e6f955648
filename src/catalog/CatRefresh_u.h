#pragma once

#include <QDateTime>
#include <QDialog>

class NWCatAdm;
class QEventLoop;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TNDK;

// The dialog "Benutzerkatalog aktualisieren": starts the refresh of one catalog and waits until the
// catalog's end time shows that the directory finished it. The wait lets the event loop run, so
// the dialog repaints and "Zurück" ends the wait at once; the title-bar close waits for the end.
class TFCatRefresh : public QDialog {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: a refresh then reports that.
    explicit TFCatRefresh(TNDK* Ndk, QWidget* Parent = nullptr);

    // How often the wait reads the end time, in milliseconds.
    static constexpr int PollInterval = 100;

    // Event handlers.
    void FormActivate();
    void buAktualisierenClick();
    void buCloseClick();

    // Whether a refresh is being waited for.
    bool Waiting() const { return FWaiting; }
    // Whether the end time Ende shows the refresh started at Start finished: it is not earlier
    // than the start's second and differs from the end time Vorher read before the start. Throws
    // EConvertError when Ende is no date and time.
    static bool Abgeschlossen(const QDateTime& Start, const QString& Vorher, const QString& Ende);

    QLabel* Label1;
    QLineEdit* edCAtalog;
    QToolButton* buAuswahl;
    QLabel* laErfolg;
    QToolButton* buAktualisieren;
    QPushButton* buClose;
    NWCatAdm* NWCatAdm1;

public Q_SLOTS:
    // The title-bar close and Escape: while waiting, the dialog closes once the refresh finished.
    void reject() override;

protected:
    bool event(QEvent* Event) override;

private:
    void WaitForNextPoll();

    TNDK* FNdk;
    bool FStop = false;
    bool FWaiting = false;
    bool FCloseWanted = false;
    bool FBackFromOwnWindow = false;
    QEventLoop* FPollLoop = nullptr;
};
