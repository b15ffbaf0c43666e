// Which folders may be encrypted as a whole ("Encrypt Current Folder"):
// never without a full path, never a drive root unless roots are allowed and
// never the root of C: or of the drive that shows the Unix file system, never
// inside the Program Files or Windows folders, and on the Unix root drive
// never inside the system's own folders or the Windows folder of the prefix.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/Collections.h"

// The folders the policy protects, as found on this system.
struct FolderPolicyPaths {
    CString programFiles;   // CSIDL_PROGRAM_FILES
    CString windows;        // CSIDL_WINDOWS
    CString programW6432;   // the expansion of %ProgramW6432%
    WCHAR unixRootDrive = 0;           // the drive letter whose root is the Unix root, 0 when none
    CStringArray windowsOnUnixDrive;   // the Windows folder reached through that drive

    static FolderPolicyPaths OfThisSystem();
};

// The message refusing `folder`, or "" when it may be encrypted. Paths are
// compared without regard to case.
CString FolderPolicyRefusal(const CString& folder, bool allowRoot, const FolderPolicyPaths& paths);
