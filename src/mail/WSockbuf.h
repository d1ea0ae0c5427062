#pragma once

#include <memory>

namespace quorvia::mail {

// One fixed-size chunk of a socket's send queue. Bytes are appended at the
// write count and consumed from the read count; the chunk is reused only once
// it has drained completely.
class TBuffer {
public:
    static constexpr int kDefaultSize = 1514;

    explicit TBuffer(int Size = kDefaultSize);

    int BufSize() const { return m_bufSize; }
    // Never drops pending bytes: a chunk is not made smaller than its write count.
    void SetBufSize(int Size);

    // Bytes taken (0 when the chunk is full).
    int Write(const char* Data, int Len);
    // The pending bytes (Len := their number), or nullptr with Len := 0.
    const char* Peek(int& Len) const;
    // Bytes consumed from the front.
    int Remove(int Len);

private:
    std::unique_ptr<char[]> m_data;
    int m_bufSize = 0;
    int m_wrCount = 0;
    int m_rdCount = 0;
};

} // namespace quorvia::mail
