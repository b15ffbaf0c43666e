// JobOptions: the options of the file jobs in one record. The document holds
// the current ones, the password prompts show and return them, and a job
// works with them; some are kept in the application's profile between runs.
//
// Threading: the document's record is changed only on the user-interface
// thread, and not while a job runs.
#pragma once

struct JobOptions {
    int m_bRecurse = 1;             // collect subfolders too
    int m_bKeepPassword = 1;        // keep the password after a job
    int m_bVerify = 1;              // decrypt every new encrypted file again and compare; kept as "VerifyEnc"
    int m_bSecureDelete = 0;        // wipe originals before deleting them; kept as "SecureDelete"
    int m_bKeepLogOnErrors = 1;     // show the log after a job with errors
    int m_bKeepLogOnSkips = 0;      // show the log after a job that skipped items
    int m_bAddRecovery = 0;         // append a recovery section to new encrypted files; kept as "AddRecovery"
    int m_bKeepDates = 1;           // give new files the times of their originals; kept as "KeepDates"
    int m_bRandomNames = 1;         // random names for encrypted files; kept as "RandomFileNames"
    int m_bEncryptFolderNames = 1;  // encrypt folder names too; kept as "EncryptFolderNames"
    int m_bCheckCrc = 1;            // check the stored CRC-32 when decrypting

    // Reads the kept options from the application's profile; an option the
    // profile lacks (or no profile at all) keeps its present value.
    void LoadKept();
    // Writes the kept options to the application's profile (nothing without one).
    void SaveKept() const;
};
