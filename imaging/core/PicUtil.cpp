#include "imaging/core/PicUtil.h"

std::string WideToAnsi(const WCHAR* text) {
    if (text == nullptr || text[0] == 0) return std::string();
    size_t length = 0;
    while (text[length] != 0) {
        if (++length >= 0x40000000) return std::string();
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, (int)length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string result;
    try {
        result.resize((size_t)bytes);
    } catch (...) {
        return std::string();
    }
    if (WideCharToMultiByte(CP_ACP, 0, text, (int)length, &result[0], bytes, nullptr, nullptr) != bytes)
        return std::string();
    return result;
}
