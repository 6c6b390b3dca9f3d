#include "Form4.h"
#include "RunRecord.h"

#include "model/CurveChain.h"
#include "model/Degrees.h"

#include "model/NumericText.h"
#include "shell/Controls.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <limits>

namespace quorvel {

using namespace curve;

namespace {

// Colours the readers give a field: red while its message is shown, white afterwards.
constexpr ColourValue kRefusedBackground = 0x0000FF;
constexpr ColourValue kFieldBackground = 0xFFFFFF;

QString fieldName(int number)
{
    return QStringLiteral("Text%1").arg(number);
}

} // namespace

Form4::Form4(FormRegistry &registry, std::function<Variant()> incrSource)
    : Form(registry, QStringLiteral("Form4"))
    , m_incrSource(std::move(incrSource))
{
}

Form4::~Form4() = default;

QLineEdit *Form4::field(int number) const
{
    if (number < 0 || number >= static_cast<int>(m_fields.size()))
        return nullptr;
    return m_fields[static_cast<std::size_t>(number)];
}

void Form4::Form_Activate()
{
    if (!m_surface)
        return;
    DrawingSurface &s = *m_surface;
    P1 = Variant::single(kDegreesToRadians);
    s.setScaleMode(DrawingSurface::kCentimetreScale);
    s.setDrawWidth(2);
    s.setScaleWidth(kScaleWidth);
    const double incr = m_incrSource().toDouble();
    s.setScaleHeight(static_cast<float>(static_cast<double>(s.scaleWidth()) * incr));
    CX = Variant::single(s.scaleWidth() / 2 - kAxesLeftOfMiddle);
    CY = Variant::single(s.scaleHeight() / 2 + kAxesBelowMiddle);
    const float cx = CX.toSingle();
    const float cy = CY.toSingle();
    s.Line(cx, 0, cx, s.scaleHeight(), 0);
    s.Line(0, cy, s.scaleWidth(), cy, 0);

    ContaStep = Variant::int16(1);
    if (PrimVol.equalsNumber(kActivatedMarker))
        CALCOLA();
    else
        PrimVol = Variant::int16(kActivatedMarker);
}

void Form4::Command1_Click()
{
    if (!m_surface || isRunning())
        return;
    m_surface->Cls();
    Form_Activate();
}

void Form4::Command3_Click()
{
    endProgram();
}

void Form4::Command5_Click()
{
    if (isRunning())
        return;
    ContaStep = Variant::int16(1);
    CALCOLA();
}

// Increments: a refused text falls back to 1, which the field then shows; zero is refused.
void Form4::readIncrement(int number, Variant &member, const QString &notNumberMessage)
{
    const std::optional<double> x = toNumber(field(number)->text());
    if (!x || *x == 0.0) {
        message(x ? QStringLiteral("Non è ammesso 0 ") : notNumberMessage);
        setFieldText(number, QStringLiteral("1"));
        member = Variant::int16(1);
        return;
    }
    member = Variant::real(*x);
}

// Segment parameters: a refused text is cleared and the member keeps its last value.
void Form4::readSegmentParameter(int number, Variant &member, double factor)
{
    const std::optional<double> x = toNumber(field(number)->text());
    if (!x) {
        setFieldBackground(number, kRefusedBackground);
        message(QStringLiteral("Non è un numero"));
        setFieldText(number, QString());
        setFieldBackground(number, kFieldBackground);
        return;
    }
    member = Variant::real(*x * factor);
}

void Form4::LeggiText1()
{
    readIncrement(1, INX, QStringLiteral("INX non è un numero"));
}

void Form4::LeggiText2()
{
    readIncrement(2, INY, QStringLiteral("INY non è un numero"));
}

void Form4::LeggiText10()
{
    readSegmentParameter(10, EP1, 1.0);
}

void Form4::LeggiText11()
{
    // Degrees to radians with the single-precision factor, the product in double precision.
    readSegmentParameter(11, BETA1, static_cast<double>(P1.toSingle()));
}

void Form4::LeggiText12()
{
    readSegmentParameter(12, Ve, 1.0);
}

void Form4::CONTRALFA(Variant &Mem1, Variant &Mem2)
{
    if (Mem1.equalsEmptyText() || Mem2.equalsEmptyText()) {
        message(QStringLiteral("For o To senza numero"));
        ValStep = Variant::int16(kEndMarker);
        return;
    }
    const std::optional<double> from = Mem1.numericValue();
    const std::optional<double> to = Mem2.numericValue();
    if (!from || !to) {
        message(QStringLiteral("For o To non numero"));
        ValStep = Variant::int16(kEndMarker);
        return;
    }
    Mem1 = Variant::real(*from);
    Mem2 = Variant::real(*to);
    DaA1 = Mem1;
    AA1 = Mem2;
    ValStep = stepFor(*from, *to);
}

void Form4::CALCOLA()
{
    if (!m_surface || isRunning())
        return;
    RunPacer pacer(m_surface, registry(), m_timing);
    m_pacer = &pacer;
    struct RunEnd
    {
        RunPacer *&pacer;
        ~RunEnd() { pacer = nullptr; }
    } runEnd {m_pacer};

    const float cx = CX.toSingle();
    const float cy = CY.toSingle();
    const double cxd = cx;
    const double cyd = cy;
    CurveChain chain(cx, cy, A2);
    ColourCycle colour(Miocolor.isEmpty() ? std::nullopt : Miocolor.toInt16());
    // The run's recipe, for pictures and the table of points.
    const int firstRange = static_cast<int>(ContaStep.toDouble());
    const DotMapping dotMapping = m_surface->mapping(kDotWidth);
    auto record
        = std::make_shared<RunRecord>(static_cast<int>(m_surface->record().dotBatchCount()) + 1, cx,
                                      cy, colour.counter(), firstRange);
    const auto storeColour = [&] {
        if (colour.counter())
            Miocolor = Variant::int16(*colour.counter());
    };
    const auto nextRange = [&](int range) {
        ContaStep = Variant::int16(static_cast<std::int16_t>(range));
        storeColour();
        return record->keep(range, readRange(range));
    };
    DrawingSurface *surface = m_surface;
    const auto draw = [&](const ChainPoint &point) {
        A2 = point.a2;
        surface->setDrawWidth(kDotWidth);
        surface->PSet(static_cast<float>(cxd + point.x), static_cast<float>(cyd - point.y),
                      point.paletteIndex);
        return pacer.keepGoing();
    };
    const RunOutcome outcome = chain.run(firstRange, colour, nextRange, draw);
    record->setDots(outcome.points);
    if (outcome.points > 0 && m_surface)
        m_surface->record().addDots(std::move(record), dotMapping);
    A2 = chain.lastA2();
    storeColour();
    if (!outcome.endedByFields)
        reportRangeEnd(outcome.last);
}

// Reads the fields at the start of range `range`: the five parameters, then the range's From
// and To. Nothing when the run must end here (a parameter never accepted, a refused range, a
// range from 0 to 0).
std::optional<RangeSpec> Form4::readRange(int range)
{
    if (!m_surface || range < 1 || range > kRangeCount)
        return std::nullopt;
    LeggiText1();
    LeggiText2();
    LeggiText10();
    if (EP1.equalsEmptyText())
        return std::nullopt;
    LeggiText11();
    if (BETA1.equalsEmptyText())
        return std::nullopt;
    LeggiText12();
    if (Ve.equalsEmptyText() || !m_surface)
        return std::nullopt;
    ValStep = Variant::int16(0);
    Variant from = Variant::text(field(2 * range + 1)->text());
    Variant to = Variant::text(field(2 * range + 2)->text());
    CONTRALFA(from, to);
    if (ValStep.equalsNumber(kEndMarker))
        return std::nullopt;

    RangeSpec spec;
    spec.params.ep1 = EP1.toDouble();
    spec.params.inx = INX.toDouble();
    spec.params.iny = INY.toDouble();
    spec.params.beta1 = BETA1.toDouble();
    spec.params.ve = Ve.toDouble();
    spec.params.p1 = P1.toSingle();
    spec.cosine = &m_cosineChosen;
    spec.from = DaA1.toDouble();
    spec.to = AA1.toDouble();
    spec.step = ValStep.toDouble();
    return spec;
}

// The message of a range that did not reach its last ALFA; Esc and a finished range have none.
void Form4::reportRangeEnd(const RangeOutcome &outcome)
{
    switch (outcome.end) {
    case RangeEnd::OutOfFieldX:
        message(QStringLiteral("fuori campo X11 =") + decimalText(outcome.value));
        break;
    case RangeEnd::OutOfFieldY:
        message(QStringLiteral("fuori campo Y11 =") + decimalText(outcome.value));
        break;
    case RangeEnd::AngleTooLarge:
        message(QStringLiteral("fuori campo t*ALFA =") + decimalText(outcome.value));
        break;
    case RangeEnd::AlfaStuck:
        message(QStringLiteral("fuori campo ALFA =") + decimalText(outcome.value));
        break;
    case RangeEnd::Done:
    case RangeEnd::Stopped:
        break;
    }
}

void Form4::message(const QString &text)
{
    if (m_pacer)
        m_pacer->showMessage(text);
    else
        showMessage(text);
}

void Form4::setFieldText(int number, const QString &text)
{
    field(number)->setText(text);
    if (m_fieldObserver)
        m_fieldObserver->textSet(fieldName(number), text);
}

void Form4::setFieldBackground(int number, ColourValue colour)
{
    QLineEdit *f = field(number);
    QPalette palette = f->palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(toRgb(colour)));
    f->setPalette(palette);
    if (m_fieldObserver)
        m_fieldObserver->backgroundSet(fieldName(number), colour);
}

