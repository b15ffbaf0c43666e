// Waiting on the user-interface thread without blocking its windows: a thread
// that waits for a worker which reports with synchronous messages must keep
// dispatching them, or both would wait for each other.
#pragma once

// Removes, translates and dispatches every message waiting for the calling
// thread. Returns false when WM_QUIT was among them; the quit is posted again
// so that the message loop still sees it.
bool PumpPendingMessages();
