#include "framework/windows/CCmdTarget.h"

BOOL CCmdTarget::OnCmdMsg(UINT, int, CCmdUI*) { return FALSE; }
