// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "About.h"

#include "Version.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

namespace quorvel::about {

QString version()
{
    return QStringLiteral(QUORVEL_VERSION);
}

QString title()
{
    return QStringLiteral("Informazioni su QUORVEL");
}

QString text()
{
    return QStringLiteral("<h3>QUORVEL %1</h3>"
                          "<p>Disegna una curva piana per punti: ogni punto è il precedente "
                          "spostato di un breve segmento, in una direzione che varia con "
                          "l'angolo ALFA.</p>"
                          "<p>Software libero, distribuito secondo la licenza GNU General Public "
                          "License, versione 3 o successiva (GPL-3.0-or-later), senza alcuna "
                          "garanzia.</p>"
                          "<p>© 2026 The QUORVEL developers</p>")
        .arg(version());
}

void show(QWidget *parent)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(title());
    box.setTextFormat(Qt::RichText);
    box.setText(text());
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        box.setIconPixmap(icon.pixmap(64, 64));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace quorvel::about
