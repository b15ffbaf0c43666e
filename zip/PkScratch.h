// Working memory the worker threads reuse from one block or entry to the next,
// so that a tree of small files does not pay, per file, for fresh zero-filled
// buffers (each page faulted in anew) and a fresh zlib state.
// CPkBytes: a growable run of bytes whose new bytes are not zero-filled.
// CPkShelf: a thread-safe store of such objects; Take gives one (a new one
// when the shelf is empty), Give puts it back. CPkZStream: a raw deflate or
// inflate stream that is reset, not rebuilt, for the next use; a reset stream
// behaves exactly as a new one, so the bytes it produces do not change.
#pragma once

#include <windows.h>
#include <zlib.h>

#include <cstddef>
#include <memory>
#include <vector>

class CPkBytes {
public:
    char* Data() { return m_data.get(); }
    const char* Data() const { return m_data.get(); }
    size_t Size() const { return m_size; }
    // Keeps the first bytes up to the smaller size; bytes added are left as they are.
    void Resize(size_t size);

private:
    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

template <class T>
class CPkShelf {
public:
    CPkShelf() { InitializeCriticalSection(&m_lock); }
    ~CPkShelf() { DeleteCriticalSection(&m_lock); }
    CPkShelf(const CPkShelf&) = delete;
    CPkShelf& operator=(const CPkShelf&) = delete;

    std::unique_ptr<T> Take()
    {
        EnterCriticalSection(&m_lock);
        std::unique_ptr<T> item;
        if (!m_items.empty()) {
            item = std::move(m_items.back());
            m_items.pop_back();
        }
        LeaveCriticalSection(&m_lock);
        return item ? std::move(item) : std::unique_ptr<T>(new T());
    }
    void Give(std::unique_ptr<T> item)
    {
        if (!item)
            return;
        EnterCriticalSection(&m_lock);
        m_items.push_back(std::move(item));
        LeaveCriticalSection(&m_lock);
    }

    // One object taken for a scope and given back when it ends.
    class Loan {
    public:
        explicit Loan(CPkShelf& shelf) : m_shelf(shelf), m_item(shelf.Take()) {}
        ~Loan() { m_shelf.Give(std::move(m_item)); }
        Loan(const Loan&) = delete;
        Loan& operator=(const Loan&) = delete;
        T& operator*() { return *m_item; }
        T* operator->() { return m_item.get(); }

    private:
        CPkShelf& m_shelf;
        std::unique_ptr<T> m_item;
    };

private:
    CRITICAL_SECTION m_lock;  // guards m_items
    std::vector<std::unique_ptr<T>> m_items;
};

class CPkZStream {
public:
    CPkZStream() = default;
    ~CPkZStream();
    CPkZStream(const CPkZStream&) = delete;
    CPkZStream& operator=(const CPkZStream&) = delete;

    // A raw deflate stream of this level, as deflateInit2 with memory level 8
    // and the default strategy makes it; false when zlib refuses.
    bool StartDeflate(int level);
    // A raw inflate stream.
    bool StartInflate();
    z_stream& Stream() { return m_stream; }

private:
    enum Kind { kNone, kDeflate, kInflate };
    void End();
    void ClearBuffers();

    z_stream m_stream = {};  // zlib keeps its address: the object never moves
    Kind m_kind = kNone;
    int m_level = 0;
};
