#include "doc/JobOptions.h"

#include "framework/windows/CWinApp.h"

namespace {

const WCHAR kSection[] = L"Settings";

// The options kept in the profile, under these value names.
const struct {
    const WCHAR* name;
    int JobOptions::*option;
} kKeptOptions[] = {
    {L"VerifyEnc", &JobOptions::m_bVerify},
    {L"SecureDelete", &JobOptions::m_bSecureDelete},
    {L"AddRecovery", &JobOptions::m_bAddRecovery},
    {L"KeepDates", &JobOptions::m_bKeepDates},
    {L"RandomFileNames", &JobOptions::m_bRandomNames},
    {L"EncryptFolderNames", &JobOptions::m_bEncryptFolderNames},
};

}  // namespace

void JobOptions::LoadKept()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    for (const auto& kept : kKeptOptions)
        this->*kept.option = (int)app->GetProfileInt(kSection, kept.name, this->*kept.option);
}

void JobOptions::SaveKept() const
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    for (const auto& kept : kKeptOptions)
        app->WriteProfileInt(kSection, kept.name, this->*kept.option);
}
