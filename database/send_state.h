// What the sender tells the window and the "Baza danych" dialog: whether
// sending fails, why, and how many points wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Why sending does not deliver.
enum class DbFault {
    None,
    Transport,         // no answer: nTransportError
    HttpStatus,        // an answer other than a delivery: nHttpStatus, strServerMessage
    NotAServer,        // a 2xx from something that is not a time-series server
    SecretUnreadable,  // held: the stored password is another user's
    Credentials,       // held: a control character in user or password, or ':' in the user
    Internal,          // the request could not be built (out of memory) or the thread failed
};

struct DbSendState {
    bool bFailing = false;          // the last request did not deliver its batch, or sending is held
    DbFault fault = DbFault::None;  // why, while bFailing
    int nHttpStatus = 0;            // of the last failed request; 0: no answer at all
    unsigned nTransportError = 0;   // WinHTTP's error when there was no answer
    std::string strServerMessage;   // the server's reason with a failed answer
    std::size_t nWaiting = 0;       // points queued
    std::uint64_t nDropped = 0;     // pushed out of a full queue
    std::uint64_t nRejected = 0;    // points the server will never take (400 line protocol, 422)
    std::uint64_t nSent = 0;        // delivered
};

// Windows-1250 text of a WinHTTP error code, in words where the code is a
// common one ("12029" is "nie można połączyć się z serwerem").
std::string TransportErrorText(unsigned nError);

// Why sending fails, in a few words for the status line ("HTTP 404",
// "nieczytelne hasło"); empty while it does not. Windows-1250.
std::string ShortSendFault(const DbSendState& state);

// Several lines for the dialog (CR LF between them), Windows-1250.
std::string DescribeSendState(const DbSendState& state, bool bEnabled);

// The connection check's verdict: the answer to /ping (204 with the
// server's version), an HTTP status with the server's reason, or the
// transport error. Windows-1250.
std::string DescribePingAnswer(int nStatus, unsigned nTransportError, const std::string& version,
                               const std::string& serverMessage);
