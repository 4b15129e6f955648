#pragma once

class QFileDialog;

// Sets up one of the program's file dialogs. They are Qt's own dialogs, not the platform's (the
// modal seam drives them in tests): German dates and sizes whatever locale the workstation has, a
// size at which the columns can be read, and columns as wide as their contents once a folder is
// read. A listed file is never opened (its icon and type follow its name). Call it first, before the dialog
// gets its directory.
void SetUpFileDialog(QFileDialog& Dialog);
