#include "zip/PkCallback.h"

bool CPkActionCallback::RequestCallback(uint64_t progress)
{
    if (progress == 0)
        return true;
    if (m_iStep <= 1)
        return Callback(progress);
    m_uAccumulated += progress;
    if (m_iCounter >= m_iStep) {
        bool go = Callback(m_uAccumulated);
        m_iCounter = 1;
        m_uAccumulated = 0;
        return go;
    }
    ++m_iCounter;
    return true;
}

bool CPkActionCallback::RequestLastCallback(uint64_t progress)
{
    uint64_t amount = m_uAccumulated + progress;
    bool go = amount == 0 ? true : Callback(amount);
    m_iCounter = 1;
    m_uAccumulated = 0;
    return go;
}

namespace PkArchiveLib {

void CPkCallbackProvider::Set(CPkActionCallback* callback, int mask)
{
    // The single types 1 ... 0x8000 and the combined type 0x1C000.
    for (int type = 1; type <= 0x8000; type <<= 1) {
        if (!(mask & type))
            continue;
        if (callback)
            m_callbacks[type] = callback;
        else
            m_callbacks.erase(type);
    }
    if ((mask & 0x1C000) == 0x1C000) {
        if (callback)
            m_callbacks[0x1C000] = callback;
        else
            m_callbacks.erase(0x1C000);
    }
}

CPkActionCallback* CPkCallbackProvider::Get(CPkActionCallback::CallbackType type) const
{
    auto it = m_callbacks.find((int)type);
    if (it == m_callbacks.end())
        return nullptr;
    it->second->m_iType = type;
    return it->second;
}

}  // namespace PkArchiveLib
