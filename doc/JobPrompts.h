// CJobPrompts: what the document asks of the user before a job: passwords,
// with the job's options. The application answers with its dialogs and
// registers its answerer with the document when it makes it
// (COrvantisDoc::SetPrompts); in this way the document reaches the dialogs
// without knowing them, as CPreviewHost lets it reach the frame. Without an
// answerer every prompt counts as cancelled.
//
// Every prompt is modal and runs on the user-interface thread. Each returns
// true on OK, with its in-out values updated; on cancel it changes nothing.
#pragma once

#include "doc/JobOptions.h"
#include "framework/base/CString.h"

class CJobPrompts {
public:
    // An encryption's password, typed twice, and its ten options.
    virtual bool AskEncryptPassword(CString& password, JobOptions& options) = 0;
    // A decryption's password and its options.
    virtual bool AskDecryptPassword(CString& password, JobOptions& options) = 0;
    // The password kept for later jobs; OK with an empty one clears it.
    virtual bool AskPassword(CString& password) = 0;
    // The integrity test's password, proposed in `password`.
    virtual bool AskTestPassword(CString& password) = 0;

protected:
    ~CJobPrompts() = default;
};
