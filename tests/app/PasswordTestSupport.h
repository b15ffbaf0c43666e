// Passwords for the password dialogs' tests.
#pragma once

#include "crypt/KeyState.h"
#include "framework/base/CString.h"

namespace qvtest {

// The first of a few candidates whose key would be weak, or "".
inline CString FindWeakPassword()
{
    for (int i = 0; i < 10000; ++i) {
        CString candidate;
        candidate.Format(L"weak%d", i);
        if (IsWeakPassword(candidate))
            return candidate;
    }
    return CString();
}

}  // namespace qvtest
