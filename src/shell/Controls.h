#pragma once

#include <QPushButton>
#include <QString>

namespace quorvel {

// A push button as the program's windows use it: Enter or Space press it while it has the
// focus, yet it is never the window's default button and ignores Esc. Its caption wraps at word
// boundaries inside the button when it is wider than the button.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvel
