// Growable arrays: CArray<T>, and the pointer and string arrays built on it.
// Indices are int as callers use them; out-of-range access is the caller's fault.
#pragma once

#include "framework/base/CObject.h"
#include "framework/base/CString.h"

#include <utility>
#include <vector>

template <class T, class ARG_T = const T&>
class CArray : public CObject {
public:
    int GetSize() const { return (int)m_items.size(); }
    int GetCount() const { return (int)m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    void SetSize(int size) { m_items.resize(size > 0 ? (size_t)size : 0); }

    const T& GetAt(int index) const { return m_items[(size_t)index]; }
    T& ElementAt(int index) { return m_items[(size_t)index]; }
    void SetAt(int index, ARG_T item) { m_items[(size_t)index] = item; }
    T& operator[](int index) { return m_items[(size_t)index]; }
    const T& operator[](int index) const { return m_items[(size_t)index]; }
    T* GetData() { return m_items.data(); }
    const T* GetData() const { return m_items.data(); }

    int Add(ARG_T item)
    {
        m_items.push_back(item);
        return (int)m_items.size() - 1;
    }
    void InsertAt(int index, ARG_T item, int count = 1)
    {
        if (index > GetSize())
            SetSize(index);
        m_items.insert(m_items.begin() + index, (size_t)count, item);
    }
    void RemoveAt(int index, int count = 1)
    {
        m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    }
    void RemoveAll() { m_items.clear(); }
    int Append(const CArray& other)
    {
        int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArray& other) { m_items = other.m_items; }

    typename std::vector<T>::iterator begin() { return m_items.begin(); }
    typename std::vector<T>::iterator end() { return m_items.end(); }
    typename std::vector<T>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<T>::const_iterator end() const { return m_items.end(); }

protected:
    std::vector<T> m_items;
};

// Arrays of pointers do not own what they point to.
class CObArray : public CArray<CObject*, CObject*> {};
class CStringArray : public CArray<CString, const WCHAR*> {
public:
    int Add(const CString& text)
    {
        m_items.push_back(text);
        return (int)m_items.size() - 1;
    }
};
