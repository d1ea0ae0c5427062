#pragma once

#include "mail/NetDb.h"
#include "mail/SocketErrors.h"
#include "mail/SocketWindow.h"
#include "mail/WSockbuf.h"
#include "mail/Wait.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <netinet/in.h>

namespace quorvia::mail {

class TCustomWSocket;

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};

enum TSocketSendFlags { wsSendNormal, wsSendUrgent };

using TSocket = int;
inline constexpr TSocket INVALID_SOCKET = -1;

// A time value record (seconds and microseconds).
struct TTimeVal {
    long tv_sec = 0;
    long tv_usec = 0;
};

using TSocketEvent = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TChangeStateEvent =
    std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TSocketNotify = std::function<void(TCustomWSocket* Sender)>;

// One IPv4 socket in non-blocking, event-driven mode. Network events are
// handled in the thread that created the component, inside whatever event
// loop runs there (see SocketWindow), and become the On... events below.
// Wait, ReadLine and Flush run a nested loop until their condition holds or
// their timeout runs out, counted by the TWait in WaitCtrl, or with
// MultiThreaded set by the clock.
class TCustomWSocket : public QObject, private SocketEventSink {
public:
    explicit TCustomWSocket(QObject* Owner = nullptr);
    ~TCustomWSocket() override;

    // Remote host (local host for Listen); resolved when assigned.
    QString Addr() const { return m_addrStr; }
    void SetAddr(const QString& V);
    // Port number or service name, resolved with the current Proto.
    QString Port() const { return m_portStr; }
    void SetPort(const QString& V);
    // "tcp", another protocol name, or a protocol number.
    QString Proto() const { return m_protoStr; }
    void SetProto(const QString& V);

    QString DnsResult() const { return m_dnsResult; }
    const QStringList& DnsResultList() const { return m_dnsResultList; }
    TSocketState State() const { return m_state; }
    int ReadCount() const { return m_readCount; }
    int RcvdCount();
    int LastError() const { return m_lastError; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool on) { m_multiThreaded = on; }
    TCustomWait* WaitCtrl() const { return m_waitCtrl; }
    void SetWaitCtrl(TCustomWait* wait) { m_waitCtrl = wait; }
    int FlushTimeout() const { return m_flushTimeout; }
    void SetFlushTimeout(int seconds) { m_flushTimeout = seconds; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags flags);
    TSocket HSocket() const { return m_hSocket; }
    // Local port learnt by a datagram Connect.
    int LocalPortNumber() const { return m_localPort; }

    TSocketEvent OnDataAvailable;
    TSocketEvent OnDataSent;
    TSocketEvent OnSessionClosed;
    TSocketEvent OnSessionAvailable;
    TSocketEvent OnSessionConnected;
    TChangeStateEvent OnChangeState;
    TSocketNotify OnLineTooLong;
    TSocketEvent OnDnsLookupDone;
    TSocketNotify OnError;

    virtual void RaiseExceptionFmt(const char* Format, ...) __attribute__((format(printf, 2, 3)));
    // OnError when assigned (the text is not kept), otherwise ESocketException.
    virtual void RaiseException(const QString& Msg);

    virtual void Connect();
    virtual void Close();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForClose();
    virtual int Listen();
    virtual TSocket Accept();
    virtual int Receive(void* Buf, int Size);
    virtual int ReceiveFrom(void* Buf, int Size, sockaddr_in& From, int& FromLen);
    virtual int Send(const void* Data, int Len);
    virtual int SendStr(const QString& S);
    virtual void DnsLookup(const QString& HostName);
    virtual void CancelDnsLookup();
    virtual QString GetPeerAddr();
    virtual int GetPeerName(sockaddr_in& Name, int& NameLen);
    virtual QString GetLocalPort();
    virtual bool TimevalIsSet(const TTimeVal& tv);
    virtual void TimevalClear(TTimeVal& tv);
    virtual bool TimevalCompare(const TTimeVal& a, const TTimeVal& b, bool whenEqual);
    virtual bool Wait(int Timeout, TSocketState AState);
    virtual void ReadLine(int Timeout, QString& Line);
    // Whether the last ReadLine's line reached its line end (or the length
    // limit); false when the connection closed or the time ran out first.
    bool LineComplete() const { return m_lineComplete; }
    virtual int GetSockName(sockaddr_in& Name, int& NameLen);
    virtual void Dup(TSocket NewHandle);
    virtual void Shutdown(int How);
    virtual int Pause();
    virtual int Resume();

protected:
    virtual bool TriggerDataAvailable(quint16 Error);
    virtual void TriggerSessionAvailable(quint16 Error);
    virtual void TriggerSessionConnected(quint16 Error);
    virtual void TriggerSessionClosed(quint16 Error);
    virtual void TriggerDataSent(quint16 Error);
    virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
    virtual void TriggerDnsLookupDone(quint16 Error);
    virtual void TriggerError();

    // Hands bytes to the system: the count taken, or -1 with the last socket
    // error set. Every send of the queue goes through here.
    virtual int SocketSend(const char* Data, int Len);

    void ChangeState(TSocketState NewState);
    // Reports the last socket error for FunctionName through RaiseException.
    void SocketError(const QString& FunctionName);
    void TryToSend();
    void ReadLineStep();
    void MessagePump();

private:
    // False when the value is unchanged, or (with an exception) when the socket is open.
    bool MayChange(bool assigned, const QString& stored, const QString& value, const char* what);
    void SocketNotify(int handle, int events, int error) override;
    void DnsLookupNotify(const LookupDoneEvent& done) override;
    void ProcessReadable();
    void PutDataInSendBuffer(const char* Data, int Len);
    void InternalClose(bool ShutFirst);
    void ResetFields();
    void DropSendQueue();
    void EndLine();
    bool BindSocket();
    int BytesWaiting(int& count);

    TSocket m_hSocket = INVALID_SOCKET;
    bool m_portAssigned = false;
    bool m_addrAssigned = false;
    bool m_protoAssigned = false;
    QString m_addrStr;
    QString m_portStr;
    QString m_protoStr;
    int m_socketType = 0;
    int m_protoNumber = 0;
    sockaddr_in m_sin{};
    int m_portNumber = 0;
    int m_localPort = 0;
    TSocket m_acceptedSocket = INVALID_SOCKET;
    TSocketState m_state = wsClosed;
    TSocketState m_awaited = wsInvalidState;
    int m_sendFlags = 0;
    bool m_paused = false;
    std::deque<std::unique_ptr<TBuffer>> m_bufList;
    int m_bufSize = TBuffer::kDefaultSize;
    bool m_allSent = true;
    QByteArray m_line;
    bool m_lineReading = false;
    bool m_lineComplete = false;
    bool m_closeFired = false;
    quint64 m_dnsRequest = 0;
    int m_readCount = 0;
    int m_lastError = 0;
    int m_flushTimeout = 60;
    bool m_multiThreaded = false;
    bool m_destroying = false;
    QPointer<TCustomWait> m_waitCtrl;
    QString m_dnsResult;
    QStringList m_dnsResultList;
    SocketWindow* m_window;
};

// Adds nothing but the published face.
class TWSocket : public TCustomWSocket {
public:
    using TCustomWSocket::TCustomWSocket;
};

} // namespace quorvia::mail
