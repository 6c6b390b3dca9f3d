// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Program.h"

#include "Guide.h"

#include "about/About.h"
#include "animation/AnimationExport.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "explore/ExploreWindow.h"
#include "intro/Form1.h"
#include "lesson/LessonActions.h"
#include "picture/PictureActions.h"
#include "shell/DesignedFont.h"
#include "shell/FormNames.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QIconEngine>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
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

namespace {

// The program's icon, read from its files only when a window manager or task bar first asks
// for a picture of it: reading image files wakes Qt's image readers, a few milliseconds that
// the first window need not wait for (offscreen nothing ever asks).
class DeferredIconEngine : public QIconEngine
{
public:
    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int size : kSizes)
            sizes.append(QSize(size, size));
        return sizes;
    }
    QString key() const override { return QStringLiteral("quorvel-deferred"); }

private:
    // packaging/quorvel.svg drawn at the sizes window managers and task bars ask for: PNG,
    // which Qt reads without the SVG plug-ins.
    static constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
    const QIcon &icon()
    {
        if (m_icon.isNull()) {
            for (int size : kSizes)
                m_icon.addFile(QStringLiteral(":/quorvel/icons/quorvel-%1.png").arg(size),
                               QSize(size, size));
        }
        return m_icon;
    }
    QIcon m_icon;
};

} // namespace

QIcon applicationIcon()
{
    return QIcon(new DeferredIconEngine);
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
    app.setApplicationVersion(about::version());
    // The icon of the desktop entry, on every window and in the task bar.
    QApplication::setWindowIcon(applicationIcon());
    // The desktop entry's name without ".desktop": the software centre's id as well.
    app.setDesktopFileName(QStringLiteral("io.github.quorvel.Quorvel"));
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
    // The explore window exports its curve as an animation.
    explore::ExploreWindow::setExtension(&animation::addAnimationExport);
    registry.addFactory(QString::fromUtf16(kIntroductionForm),
                        [](FormRegistry &r) { return std::make_unique<intro::Form1>(r); });
    registry.addFactory(QString::fromUtf16(kCalibrationForm),
                        [](FormRegistry &r) { return std::make_unique<calibration::Form2>(r); });
    registry.addFactory(QString::fromUtf16(kCurveForm), [](FormRegistry &r) {
        return std::make_unique<curve::Form4>(r, [&r] {
            return r.formAs<calibration::Form2>(QString::fromUtf16(kCalibrationForm)).Incr;
        });
    });
    // The drawing windows get the picture's menu and shortcuts, the curve window also the
    // table of points.
    QObject::connect(&registry, &FormRegistry::windowCreated, &registry,
                     [&registry](Form *form, QWidget *window) {
                         if (auto *surface = qobject_cast<DrawingSurface *>(window)) {
                             auto *curve = qobject_cast<curve::Form4 *>(form);
                             picture::addPictureActions(*surface, curve != nullptr);
                             // The curve window can also be explored live in a window of its own,
                             // and keeps its work in lesson files, with examples and undo.
                             if (curve) {
                                 explore::addExploreAction(*curve, *surface);
                                 lesson::addLessonActions(*curve);
                             }
                         }
                         // A lesson dropped on the calibration window opens in the curve window.
                         if (qobject_cast<calibration::Form2 *>(form) && window) {
                             lesson::acceptDrops(*window, [&registry]() -> curve::Form4 * {
                                 const QString name = QString::fromUtf16(kCurveForm);
                                 if (!registry.exists(name))
                                     return nullptr;
                                 auto &target = registry.formAs<curve::Form4>(name);
                                 return target.isLoaded() ? &target : nullptr;
                             });
                         }
                     });
}

void startProgram(QApplication &app, FormRegistry &registry)
{
    setUpApplication(app);
    registerForms(registry);
    registry.show(QString::fromUtf16(kIntroductionForm));
}

} // namespace quorvel
