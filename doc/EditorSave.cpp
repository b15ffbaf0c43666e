// COrvantisDoc: saving the secure editor's text back into its encrypted file.
#include "doc/OrvantisDoc.h"

#include "crypt/FileCipher.h"

int COrvantisDoc::SaveEditorText(const CString& encryptedPath, const BYTE* text, size_t size)
{
    (void)encryptedPath;
    (void)text;
    (void)size;
    return CRYPT_WRITE_FAILED;
}

CString COrvantisDoc::EditorSaveMessage(int code)
{
    (void)code;
    return CString(L"The file could not be saved.");
}

void COrvantisDoc::EditorClosed(CEditorWindow* editor)
{
    (void)editor;
}
