// The floor under the program's start-up: a Qt program that does nothing but
// show one empty window with the same style and one label in the program's
// font, started and measured exactly like the program (tests/gui/measure.sh).
// What the program takes beyond this is its own; this much is Qt's
// (libraries, the X connection, fontconfig) on this machine.
#include <QApplication>
#include <QLabel>
#include <QStyleFactory>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QWidget window;
    window.resize(480, 240);
    QLabel label(QStringLiteral("0"), &window);
    label.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    window.show();
    return QApplication::exec();
}
