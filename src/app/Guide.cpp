// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Guide.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextBrowser>

namespace quorvel {

namespace {
constexpr auto kGuideObjectName = "quorvel-guide";
} // namespace

Guide::Guide(QObject *parent)
    : QObject(parent)
{
    setObjectName(QString::fromLatin1(kGuideObjectName));
}

Guide::~Guide()
{
    delete m_window.data();
}

QString Guide::text()
{
    return QStringLiteral(
        "<h3>QUORVEL: la finestra della curva</h3>"
        "<p>Ogni punto è il precedente spostato di un breve segmento:</p>"
        "<p>&nbsp;&nbsp;X = ε INX cos(β sin tα) + X<sub>n−1</sub><br>"
        "&nbsp;&nbsp;Y = ε INY sin(β sin tα) + Y<sub>n−1</sub></p>"
        "<p>(β sin tα) è l’angolo che determina la direzione e il verso di ε.</p>"
        "<h4>I campi</h4>"
        "<ul>"
        "<li><b>Valore di Epsilon &lt; 1</b> (ε): la lunghezza del segmento fra un punto e "
        "il successivo.</li>"
        "<li><b>Angolo BETA del primo Epsilon con l'asse X</b> (β, in gradi): dando a BETA il "
        "valore 0 si ottiene il segmento per punti.</li>"
        "<li><b>Moltiplicatore (t) dell'angolo ALFA</b>: l'angolo ALFA varia da For a To e può "
        "essere moltiplicato per t (es. BETA * Sin (t ALFA)).</li>"
        "<li><b>For1, To1, For2, To2, For3, To3</b>: l'angolo BETA è segmentato tramite il seno "
        "o coseno di ALFA che lo incrementa dal valore For al valore To (es. BETA * Sin ALFA); "
        "un punto per ogni grado. In sequenza e anche negativi; For=0 con To=0 termina la "
        "sequenza. Ogni intervallo è disegnato nel colore successivo.</li>"
        "<li><b>Incremento - decremento sull'Asse X e sull'Asse Y</b> (INX, INY): "
        "incrementando uno degli assi si ottengono curve più convesse o strette. Non è "
        "ammesso 0.</li>"
        "<li><b>In Seno / In Coseno</b>: la figura può essere variata sostituendo "
        "BETA * Sin(t ALFA) con BETA * Cos(t ALFA).</li>"
        "<li><b>ESEGUI</b>: disegna la curva sopra il disegno già presente; fare click più "
        "volte per cambiare il colore.</li>"
        "<li><b>Cancella ed esegui</b>: cancella il disegno, traccia gli assi e disegna di "
        "nuovo.</li>"
        "<li><b>ESCI</b>: termina il programma, anche durante un calcolo.</li>"
        "</ul>"
        "<h4>I tasti</h4>"
        "<ul>"
        "<li><b>Tab</b> e <b>Maiusc+Tab</b>: passano al controllo successivo o precedente.</li>"
        "<li><b>Invio</b> o <b>Barra spaziatrice</b>: premono il pulsante che ha il fuoco.</li>"
        "<li><b>Frecce</b>: scelgono fra In Seno e In Coseno; nella finestra di calibrazione "
        "spostano la barra di scorrimento.</li>"
        "<li><b>Esc</b>: interrompe un calcolo lungo; il disegno fatto fin lì resta.</li>"
        "<li><b>F1</b>: mostra questa guida, da ogni finestra.</li>"
        "</ul>"
        "<p><b>Informazioni su QUORVEL</b>, nel menu del disegno (clic destro), mostra la "
        "versione e la licenza del programma.</p>"
        "<p>Durante un calcolo lungo gli altri tasti e i click sono ignorati, tranne ESCI e la "
        "chiusura della finestra, che interrompono il calcolo.</p>");
}

QWidget *Guide::window() const
{
    return m_window.data();
}

void Guide::show()
{
    if (m_window.isNull()) {
        auto *browser = new QTextBrowser;
        browser->setAttribute(Qt::WA_DeleteOnClose);
        browser->setObjectName(QStringLiteral("Guida"));
        browser->setWindowTitle(QStringLiteral("QUORVEL - Guida"));
        browser->setAccessibleName(QStringLiteral("Guida"));
        browser->setOpenLinks(false);
        browser->setHtml(text());
        browser->resize(560, 620);
        m_window = browser;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool Guide::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && watched->isWidgetType()) {
        show();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

Guide *installGuide(QApplication &app)
{
    auto *guide
        = app.findChild<Guide *>(QString::fromLatin1(kGuideObjectName), Qt::FindDirectChildrenOnly);
    if (guide == nullptr) {
        guide = new Guide(&app);
        app.installEventFilter(guide);
    }
    return guide;
}

} // namespace quorvel
