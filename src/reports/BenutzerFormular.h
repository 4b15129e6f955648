#pragma once

#include <QString>
#include <optional>

class TNDK;
class TPrintCanvas;
class TStringList;
struct TDruckTitel;

// One row of the ruled user form.
struct TFormularZeile {
    QString Name;
    QString Anmeldename;
    std::optional<QString> Spalte4; // none: the fourth column stays empty
};

// The rows of a ruled form, read one by one while their page is drawn.
class TFormularZeilen {
public:
    virtual ~TFormularZeilen() = default;
    virtual int Count() const = 0;
    virtual TFormularZeile Zeile(int Index) = 0;
};

// The users of an entry list (line text: login name, attached object: the user's full name). The
// name is read from the directory when the row is drawn; a printout with a fourth column overrides
// Spalte4.
class TBenutzerZeilen : public TFormularZeilen {
public:
    TBenutzerZeilen(TNDK& Ndk, const TStringList& Liste) : FNdk(Ndk), FListe(Liste) {}
    int Count() const override;
    TFormularZeile Zeile(int Index) override;

protected:
    virtual std::optional<QString> Spalte4(const QString& Benutzer);
    TNDK& Ndk() const { return FNdk; }

private:
    TNDK& FNdk;
    const TStringList& FListe;
};

// The name a user is listed with: "Full Name", or "Surname" when that is empty.
QString BenutzerName(TNDK& Ndk, const QString& Benutzer);

// Draws the ruled form on a canvas whose document is begun, and ends the document: 30 numbered
// rows per page under the captions, every page ruled complete, the count and the date of today on
// the last page, and "Seite n/P" on every page when there is more than one. All pages are one
// document, so that a PDF file receives every page.
void FormularDrucken(TPrintCanvas& Canvas, const TDruckTitel& Titel, TFormularZeilen& Zeilen);
