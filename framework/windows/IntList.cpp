#include "framework/windows/IntList.h"

std::vector<int> ParseIntList(const CString& text)
{
    std::vector<int> values;
    int i = 0;
    int length = text.GetLength();
    while (i < length) {
        bool negative = false;
        if (text[i] == L'-') {
            negative = true;
            ++i;
        }
        if (i >= length || text[i] < L'0' || text[i] > L'9')
            break;
        long long value = 0;
        while (i < length && text[i] >= L'0' && text[i] <= L'9') {
            value = value * 10 + (text[i] - L'0');
            if (value > 0x7FFFFFFF)
                value = 0x7FFFFFFF;
            ++i;
        }
        values.push_back((int)(negative ? -value : value));
        if (i < length && text[i] != L',')
            break;
        ++i;
    }
    return values;
}

CString FormatIntList(const std::vector<int>& values)
{
    CString text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            text += L',';
        text.AppendFormat(L"%d", values[i]);
    }
    return text;
}
