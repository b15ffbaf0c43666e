// CCleanUp: the modal "Streaming Format Monitor". A decrypted temporary copy
// of a media file was handed to another program, which gives no sign when it
// is done; the dialog looks at the copy every 500 ms (first after 2 s) and
// wipes it as soon as no other program holds it open, then closes itself.
// Its one button (IDOK, also Enter) tries the wipe at once. Closed any other
// way it ends without wiping.
#pragma once

#include "framework/windows/CDialogEx.h"

class CTempCopyWatch;

class CCleanUp : public CDialogEx {
public:
    explicit CCleanUp(CWnd* parent = nullptr);

    // True when m_strPath opens for reading with no sharing at all: no other
    // handle is open on it. A file that is gone counts as held.
    bool IsFileFree() const;

    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    // The button: wipes the copy when it is free, else says so for four ticks.
    void OnOK() override;

    CString m_strPath;        // the copy to wipe; set before DoModal
    // When set, the checks also wait until the copy's program has opened it
    // or had the time to (a free copy is not yet a released one).
    CTempCopyWatch* m_pWatch = nullptr;
    int m_nRetryTicks = -1;   // ticks until the button returns after a refused attempt; -1 none

    static const UINT_PTR TIMER_CHECK = 1;
    static const UINT FIRST_CHECK_DELAY = 2000;
    static const UINT CHECK_INTERVAL = 500;
    static const int REFUSED_TICKS = 4;

private:
    void WipeAndClose();
    void SetButton(const WCHAR* text, BOOL enabled);
};
