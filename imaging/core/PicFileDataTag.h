// Metadata tags that the image readers collect (comments, application
// markers, list chunks), and the owning vector that holds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/PicArray.h"

struct CFileDataTag {
    int32_t id = 0;
    std::string text;
    PicArray<unsigned char> bytes;
};

// Owns the pointed-to elements: DeleteAll and the destructor delete them.
template <class T>
class PicPtrVector {
public:
    PicPtrVector() = default;
    virtual ~PicPtrVector() { DeleteAll(); }
    PicPtrVector(const PicPtrVector&) = delete;
    PicPtrVector& operator=(const PicPtrVector&) = delete;

    void DeleteAll() {
        for (T* item : items) delete item;
        items.clear();
    }
    // Takes ownership of item; false (and item deleted) when no memory.
    bool Add(T* item) {
        try {
            items.push_back(item);
            return true;
        } catch (...) {
            delete item;
            return false;
        }
    }
    size_t Size() const { return items.size(); }
    T* operator[](size_t i) const { return items[i]; }

    std::vector<T*> items;
};
