#pragma once

#include <functional>

class QObject;
class TCustomWinSocket;

enum class TServerType { stNonBlocking, stThreadBlocking };
enum class TClientType { ctNonBlocking, ctBlocking };

// What failed when an error event is reported.
enum class TErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept };

// What an endpoint tells its owner.
enum class TSocketEvent { seLookup, seConnecting, seConnect, seDisconnect, seListen, seAccept, seWrite, seRead };

// Readiness notifications, numbered like the classic asynchronous socket event bits.
enum class TNotification { Read = 1, Write = 2, Accept = 8, Connect = 16, Close = 32 };

// The components' events. Sender is the component, or for a server's OnClient... events
// its listening endpoint; Socket is the endpoint concerned.
using TSocketNotifyEvent = std::function<void(QObject *Sender, TCustomWinSocket *Socket)>;
// A handler clears ErrorCode to 0 to keep the component from raising ESocketError.
using TSocketErrorEvent =
    std::function<void(QObject *Sender, TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode)>;

// How an endpoint reaches its owner (a component or the listening endpoint).
using TSocketEventCallback = std::function<void(TCustomWinSocket *Socket, TSocketEvent SocketEvent)>;
using TSocketErrorCallback = std::function<void(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode)>;
