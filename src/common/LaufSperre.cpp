#include "LaufSperre.h"

#include <utility>

TLaufSperre::TLaufSperre(bool& Laeuft, QWidget* Knopf, std::function<void()> Danach)
    : FLaeuft(Laeuft), FKnopf(Knopf), FDanach(std::move(Danach)) {
    FLaeuft = true;
    if (FKnopf)
        FKnopf->setEnabled(false);
}

TLaufSperre::~TLaufSperre() {
    FLaeuft = false;
    if (FDanach)
        FDanach();
    else if (FKnopf)
        FKnopf->setEnabled(true);
}
