// Job items: CAddInfo is one file or folder of a job list; CSortableObArray is
// the owning, sortable array the lists are made of, and
// CTypedSortableObArray<T> the same typed for one element class.
//
// The jobs process files in list order and folders in reverse list order, so
// a folder's name changes only after everything inside it.
#pragma once

#include "framework/base/CObject.h"
#include "framework/base/CString.h"
#include "framework/base/Collections.h"

#include <windows.h>

class CAddInfo : public CObject {
public:
    CAddInfo(const CString& path, DWORD size, BYTE folder) : m_strPath(path), m_bFolder(folder), m_nSize(size) {}

    CString m_strPath;  // full path, without a trailing "\"
    BYTE m_bFolder;     // 1 folder, 0 file
    DWORD m_nSize;      // the low 32 bits of a file's size; 0 for folders
};

// Negative, 0 or positive as a sorts before, with or after b.
typedef int (*SortCompareFunction)(CObject* a, CObject* b, LPARAM userData);

class CSortableObArray : public CObArray {
public:
    CSortableObArray() = default;
    // Deletes every element when the array owns them.
    ~CSortableObArray() override;
    CSortableObArray(const CSortableObArray&) = delete;
    CSortableObArray& operator=(const CSortableObArray&) = delete;

    void SetCompare(SortCompareFunction compare, LPARAM userData = 0)
    {
        m_pfnCompare = compare;
        m_nUserData = userData;
    }
    // Shell sort, ascending by the compare function (not stable); nothing without one.
    void Sort();
    // Appends every element of `other`, which gives up its ownership of them.
    void TakeAllFrom(CSortableObArray& other);

    SortCompareFunction m_pfnCompare = nullptr;
    LPARAM m_nUserData = 0;
    BYTE m_bOwnsElements = 1;
};

template <class T>
class CTypedSortableObArray : public CSortableObArray {
public:
    int Add(T element) { return CSortableObArray::Add(element); }
    void InsertAt(int index, T element, int count = 1) { CSortableObArray::InsertAt(index, element, count); }
    T GetAt(int index) const { return static_cast<T>(CSortableObArray::GetAt(index)); }
    T operator[](int index) const { return GetAt(index); }
    T& ElementAt(int index) { return reinterpret_cast<T&>(CSortableObArray::ElementAt(index)); }
};

typedef CTypedSortableObArray<CAddInfo*> CAddInfoList;

// The order of job lists: folders before files, then the full paths compared
// without regard to case (A..Z folded to a..z, then unsigned 16-bit units).
int CompareAddInfo(CObject* a, CObject* b, LPARAM userData = 0);
