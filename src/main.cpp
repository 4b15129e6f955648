#include "AppSetup.h"
#include "Parvon_U.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    SetupApplication(App);
    TForm1 Form1;
    Form1.show();
    return App.exec();
}
