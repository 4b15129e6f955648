#pragma once

class QApplication;

// Sets up the application object: its name, the German locale and Qt's own German texts (standard
// buttons, file dialog), the program's font, and a quiet end with exit status 0 when the session
// ends the program (SIGTERM, SIGINT).
void SetupApplication(QApplication& App);
