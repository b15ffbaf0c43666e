// CVideoViewOwner: what the video window asks of the view that made it. The
// window lives in the viewers' floor and cannot see the view, the document
// or the main window; the view implements this and hands itself over.
#pragma once

#include "framework/base/CString.h"

class CVideoView;

class CVideoViewOwner {
public:
    // The window is closing: when the running job is the temporary
    // decryption that feeds it, that job is asked to stop so its copy comes
    // free. Any other job runs on.
    virtual void OnVideoViewClosing(CVideoView* window) = 0;
    // A temporary copy the window could not remove within its bound (still
    // held): the owner wipes it later, once free, at the latest at exit.
    virtual void DeferCopyRemoval(const CString& path) = 0;
    // The window is gone; the owner forgets it.
    virtual void OnVideoViewDestroyed(CVideoView* window) = 0;

protected:
    ~CVideoViewOwner() = default;
};
