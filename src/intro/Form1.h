#pragma once

#include "shell/Form.h"

namespace quorvel {

// The introduction window: the explanatory document above the button "AVANTI".
class Form1 : public Form
{
    Q_OBJECT
public:
    explicit Form1(FormRegistry &registry);

    void Command1_Click();

protected:
    QWidget *createWindow() override;
};

} // namespace quorvel
