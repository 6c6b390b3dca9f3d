// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "curve/Form4.h"

#include "shell/Scoped.h"

namespace quorvel::curve {

// Watches the curve window's fields with an observer while alive, then puts back the one before.
using ScopedFieldObserver
    = ScopedObserver<Form4, FieldObserver, &Form4::fieldObserver, &Form4::setFieldObserver>;

} // namespace quorvel::curve
