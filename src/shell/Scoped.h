// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>

#include <utility>

namespace quorvel {

// Puts a program-wide setting in place for as long as it lives, then brings back the one that was
// there before, however the scope is left: a test that stops at a failed check leaves nothing
// behind that points at its dead objects. `Set` installs a value and returns the previous one.
template<typename Value, Value (*Set)(Value)>
class ScopedSetting
{
public:
    explicit ScopedSetting(Value value)
        : m_previous(Set(std::move(value)))
    {
    }
    ~ScopedSetting() { Set(std::move(m_previous)); }
    ScopedSetting(const ScopedSetting &) = delete;
    ScopedSetting &operator=(const ScopedSetting &) = delete;

private:
    Value m_previous;
};

// Watches `object` with an observer for as long as it lives, then puts back the observer that
// was there before, however the scope is left. An object deleted in the meantime (its window
// closed) is left alone.
template<typename Object, typename Observer, Observer *(Object::*Get)() const,
         void (Object::*Set)(Observer *)>
class ScopedObserver
{
public:
    ScopedObserver(Object &object, Observer *observer)
        : m_object(&object)
        , m_previous((object.*Get)())
    {
        (object.*Set)(observer);
    }
    ~ScopedObserver()
    {
        if (m_object)
            (m_object.data()->*Set)(m_previous);
    }
    ScopedObserver(const ScopedObserver &) = delete;
    ScopedObserver &operator=(const ScopedObserver &) = delete;

private:
    QPointer<Object> m_object;
    Observer *m_previous;
};

} // namespace quorvel
