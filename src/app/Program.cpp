#include "Program.h"

#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "intro/Form1.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QFont>

namespace quorvel {

void setUpApplication(QApplication &app)
{
    // The designed fonts, by metric-compatible ones from fonts-liberation2.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPointSize(8);
    QApplication::setFont(dialogFont);
    app.setApplicationName(QStringLiteral("quorvel"));
}

void registerForms(FormRegistry &registry)
{
    registry.addFactory(QStringLiteral("Form1"),
                        [](FormRegistry &r) { return std::make_unique<Form1>(r); });
    registry.addFactory(QStringLiteral("Form2"),
                        [](FormRegistry &r) { return std::make_unique<Form2>(r); });
    registry.addFactory(QStringLiteral("Form4"), [](FormRegistry &r) {
        return std::make_unique<Form4>(
            r, [&r] { return r.formAs<Form2>(QStringLiteral("Form2")).Incr; });
    });
}

} // namespace quorvel
