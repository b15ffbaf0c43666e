// The exception readers throw inside themselves (from the codec libraries'
// error callbacks, among others) and catch before an entry point returns.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace VovIredev {

class PicException : public std::exception {
public:
    PicException(const char* text, int32_t errorCode) : code(errorCode) { SetMessage(text); }
    explicit PicException(const char* text) : PicException(text, 0) {}
    PicException(const PicException& other) noexcept : std::exception(other), code(other.code) {
        SetMessage(other.message.c_str());
    }
    ~PicException() override = default;
    const char* what() const noexcept override { return message.c_str(); }

    int32_t code;
    std::string message;

private:
    void SetMessage(const char* text) noexcept {
        try {
            if (text != nullptr) message = text;
        } catch (...) {
            message.clear();
        }
    }
};

}  // namespace VovIredev