QWidget *Form4::createWindow()
{
    auto *window = new DrawingSurface;
    m_surface = window;
    resizeInTwips(window, 10605, 6780);

    auto frame = [](QWidget *parent, const char *name, const QString &title, int left, int top,
                    int width, int height) {
        auto *box = new QGroupBox(title, parent);
        box->setObjectName(QLatin1String(name));
        // Opaque over the drawing; the labels and buttons inside need no background of their own.
        box->setAutoFillBackground(true);
        placeInTwips(box, left, top, width, height);
        return box;
    };
    auto label = [](QWidget *parent, const char *name, const QString &text, int left, int top,
                    int width, int height, bool centred = false) {
        auto *l = new QLabel(text, parent);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        placeInTwips(l, left, top, width, height);
        return l;
    };
    auto textBox = [this](QWidget *parent, int number, const QString &text, QLabel *caption,
                          int left, int top, int width, int height) {
        auto *t = new QLineEdit(text, parent);
        t->setObjectName(fieldName(number));
        // Any text of any length: the readers decide what it means.
        t->setMaxLength(std::numeric_limits<int>::max());
        QPalette palette = t->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        t->setPalette(palette);
        t->setAccessibleName(caption->text().simplified());
        placeInTwips(t, left, top, width, height);
        m_fields[static_cast<std::size_t>(number)] = t;
        return t;
    };

    QGroupBox *frame4 = frame(window, "Frame4", QStringLiteral("Impostazione del segmento-punto"),
                              360, 120, 3255, 2175);
    QLabel *label11
        = label(frame4, "Label11", QStringLiteral("Valore  di Epsilon < 1"), 120, 240, 2415, 375);
    QFont bigger = label11->font();
    bigger.setPointSize(12);
    label11->setFont(bigger);
    textBox(frame4, 10, QStringLiteral("0,86"), label11, 2520, 240, 615, 375);
    QLabel *label12
        = label(frame4, "Label12", QStringLiteral("Angolo BETA del primo  Epsilon con l'asse X"),
                120, 840, 2415, 495);
    label12->setToolTip(
        QStringLiteral("Dando a BETA il valore 0 si ottiene il segmento per punti"));
    textBox(frame4, 11, QStringLiteral("55"), label12, 2520, 840, 615, 375);
    QLabel *label10
        = label(frame4, "Label10", QStringLiteral("Moltiplicatore (t) dell'  angolo ALFA"), 120,
                1560, 1935, 375, true);
    label10->setToolTip(QStringLiteral("L'angolo ALFA varia da For a To e puo essere "
                                       "moltiplicato per t  (es. BETA * Sin (t ALFA))"));
    textBox(frame4, 12, QStringLiteral("1"), label10, 2520, 1560, 615, 375);

    QGroupBox *frame3 = frame(window, "Frame3", QStringLiteral("L' angolo ALFA varia da........"),
                              360, 2280, 3135, 2415);
    frame3->setToolTip(QStringLiteral(
        "L'angolo BETA è segmentato tramite il seno o coseno di ALFA che lo incrementa dal "
        "valore For al valore To  (es.  BETA * Sin ALFA)"));
    textBox(frame3, 3, QStringLiteral("0"),
            label(frame3, "Label3", QStringLiteral("For1"), 120, 360, 615, 255), 960, 360, 495,
            285);
    textBox(frame3, 4, QStringLiteral("180"),
            label(frame3, "Label4", QStringLiteral("To1 "), 1800, 360, 495, 255), 2520, 360, 495,
            285);
    textBox(frame3, 5, QStringLiteral("0"),
            label(frame3, "Label5", QStringLiteral("For2"), 120, 840, 495, 255), 960, 840, 495,
            285);
    textBox(frame3, 6, QStringLiteral("0"),
            label(frame3, "Label6", QStringLiteral("To2"), 1560, 840, 735, 255, true), 2520, 840,
            495, 285);
    textBox(frame3, 7, QStringLiteral("0"),
            label(frame3, "Label8", QStringLiteral("For3"), 120, 1320, 615, 255), 960, 1320, 495,
            285);
    textBox(frame3, 8, QStringLiteral("0"),
            label(frame3, "Label9", QStringLiteral("To3"), 1560, 1320, 615, 255, true), 2520, 1320,
            495, 285);
    label(frame3, "Label7",
          QStringLiteral("      In sequenza e anche negativi.        For=0 con To=0 termina la "
                         "sequenza"),
          120, 1800, 2895, 495, true);

    QGroupBox *frame1
        = frame(window, "Frame1", QStringLiteral("Incremento - decremento"), 3720, 240, 2055, 1455);
    frame1->setToolTip(
        QStringLiteral("Incrementando uno degli ASSI si ottengono curve più convesse o strette."));
    textBox(frame1, 1, QStringLiteral("1"),
            label(frame1, "Label1", QStringLiteral("sull' Asse  X"), 120, 480, 1095, 255), 1320,
            360, 495, 405);
    textBox(frame1, 2, QStringLiteral("1"),
            label(frame1, "Label2", QStringLiteral("sull' Asse Y"), 120, 960, 1095, 375), 1320, 840,
            495, 405);
    // Only the caption is drawn in the highlighted-text colour; the labels inside keep theirs.
    const QColor standardText = frame1->palette().color(QPalette::WindowText);
    for (QLabel *child : frame1->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        QPalette own = child->palette();
        own.setColor(QPalette::WindowText, standardText);
        child->setPalette(own);
    }
    QPalette highlighted = frame1->palette();
    highlighted.setColor(QPalette::WindowText, highlighted.color(QPalette::HighlightedText));
    frame1->setPalette(highlighted);

    QGroupBox *frame2
        = frame(window, "Frame2", QStringLiteral("Incremento angolo"), 3840, 1800, 1575, 1095);
    frame2->setToolTip(QStringLiteral("La figura può essere variata sostituendo   BETA * "
                                      "Sin(t ALFA)  con  BETA * Cos(t ALFA)"));
    m_option1 = new QRadioButton(QStringLiteral("In Seno"), frame2);
    m_option1->setObjectName(QStringLiteral("Option1"));
    placeInTwips(m_option1, 120, 360, 1335, 255);
    m_option2 = new QRadioButton(QStringLiteral("In Coseno"), frame2);
    m_option2->setObjectName(QStringLiteral("Option2"));
    placeInTwips(m_option2, 120, 600, 1335, 255);
    m_option1->setChecked(true);
    // The pair is one Tab stop, entered at the selected button.
    auto focusOnSelected = [this] {
        m_option1->setFocusPolicy(m_option1->isChecked() ? Qt::StrongFocus : Qt::NoFocus);
        m_option2->setFocusPolicy(m_option2->isChecked() ? Qt::StrongFocus : Qt::NoFocus);
    };
    connect(m_option1, &QRadioButton::toggled, this, focusOnSelected);
    // The choice as the chain reads it for every point.
    m_cosineChosen = false;
    connect(m_option2, &QRadioButton::toggled, this, [this](bool on) { m_cosineChosen = on; });
    connect(m_option1, &QRadioButton::clicked, this, &Form4::Option1_Click);
    connect(m_option2, &QRadioButton::clicked, this, &Form4::Option2_Click);

    m_command5 = new CommandButton(QStringLiteral("ESEGUI"), window);
    m_command5->setObjectName(QStringLiteral("Command5"));
    m_command5->setToolTip(QStringLiteral("Fare click più volte per cambiare il colore."));
    placeInTwips(m_command5, 3720, 3120, 1695, 375);
    connect(m_command5, &QPushButton::clicked, this, &Form4::Command5_Click);

    m_command1 = new CommandButton(QStringLiteral("Cancella ed esegui"), window);
    m_command1->setObjectName(QStringLiteral("Command1"));
    placeInTwips(m_command1, 3720, 3600, 1695, 495);
    connect(m_command1, &QPushButton::clicked, this, &Form4::Command1_Click);

    m_command3 = new CommandButton(QStringLiteral("ESCI"), window);
    m_command3->setObjectName(QStringLiteral("Command3"));
    placeInTwips(m_command3, 240, 5640, 1695, 615);
    connect(m_command3, &QPushButton::clicked, this, &Form4::Command3_Click);

    const std::array<QWidget *, 16> focusOrder = {
        m_command3, m_option1, m_option2, field(1),   field(2),  field(3),  field(4),  field(5),
        field(6),   field(7),  field(8),  m_command5, field(10), field(11), field(12), m_command1};
    // Both option buttons take part in the chain; then only the selected one takes the focus.
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1], focusOrder[i]);
    focusOnSelected();
    m_command3->setFocus();
    return window;
}

} // namespace quorvel
