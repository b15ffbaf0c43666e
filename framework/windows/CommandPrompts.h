// The texts of a command's string resource, written "prompt\ntip": the
// status line shows the prompt, tooltips the tip.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

// The first string of a string resource's "prompt\ntip" pair (part 0) or
// its tip (part 1); empty when the resource or the part is missing.
CString LoadStringPart(UINT id, int part);
