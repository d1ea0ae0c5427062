#pragma once

#include "mail/WSocket.h"
#include "mail/Wait.h"

#include <QString>

namespace quorvia::test {

// A socket with a short-tick wait control, connected to a script.
struct Client {
    mail::TWait wait;
    mail::TWSocket socket;
    explicit Client(int port) {
        wait.SetInterval(100);
        socket.SetWaitCtrl(&wait);
        socket.SetAddr("127.0.0.1");
        socket.SetPort(QString::number(port));
        socket.Connect();
    }
    bool connected() { return socket.Wait(50, mail::wsConnected); }
};

} // namespace quorvia::test
