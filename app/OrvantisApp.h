// COrvantisApp: the application object. InitInstance starts the common
// controls, OLE and the image library, sets up the registry profile
// (Software\Halvercombe\Quorvex; a layout version other than 13 discards the
// saved workspace) and makes the document, the main frame and the view
// through the document template; ExitInstance ends OLE and the image
// library.
#pragma once

#include "framework/windows/CWinAppEx.h"

class COrvantisApp : public CWinAppEx {
public:
    // The workspace layout this program writes; another one is discarded.
    static const int LAYOUT_VERSION = 13;

    COrvantisApp();

    BOOL InitInstance() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    int ExitInstance() override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

protected:
    void OnAppAbout();

private:
    bool m_bOleStarted = false;
    bool m_bImagingStarted = false;
};

// The text last searched with the find box.
extern CString g_FindText;
// The clipboard format of the list's drags ("QuorvexShellFileList").
extern UINT g_ShellFileListFormat;
