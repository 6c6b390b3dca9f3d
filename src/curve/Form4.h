#pragma once

#include "shell/Form.h"
#include "shell/Variant.h"

#include <functional>

namespace quorvel {

class DrawingSurface;

// The curve window.
class Form4 : public Form
{
    Q_OBJECT
public:
    // `incrSource` reads the calibration window's aspect factor Incr (creating that window's
    // object if needed).
    Form4(FormRegistry &registry, std::function<Variant()> incrSource);

    void Form_Activate() override;

protected:
    QWidget *createWindow() override;
    bool opensMaximized() const override { return true; }

private:
    std::function<Variant()> m_incrSource;
};

} // namespace quorvel
