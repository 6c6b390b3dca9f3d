#include "Program.h"

#include "shell/FormRegistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quorvel::setUpApplication(app);
    quorvel::FormRegistry registry;
    quorvel::registerForms(registry);
    registry.show(QStringLiteral("Form1"));
    return QApplication::exec();
}
