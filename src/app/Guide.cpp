// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Guide.h"

#include "shell/AccessibleParts.h"
#include "shell/FocusReturn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
        "<h3>QUORVEL: guida</h3>"
        "<p>Il programma disegna una curva per punti: ogni punto è il precedente spostato di un "
        "breve segmento:</p>"
        "<p>&nbsp;&nbsp;X = ε INX cos(β sin tα) + X<sub>n−1</sub><br>"
        "&nbsp;&nbsp;Y = ε INY sin(β sin tα) + Y<sub>n−1</sub></p>"
        "<p>(β sin tα) è l’angolo che determina la direzione e il verso di ε.</p>"
        "<h4>La finestra di calibrazione</h4>"
        "<ul>"
        "<li><b>Barra di scorrimento</b>: con un click sulle frecce o accanto al cursore, o con "
        "le frecce della tastiera, cambia il fattore di forma dello schermo; spostarla fino a "
        "che la figura risulti una circonferenza. Il campo sotto mostra il fattore.</li>"
        "<li><b>OK - continua</b>: apre la finestra della curva, con le proporzioni scelte; "
        "con il fattore iniziale chiede di impostare la risoluzione dello schermo.</li>"
        "<li><b>ESCI</b>: termina il programma.</li>"
        "<li><b>Senza vedere lo schermo</b>: a ogni spostamento della barra un lettore di "
        "schermo dice il fattore e le misure della figura in pixel con il loro significato "
        "(per esempio «0,80: larga 636, alta 636 pixel: una circonferenza»). «Più alta che "
        "larga»: il fattore va aumentato, freccia a destra; «più larga che alta»: va "
        "diminuito, freccia a sinistra; fermarsi a «una circonferenza» o «quasi una "
        "circonferenza».</li>"
        "</ul>"
        "<h4>La finestra della curva</h4>"
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
        "<li><b>Il puntatore sul disegno</b>: accanto al puntatore un riquadro mostra X e Y "
        "rispetto all'incrocio degli assi e, entro 3 pixel, il punto più vicino della curva: "
        "l'esecuzione (contata dall'ultima cancellazione), l'intervallo, ALFA, t x ALFA, X11 e "
        "Y11. Scompare quando il puntatore lascia il disegno.</li>"
        "</ul>"
        "<h4>Il disegno: salvare, copiare, stampare</h4>"
        "<p>In tutte e due le finestre con il disegno, qualunque controllo abbia il fuoco:</p>"
        "<ul>"
        "<li><b>Menu del disegno</b>: click destro sul disegno fuori dai controlli, "
        "<b>tasto Menu</b> o <b>Maiusc+F10</b>.</li>"
        "<li><b>Ctrl+S</b>: Salva immagine… (PNG, SVG o PDF, secondo l'estensione); nella "
        "finestra della curva la finestra di salvataggio, come quella di stampa, offre la "
        "legenda delle esecuzioni.</li>"
        "<li><b>Ctrl+Maiusc+C</b>: Copia immagine negli appunti.</li>"
        "<li><b>Ctrl+P</b>: Stampa…</li>"
        "<li><b>Ctrl+Maiusc+E</b>: Esporta punti… in una tabella CSV (solo nella finestra "
        "della curva).</li>"
        "<li><b>Ctrl+E</b>: Esplora… apre la finestra \"Esplora la curva\" (solo nella "
        "finestra della curva): cursori e campi per ogni parametro, il disegno rifatto a ogni "
        "modifica; <b>Ctrl</b> con la rotella, <b>Ctrl+</b> e <b>Ctrl-</b> ingrandiscono "
        "attorno al cursore, trascinando si sposta il disegno, <b>Esc</b> ferma il disegno in "
        "corso, la <b>Barra spaziatrice</b> avvia e ferma l'animazione.</li>"
        "<li><b>Ctrl+R</b>: Esplora passo passo… apre la stessa finestra con \"Passo passo\" "
        "attivo e costruisce la curva un punto alla volta, con il punto corrente cerchiato, la "
        "freccia del suo ultimo segmento e, accanto al disegno, il suo numero, l'intervallo, "
        "ALFA, t x ALFA, la direzione, X11 e Y11. Nella finestra, con \"Passo passo\" attivo e "
        "il fuoco fuori dai campi di testo: <b>Barra spaziatrice</b> avvia e ferma, "
        "<b>Freccia a destra</b> e <b>Freccia a sinistra</b> un punto avanti o indietro, "
        "<b>Inizio</b> e <b>Fine</b> al primo o all'ultimo punto, <b>Esc</b> ferma dove si "
        "trova; la velocità va da 1 a 100.000 punti al secondo.</li>"
        "<li><b>Ctrl+Maiusc+A</b>: Esporta animazione… (nella finestra \"Esplora la curva\", "
        "anche dal menu del disegno): la costruzione della catena punto per punto, o "
        "l'animazione del parametro, in un file GIF; dimensione, fotogrammi al secondo, "
        "ripetizione e durata massima si scelgono prima di salvare.</li>"
        "</ul>"
        "<h4>Le lezioni: salvare, riaprire, annullare</h4>"
        "<p>Nel menu del disegno della finestra della curva, qualunque controllo abbia il "
        "fuoco:</p>"
        "<ul>"
        "<li><b>Ctrl+Maiusc+S</b>: Salva impostazioni… in un file di lezione (.quorvel): i "
        "campi, la scelta In Seno o In Coseno e le esecuzioni dall'ultima cancellazione.</li>"
        "<li><b>Ctrl+O</b>: Apri… una lezione, o un'immagine PNG o SVG salvata da QUORVEL: "
        "i campi tornano come erano e le esecuzioni sono ridisegnate, ognuna nel suo colore. "
        "Si può anche trascinare il file su una delle due finestre con il disegno.</li>"
        "<li><b>File recenti</b>: gli ultimi otto file aperti o salvati.</li>"
        "<li><b>Esempi</b>: dieci curve pronte, ognuna con una riga che dice che cosa "
        "mostra.</li>"
        "<li><b>Ctrl+Z</b>: Annulla ultima esecuzione, fino all'ultima cancellazione.</li>"
        "<li><b>Ctrl+Y</b> o <b>Ctrl+Maiusc+Z</b>: Ripeti esecuzione annullata.</li>"
        "<li>In un campo questi tre tasti valgono per la scrittura nel campo: per le "
        "esecuzioni si usa il menu, o prima Tab fino a un pulsante.</li>"
        "</ul>"
        "<h4>I tasti</h4>"
        "<ul>"
        "<li><b>Tab</b> e <b>Maiusc+Tab</b>: passano al controllo successivo o precedente.</li>"
        "<li><b>Invio</b> o <b>Barra spaziatrice</b>: premono il pulsante che ha il fuoco.</li>"
        "<li><b>Frecce</b>: scelgono fra In Seno e In Coseno; nella finestra di calibrazione "
        "spostano la barra di scorrimento.</li>"
        "<li><b>Esc</b>: interrompe un calcolo lungo (il disegno fatto fin lì resta); chiude "
        "questa guida.</li>"
        "<li><b>F1</b>: mostra questa guida, da ogni finestra.</li>"
        "</ul>"
        "<h4>Con un lettore di schermo</h4>"
        "<p>Il risultato di ogni esecuzione (quanti punti, di che colore, come è finita, dove "
        "stanno), l'inizio di un calcolo lungo e la sua interruzione, un campo corretto dopo "
        "un messaggio e ogni file salvato sono annunciati subito. Durante un calcolo lungo il "
        "comando \"dove mi trovo\" (in Orca Invio del tastierino numerico) e quello che legge "
        "la barra di stato (Insert+Invio del tastierino numerico, premuto due volte) dicono fin "
        "dove è arrivato. Nella finestra di introduzione e in "
        "questa guida le frecce su e giù leggono una riga alla volta, Ctrl con le frecce una "
        "parola alla volta, Inizio e Fine vanno all'inizio e alla fine della riga.</p>"
        "<p><b>Informazioni su QUORVEL</b>, nel menu del disegno (clic destro), mostra la "
        "versione e la licenza del programma.</p>"
        "<p>Durante un calcolo lungo gli altri tasti e i click sono ignorati, tranne ESCI e la "
        "chiusura della finestra, che interrompono il calcolo.</p>");
}

