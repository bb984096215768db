#pragma once

// How a push to a streaming server ended on its own.
enum class PushFailure {
    Network,     // the server could not be reached, or dropped the stream: worth another try
    Refused,     // the server said no to the stream (a wrong key, most often)
    Certificate, // an rtmps:// server whose certificate is not valid
};
