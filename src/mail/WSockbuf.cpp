#include "mail/WSockbuf.h"

#include <algorithm>
#include <cstring>

namespace quorvia::mail {

TBuffer::TBuffer(int Size) {
    SetBufSize(Size);
}

void TBuffer::SetBufSize(int Size) {
    if (Size <= 0)
        Size = kDefaultSize;
    Size = std::max(Size, m_wrCount);
    if (Size == m_bufSize && m_data)
        return;
    auto block = std::make_unique<char[]>(Size);
    if (m_wrCount > 0)
        std::memcpy(block.get(), m_data.get(), m_wrCount);
    m_data = std::move(block);
    m_bufSize = Size;
}

int TBuffer::Write(const char* Data, int Len) {
    const int free = m_bufSize - m_wrCount;
    if (free <= 0 || Len <= 0)
        return 0;
    const int n = std::min(free, Len);
    std::memcpy(m_data.get() + m_wrCount, Data, n);
    m_wrCount += n;
    return n;
}

const char* TBuffer::Peek(int& Len) const {
    Len = m_wrCount - m_rdCount;
    if (Len <= 0) {
        Len = 0;
        return nullptr;
    }
    return m_data.get() + m_rdCount;
}

int TBuffer::Remove(int Len) {
    const int pending = m_wrCount - m_rdCount;
    if (pending <= 0 || Len <= 0)
        return 0;
    const int n = std::min(Len, pending);
    m_rdCount += n;
    if (m_rdCount >= m_wrCount)
        m_rdCount = m_wrCount = 0;
    return n;
}

} // namespace quorvia::mail
