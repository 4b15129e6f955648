#pragma once

class QApplication;

// Sets up the application object: its name, Qt's own German texts (standard buttons, file dialog)
// and the program's font, and how the workstation's directory client opens.
void SetupApplication(QApplication& App);
