// Links every logic library whole, without Qt Widgets, and starts the way a service would:
// the build fails here as soon as one of them comes to need a window.
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
