#include "Form4.h"

#include "surface/DrawingSurface.h"

namespace quorvel {

Form4::Form4(FormRegistry &registry, std::function<Variant()> incrSource)
    : Form(registry, QStringLiteral("Form4"))
    , m_incrSource(std::move(incrSource))
{
}

void Form4::Form_Activate() { }

QWidget *Form4::createWindow()
{
    return new DrawingSurface;
}

} // namespace quorvel
