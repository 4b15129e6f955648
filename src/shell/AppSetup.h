#pragma once

class QApplication;

// Sets up the application object: its name, the German locale and Qt's own German texts (standard
// buttons, file dialog), and the program's font.
void SetupApplication(QApplication& App);
