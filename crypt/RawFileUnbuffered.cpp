// CRawFile::SetUnbuffered. Wine opens every file through the page cache and
// ignores FILE_FLAG_NO_BUFFERING, so the flag is set on the handle's Unix
// descriptor itself; Wine's writes use the same open file, so they follow it.
#include "crypt/RawFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

typedef LONG(CDECL* HandleToFd)(HANDLE handle, unsigned int access, int* unixFd, unsigned int* options);

HandleToFd WineHandleToFd()
{
    static HandleToFd function =
        (HandleToFd)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_server_handle_to_fd");
    return function;
}

}  // namespace

bool CRawFile::SetUnbuffered(bool on)
{
    HandleToFd handleToFd = WineHandleToFd();
    int fd = -1;
    if (!IsOpen() || !handleToFd || handleToFd(m_handle, 0, &fd, nullptr) != 0 || fd < 0)
        return false;
    // The descriptor is a duplicate: its flags are those of the handle's own.
    int flags = fcntl(fd, F_GETFL);
    bool done = flags != -1 && fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
    close(fd);
    return done;
}
