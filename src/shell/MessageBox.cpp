#include "MessageBox.h"

#include "AccessibleParts.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace quorvel {

namespace {
MessageSink &sink()
{
    static MessageSink s;
    return s;
}
} // namespace

MessageSink setMessageSink(MessageSink s)
{
    return std::exchange(sink(), std::move(s));
}

void showMessage(const QString &text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    a11y::exposeMessageBox(box);
    box.exec();
}

} // namespace quorvel
