#include "ZipArchiv.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zip.h>

namespace {

// The content of one entry, produced when the archive reads it.
struct TQuelle {
    TZipArchiv::TOeffnen Oeffnen;
    TZipArchiv::TErzeugen Erzeugen;
    int Fd = -1;
    QByteArray Text;
    qsizetype Gelesen = 0;
    zip_error_t Fehler{};
};

zip_int64_t Lesen(void* Daten, void* Ziel, zip_uint64_t Laenge, zip_source_cmd_t Befehl) {
    auto* Q = static_cast<TQuelle*>(Daten);
    switch (Befehl) {
    case ZIP_SOURCE_OPEN:
        if (Q->Oeffnen)
            Q->Fd = Q->Oeffnen();
        else
            Q->Text = Q->Erzeugen();
        Q->Gelesen = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        if (Q->Oeffnen) {
            if (Q->Fd < 0)
                return 0;
            for (;;) {
                const ssize_t N = ::read(Q->Fd, Ziel, Laenge);
                if (N >= 0)
                    return N;
                if (errno != EINTR) {
                    zip_error_set(&Q->Fehler, ZIP_ER_READ, errno);
                    return -1;
                }
            }
        }
        const qsizetype N = std::min<qsizetype>(qsizetype(Laenge), Q->Text.size() - Q->Gelesen);
        std::memcpy(Ziel, Q->Text.constData() + Q->Gelesen, size_t(N));
        Q->Gelesen += N;
        return N;
    }
    case ZIP_SOURCE_CLOSE:
        if (Q->Fd >= 0)
            ::close(Q->Fd);
        Q->Fd = -1;
        Q->Text.clear();
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* St = ZIP_SOURCE_GET_ARGS(zip_stat_t, Ziel, Laenge, &Q->Fehler);
        if (!St)
            return -1;
        zip_stat_init(St);
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&Q->Fehler, Ziel, Laenge);
    case ZIP_SOURCE_FREE:
        if (Q->Fd >= 0)
            ::close(Q->Fd);
        zip_error_fini(&Q->Fehler);
        delete Q;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              zip_source_cmd_t(-1));
    default:
        zip_error_set(&Q->Fehler, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

QByteArray Utf8(const QString& Name) {
    return Name.toUtf8();
}

} // namespace

TZipArchiv::TZipArchiv(const QString& Datei) : FDatei(Datei) {
    int Code = 0;
    FZip = zip_open(QFile::encodeName(Datei).constData(), ZIP_CREATE | ZIP_TRUNCATE, &Code);
    if (!FZip) {
        zip_error_t E;
        zip_error_init_with_code(&E, Code);
        const QString Text = QString::fromUtf8(zip_error_strerror(&E));
        zip_error_fini(&E);
        throw EArchivFehler(QStringLiteral("Das Archiv %1 kann nicht angelegt werden: %2")
                                .arg(QDir::toNativeSeparators(Datei), Text));
    }
}

TZipArchiv::~TZipArchiv() {
    if (FZip)
        zip_discard(FZip);
}

void TZipArchiv::Fehler(const QString& Was) {
    const QString Text = QString::fromUtf8(zip_strerror(FZip));
    throw EArchivFehler(QStringLiteral("Das Archiv %1 kann nicht geschrieben werden (%2): %3")
                            .arg(QDir::toNativeSeparators(FDatei), Was, Text));
}

void TZipArchiv::Ordner(const QString& Name, const QDateTime& Geaendert) {
    const zip_int64_t Index = zip_dir_add(FZip, Utf8(Name).constData(), ZIP_FL_ENC_UTF_8);
    if (Index < 0)
        Fehler(Name);
    if (Geaendert.isValid())
        zip_file_set_mtime(FZip, zip_uint64_t(Index), time_t(Geaendert.toSecsSinceEpoch()), 0);
}

void TZipArchiv::Hinzufuegen(const QString& Name, void* Daten, const QDateTime& Geaendert) {
    auto* Q = static_cast<TQuelle*>(Daten);
    zip_error_init(&Q->Fehler);
    zip_source_t* Quelle = zip_source_function(FZip, &Lesen, Q);
    if (!Quelle) {
        zip_error_fini(&Q->Fehler);
        delete Q;
        Fehler(Name);
    }
    const zip_int64_t Index = zip_file_add(FZip, Utf8(Name).constData(), Quelle, ZIP_FL_ENC_UTF_8);
    if (Index < 0) {
        zip_source_free(Quelle);
        Fehler(Name);
    }
    if (Geaendert.isValid())
        zip_file_set_mtime(FZip, zip_uint64_t(Index), time_t(Geaendert.toSecsSinceEpoch()), 0);
}

void TZipArchiv::Datei(const QString& Name, TOeffnen Oeffnen, const QDateTime& Geaendert) {
    auto* Q = new TQuelle;
    Q->Oeffnen = std::move(Oeffnen);
    Hinzufuegen(Name, Q, Geaendert);
}

void TZipArchiv::Text(const QString& Name, TErzeugen Erzeugen, const QDateTime& Geaendert) {
    auto* Q = new TQuelle;
    Q->Erzeugen = std::move(Erzeugen);
    Hinzufuegen(Name, Q, Geaendert);
}

void TZipArchiv::Schliessen(const std::function<bool(double)>& Fortschritt) {
    FFortschritt = &Fortschritt;
    FAbgebrochen = false;
    if (Fortschritt) {
        zip_register_progress_callback_with_state(
            FZip, 0.01,
            [](zip_t*, double Anteil, void* Selbst) {
                auto* A = static_cast<TZipArchiv*>(Selbst);
                if (!(*A->FFortschritt)(Anteil))
                    A->FAbgebrochen = true;
            },
            nullptr, this);
        zip_register_cancel_callback_with_state(
            FZip, [](zip_t*, void* Selbst) { return static_cast<TZipArchiv*>(Selbst)->FAbgebrochen ? 1 : 0; },
            nullptr, this);
    }
    if (zip_close(FZip) != 0) {
        FFortschritt = nullptr;
        if (FAbgebrochen)
            throw EArchivFehler(QStringLiteral("Das Archiv %1 wurde abgebrochen und nicht angelegt.")
                                    .arg(QDir::toNativeSeparators(FDatei)));
        Fehler(QStringLiteral("beim Schreiben"));
    }
    FZip = nullptr;
    FFortschritt = nullptr;
}
