// Lists of integers kept as text in the profile ("12,-3,40").
#pragma once

#include "framework/base/CString.h"

#include <vector>

// The numbers of a comma-separated list; parsing stops at the first item
// that is not a decimal number.
std::vector<int> ParseIntList(const CString& text);
CString FormatIntList(const std::vector<int>& values);
