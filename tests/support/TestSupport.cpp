#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace quorvel::test {

namespace {
QtMessageHandler previousHandler = nullptr;

void noiseFilter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints()"))
        || message.contains(QLatin1String("does not support raise()"))
        || message.contains(QLatin1String("This plugin does not support")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void filterPlatformNoise()
{
    QtMessageHandler current = qInstallMessageHandler(noiseFilter);
    if (current != noiseFilter)
        previousHandler = current;
}

MessageRecorder::MessageRecorder()
    : m_sink([this](const QString &text) {
        messages << text;
        if (onMessage)
            onMessage(text);
    })
{
}

QueueMark::QueueMark()
{
    // Two turns of the event loop: what the first turn handled may have queued more (a window
    // system event posting its follow-up).
    QTimer::singleShot(0, &m_context,
                       [this] { QTimer::singleShot(0, &m_context, [this] { m_reached = true; }); });
}

StubForm::StubForm(FormRegistry &registry, const QString &name)
    : Form(registry, name)
{
}

QWidget *StubForm::createWindow()
{
    ++windowsBuilt;
    auto *w = new QWidget;
    w->resize(200, 100);
    field = new QLineEdit(QStringLiteral("designed"), w);
    return w;
}

BoxDriver::BoxDriver()
{
    connect(&m_timer, &QTimer::timeout, this, &BoxDriver::poll);
    m_timer.start(10);
}

void BoxDriver::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    messages << box->text();
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

} // namespace quorvel::test
