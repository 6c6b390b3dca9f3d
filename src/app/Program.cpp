#include "Program.h"

#include "Guide.h"

#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "intro/Form1.h"
#include "picture/PictureActions.h"
#include "shell/DesignedFont.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace quorvel {

namespace {
// Marks the translator this program installed, so a second set-up finds it.
constexpr auto kItalianTranslatorName = "quorvel-qtbase-it";
} // namespace

bool installItalianTranslations(QCoreApplication &app)
{
    const QString name = QString::fromLatin1(kItalianTranslatorName);
    if (app.findChild<QTranslator *>(name, Qt::FindDirectChildrenOnly))
        return true;
    auto translator = std::make_unique<QTranslator>();
    translator->setObjectName(name);
    if (!translator->load(QStringLiteral("qtbase_it"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    // The application owns it from here and removes it when it ends.
    translator.release()->setParent(&app);
    return true;
}

QIcon applicationIcon()
{
    // packaging/quorvel.svg drawn at the sizes window managers and task bars ask for: PNG, which
    // Qt reads without the SVG plug-ins.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/quorvel/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return icon;
}

void setUpApplication(QApplication &app)
{
    // The designed fonts, by metric-compatible ones from fonts-liberation2.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont dialogFont = designedFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPointSize(8);
    QApplication::setFont(dialogFont);
    app.setApplicationName(QStringLiteral("quorvel"));
    // The icon of the desktop entry, on every window and in the task bar.
    QApplication::setWindowIcon(applicationIcon());
    app.setDesktopFileName(QStringLiteral("quorvel"));
    installGuide(app);

    // Qt's own texts and formats in Italian. The program's numeric texts do not follow the
    // locale: they are always read and written with a decimal comma by their own code.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    if (!installItalianTranslations(app))
        qWarning("qtbase_it.qm not found in %s: Qt's own texts stay in English "
                 "(package qt6-translations-l10n)",
                 qUtf8Printable(QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
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
    // The drawing windows get the picture's menu and shortcuts, the curve window also the
    // table of points.
    QObject::connect(
        &registry, &FormRegistry::windowCreated, &registry, [](Form *form, QWidget *window) {
            if (auto *surface = qobject_cast<DrawingSurface *>(window))
                picture::addPictureActions(*surface, form->name() == QStringLiteral("Form4"));
        });
}

} // namespace quorvel
