// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/Variant.h"
#include "shell/Form.h"

#include "surface/DrawingSurface.h"

#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>

namespace quorvel::calibration {

// The calibration window: the user moves the scroll bar until the test figure looks round; the
// chosen aspect factor Incr fixes the curve window's vertical scale.
class Form2 : public Form
{
    Q_OBJECT
public:
    explicit Form2(FormRegistry &registry);

    // Members (variants), kept while the process lives.
    model::Variant P1; // degrees to radians, single
    model::Variant Incr; // aspect factor: user-scale height / width, double
    model::Variant CX; // axes' crossing and circle centre, user units, single
    model::Variant CY;
    model::Variant XR; // offset of the latest circle point from the centre, double
    model::Variant YR;

    void Form_Activate() override;
    void HScroll1_Change();
    void Command1_Click(); // "OK - continua"
    void Command3_Click(); // "ESCI"
    void COORDINATE();
    void TRACCIA();

    // Controls while the window is loaded (null otherwise).
    DrawingSurface *surface() const { return m_surface; }
    QScrollBar *HScroll1() const { return m_hScroll1; }
    QLineEdit *Text1() const { return m_text1; }

protected:
    QWidget *createWindow() override;
    bool opensMaximized() const override { return true; }

private:
    QPointer<DrawingSurface> m_surface;
    QPointer<QScrollBar> m_hScroll1;
    QPointer<QLineEdit> m_text1;
};

} // namespace quorvel::calibration
