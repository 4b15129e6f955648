#pragma once

#include <QString>

// Trustee rights on a folder. Letters S R W E C M F A, in that order; a mask holds one bit per
// right: S 0x100, R 0x001, W 0x002, E 0x010, C 0x008, M 0x080, F 0x040, A 0x020.
enum class TRight { Supervisor, Read, Write, Create, Modify, FileScan, Erase, AccessControl };

// The rights in letter order.
inline constexpr TRight RightsInOrder[] = {TRight::Supervisor, TRight::Read,         TRight::Write,
                                           TRight::Erase,      TRight::Create,       TRight::Modify,
                                           TRight::FileScan,   TRight::AccessControl};

int RightBit(TRight Right);
QChar RightLetter(TRight Right);
// The letters of the granted rights, in letter order ("RF" for 0x041).
QString RightsToLetters(int Mask);
// Eight places in letter order, "-" for a missing right ("-R----F-" for 0x041).
QString RightsText(int Mask);
// The mask of a written text: each right whose letter occurs in it (any case) is granted.
int LettersToRights(const QString& Letters);
