// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Form2.h"
#include "CircleRecord.h"

#include "CalibrationAccessibility.h"
#include "model/CircleModel.h"
#include "model/Degrees.h"

#include "shell/Controls.h"
#include "shell/DesignedFont.h"
#include "shell/FormNames.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "surface/DrawingSurface.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace quorvel::calibration {

using namespace model;

Form2::Form2(FormRegistry &registry)
    : Form(registry, QString::fromUtf16(kCalibrationForm))
{
}

void Form2::Form_Activate()
{
    if (!m_surface)
        return;
    P1 = Variant::single(kDegreesToRadians);
    Incr = Variant::real(kStartFactor);
    m_text1->setText(Incr.toText());
    COORDINATE();
    TRACCIA();
}

void Form2::HScroll1_Change()
{
    if (!m_surface)
        return;
    const double factor = factorForPosition(m_hScroll1->value());
    // Only a falling factor clears: raising it leaves a nest of ever flatter figures.
    if (Incr.toDouble() > factor)
        m_surface->raster().Cls();
    Incr = Variant::real(factor);
    m_text1->setText(Incr.toText());
    COORDINATE();
    TRACCIA();
}

void Form2::Command1_Click()
{
    if (Incr.toDouble() > kAcceptThreshold)
        registry().show(QString::fromUtf16(kCurveForm));
    else
        showMessage(QStringLiteral("Impostare la risoluzione SCHERMO"));
}

void Form2::Command3_Click()
{
    endProgram();
}

void Form2::COORDINATE()
{
    raster::RetainedDrawing &s = m_surface->raster();
    s.setScaleMode(raster::RetainedDrawing::kUserScale);
    s.setDrawWidth(1);
    s.setScaleWidth(kCircleScaleWidth);
    s.setScaleHeight(static_cast<float>(Incr.toDouble() * static_cast<double>(s.scaleWidth())));
    CX = Variant::single(s.scaleWidth() / 2 + kAxisShift);
    CY = Variant::single(s.scaleHeight() / 2);
    const float cx = CX.toSingle();
    const float cy = CY.toSingle();
    s.Line(cx, 0, cx, s.scaleHeight(), 0);
    s.Line(0, cy, s.scaleWidth(), cy, 0);
    TRACCIA();
}

void Form2::TRACCIA()
{
    raster::RetainedDrawing &s = m_surface->raster();
    const double cx = CX.toSingle();
    const double cy = CY.toSingle();
    const std::vector<CircleOffset> &circle = circleOffsets(P1.toSingle());
    for (const CircleOffset &o : circle) {
        s.setDrawWidth(1);
        s.PSet(static_cast<float>(cx + o.xr), static_cast<float>(cy + o.yr), kCircleColour);
    }
    s.record().addDots(std::make_shared<CircleRecord>(cx, cy, P1.toSingle()), s.mapping(1));
    XR = Variant::real(circle.back().xr);
    YR = Variant::real(circle.back().yr);
}

QWidget *Form2::createWindow()
{
    auto *window = new DrawingSurface;
    m_surface = window;
    resizeInTwips(window, 9855, 6840);

    auto *label1 = new QLabel(
        QStringLiteral("Per calibrare l' impostazione corretta della risoluzione dello SCHERMO"),
        window);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont headingFont = designedFont(QStringLiteral("MS Sans Serif"));
    headingFont.setPointSizeF(13.5);
    label1->setFont(headingFont);
    QPalette red = label1->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label1->setPalette(red);
    label1->setWordWrap(true);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1->setAutoFillBackground(true);
    placeInTwips(label1, 360, 240, 9135, 495);

    m_hScroll1 = new FocusScrollBar(Qt::Horizontal, window);
    m_hScroll1->setObjectName(QStringLiteral("HScroll1"));
    m_hScroll1->setAccessibleName(QStringLiteral("Fattore di forma dello schermo"));
    m_hScroll1->setRange(1, 30);
    m_hScroll1->setSingleStep(1);
    m_hScroll1->setPageStep(1);
    m_hScroll1->setValue(1);
    // The change event comes when a dragged thumb is released, not while it moves.
    m_hScroll1->setTracking(false);
    placeInTwips(m_hScroll1, 480, 1080, 5895, 255);
    connect(m_hScroll1, &QScrollBar::valueChanged, this, &Form2::HScroll1_Change);

    auto *command2 = new CommandButton(
        QStringLiteral("KLICCARE  sulla barra di scorrimento fino a che la figura  risulti una "
                       "CIRCONFERENZA"),
        window);
    command2->setObjectName(QStringLiteral("Command2"));
    placeInTwips(command2, 360, 1560, 6255, 735);

    m_text1 = new QLineEdit(QStringLiteral("Text1"), window);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(QStringLiteral("Fattore di forma"));
    placeInTwips(m_text1, 360, 2880, 735, 375);

    auto *command1 = new CommandButton(QStringLiteral("OK - continua"), window);
    command1->setObjectName(QStringLiteral("Command1"));
    placeInTwips(command1, 3120, 2880, 1575, 615);
    connect(command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    auto *command3 = new CommandButton(QStringLiteral("ESCI"), window);
    command3->setObjectName(QStringLiteral("Command3"));
    placeInTwips(command3, 360, 4080, 1695, 615);
    connect(command3, &QPushButton::clicked, this, &Form2::Command3_Click);

    QWidget::setTabOrder(m_hScroll1, m_text1);
    QWidget::setTabOrder(m_text1, command1);
    QWidget::setTabOrder(command1, command2);
    QWidget::setTabOrder(command2, command3);
    m_hScroll1->setFocus();
    exposeCalibrationWindow(window, {label1, command2, m_hScroll1},
                            [this] { return Incr.toDouble(); });
    return window;
}

} // namespace quorvel::calibration
