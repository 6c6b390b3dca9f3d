#pragma once

#include "Form4.h"

#include <QPointer>

namespace quorvel {

// Watches the curve window's fields with `observer` for as long as it lives, then puts back the
// observer that was there before, however the scope is left.
class ScopedFieldObserver
{
public:
    ScopedFieldObserver(Form4 &form, FieldObserver *observer)
        : m_form(&form)
        , m_previous(form.fieldObserver())
    {
        form.setFieldObserver(observer);
    }
    ~ScopedFieldObserver()
    {
        if (m_form)
            m_form->setFieldObserver(m_previous);
    }
    ScopedFieldObserver(const ScopedFieldObserver &) = delete;
    ScopedFieldObserver &operator=(const ScopedFieldObserver &) = delete;

private:
    QPointer<Form4> m_form;
    FieldObserver *m_previous;
};

} // namespace quorvel
