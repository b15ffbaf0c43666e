// CVideoHost: what the document asks of a view that plays media in the
// program's own video window. The document finds its views that offer it,
// so it needs nothing more of them.
#pragma once

#include "framework/base/CString.h"

class CVideoHost {
public:
    // Plays a plain media file where it lies (it is never removed).
    virtual void ShowVideo(const CString& path) = 0;

protected:
    ~CVideoHost() = default;
};