QWidget *Guide::window() const
{
    return m_window.data();
}

namespace {

// The guide's preferred client size, in logical pixels.
constexpr QSize kWantedSize(540, 700);
// The least room worth opening the guide in beside the controls, frame included.
constexpr int kLeastWidth = 360;
constexpr int kLeastHeight = 400;
// Pixels between the controls and the guide.
constexpr int kGap = 8;

// `frame` moved (not resized) so that it lies on `screen` as far as it can.
QRect keptOn(QRect frame, const QRect &screen)
{
    frame.moveLeft(std::clamp(frame.left(), screen.left(), screen.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), screen.top(), screen.bottom() - frame.height() + 1));
    return frame;
}

QRect controlsArea(const QWidget &window)
{
    QRect area;
    for (const QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisible())
            continue;
        area |= QRect(child->mapToGlobal(QPoint(0, 0)), child->size());
    }
    return area;
}

QMargins frameMargins(const QWidget *window)
{
    if (window == nullptr || !window->isVisible())
        return {};
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

} // namespace

QRect Guide::placement(const QRect &screen, const QRect &opener, const QRect &controls,
                       QSize wanted, const QMargins &frame)
{
    const QSize decoration(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize whole = (wanted + decoration).boundedTo(screen.size());
    const auto client = [&frame](const QRect &r) { return r.marginsRemoved(frame); };
    const auto fits = [&screen](const QRect &r) { return screen.contains(r); };

    // Beside the window, where it leaves the whole window in view.
    if (!opener.isEmpty()) {
        const QRect right = keptOn(QRect(QPoint(opener.right() + 1, opener.top()), whole), screen);
        if (fits(right) && !right.intersects(opener))
            return client(right);
        const QRect left
            = keptOn(QRect(QPoint(opener.left() - whole.width(), opener.top()), whole), screen);
        if (fits(left) && !left.intersects(opener))
            return client(left);
    }
    if (controls.isEmpty())
        return client(keptOn(QRect(QPoint(screen.right(), screen.top()), whole), screen));

    // Over the window, away from its controls: in the band below them (at the screen's left,
    // the drawings' quietest part), or in the column right of them (at the screen's right).
    const int bandTop = std::max(screen.top(), controls.bottom() + 1 + kGap);
    const QRect below(screen.left(), bandTop, whole.width(),
                      std::min(whole.height(), screen.bottom() - bandTop + 1));
    const int columnLeft = std::max(screen.left(), controls.right() + 1 + kGap);
    const int columnWidth = std::min(whole.width(), screen.right() - columnLeft + 1);
    const QRect beside(screen.right() - columnWidth + 1, screen.top(), columnWidth, whole.height());
    const auto usable = [](const QRect &r, int leastWidth, int leastHeight) {
        return r.width() >= leastWidth && r.height() >= leastHeight;
    };
    if (usable(below, std::min(whole.width(), kLeastWidth), std::min(whole.height(), kLeastHeight)))
        return client(below);
    if (usable(beside, std::min(whole.width(), kLeastWidth),
               std::min(whole.height(), kLeastHeight)))
        return client(beside);
    // A small screen: the larger of the two, or the screen's right edge when neither has room
    // for the title bar and a few lines.
    const auto area = [](const QRect &r) {
        return r.width() > 0 && r.height() > 0 ? r.width() * r.height() : 0;
    };
    const QRect larger = area(below) >= area(beside) ? below : beside;
    if (usable(larger, 200, 120 + decoration.height()))
        return client(larger);
    return client(keptOn(QRect(QPoint(screen.right(), screen.top()), whole), screen));
}

void Guide::show(QWidget *opener)
{
    if (m_window.isNull()) {
        // A window that holds the text: a screen reader meets a window named for the guide,
        // then the text with the focus, read from its first line.
        // Closed, it is hidden and kept for the next time, never deleted: the accessibility
        // bridge holds a copy of each key until the screen reader's answer comes, and Qt loses
        // (leaks) the copy of a key whose widget has gone meanwhile, as the Esc that closed
        // the guide would have.
        auto *window = new QWidget;
        window->setObjectName(QStringLiteral("Guida"));
        window->setWindowTitle(QStringLiteral("QUORVEL - Guida"));
        exposeWindow(window, QStringLiteral("Guida di QUORVEL"),
                     QStringLiteral("Le frecce su e giù la leggono una riga alla volta, Esc la "
                                    "chiude."));
        auto *text = new QTextEdit(window);
        text->setObjectName(QStringLiteral("TestoGuida"));
        text->setAccessibleName(QStringLiteral("Guida"));
        text->setReadOnly(true);
        // A caret that the arrows move, as in any text: a screen reader reads the guide line
        // by line, word by word with Ctrl.
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        text->setHtml(Guide::text());
        exposeAsReading(text);
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(text);
        window->setFocusProxy(text);
        window->resize(kWantedSize);
        auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        connect(close, &QShortcut::activated, window, &QWidget::close);
        m_window = window;
    }
    if (opener != nullptr && opener->window() != m_window.data()) {
        m_opener = opener->window();
        QScreen *screen = m_opener->screen();
        // The guide's own frame once shown; before, the largest of the program's windows (a
        // maximised window may have no side borders).
        QMargins frame = frameMargins(m_window);
        if (frame.isNull()) {
            for (const QWidget *w : QApplication::topLevelWidgets()) {
                const QMargins m = frameMargins(w);
                frame = QMargins(std::max(frame.left(), m.left()), std::max(frame.top(), m.top()),
                                 std::max(frame.right(), m.right()),
                                 std::max(frame.bottom(), m.bottom()));
            }
        }
        if (screen != nullptr) {
            m_window->setGeometry(placement(screen->availableGeometry(), m_opener->frameGeometry(),
                                            controlsArea(*m_opener), kWantedSize, frame));
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (auto *text = m_window->findChild<QTextEdit *>()) {
        // From its first line, each time it is opened.
        text->moveCursor(QTextCursor::Start);
        text->setFocus();
    }
}

bool Guide::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && watched->isWidgetType()) {
        // Not over a message box or dialog: they are modal to the whole program.
        if (QApplication::activeModalWidget() != nullptr)
            return false;
        show(static_cast<QWidget *>(watched)->window());
        return true;
    }
    if (event->type() == QEvent::Close && watched == m_window.data() && m_window->isActiveWindow()
        && m_opener) {
        // Once the guide has gone, its window is the one to go back to.
        QTimer::singleShot(0, m_opener.data(),
                           [opener = m_opener] { FocusReturn::giveBack(opener.data()); });
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
