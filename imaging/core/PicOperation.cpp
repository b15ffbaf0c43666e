#include "imaging/core/PicOperation.h"

CPicProgress::CPicProgress() : m_state(GetThreadState()) {
    m_enabled = m_state != nullptr && m_state->progressCallback != nullptr;
}

bool CPicProgress::ReportToCallback(uint32_t done, uint32_t total) const {
    if (m_state->callDepth != 1 || m_state->progressCallback == nullptr) return true;
    return m_state->progressCallback(done, total, m_state->progressUser) != FALSE;
}
