#include "ImageGenerator.h"

#include <QGuiApplication>
#include <QTextStream>

// vm-image-gen <output folder>: paints the main window's images into the
// folder (normally src/Resources) and rewrites its Resources.qrc.
int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    QTextStream err(stderr);
    if (arguments.size() != 2) {
        err << "usage: vm-image-gen <output folder>\n";
        return 2;
    }
    ImageGenerator generator(arguments.at(1));
    const bool ok = generator.GenerateAll();
    QTextStream(stdout) << generator.WrittenFiles().size() << " images written to "
                        << arguments.at(1) << "\n";
    if (!ok)
        err << "some files could not be written\n";
    return ok ? 0 : 1;
}
