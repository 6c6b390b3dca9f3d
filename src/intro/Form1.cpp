#include "Form1.h"

#include "shell/FormRegistry.h"

#include <QPushButton>

namespace quorvel {

Form1::Form1(FormRegistry &registry)
    : Form(registry, QStringLiteral("Form1"))
{
}

void Form1::Command1_Click()
{
    registry().show(QStringLiteral("Form2"));
}

QWidget *Form1::createWindow()
{
    auto *w = new QWidget;
    w->resize(778, 487);
    auto *command1 = new QPushButton(QStringLiteral("AVANTI"), w);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setGeometry(296, 416, 193, 57);
    connect(command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    return w;
}

} // namespace quorvel
