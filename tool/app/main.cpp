// The desktop program's entry (an empty window until the application object lands).
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog window;
    window.setWindowTitle(QStringLiteral("Orbo_Zorvan_Tool"));
    window.exec();
    return 0;
}
