// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "shell/Form.h"

namespace quorvel::intro {

// The introduction window: the explanatory document above the button "AVANTI", which leads on
// to the calibration window. It has no activation handler.
class Form1 : public Form
{
    Q_OBJECT
public:
    explicit Form1(FormRegistry &registry);

    void Command1_Click();

protected:
    QWidget *createWindow() override;
};

} // namespace quorvel::intro
