#pragma once

#include <QString>
#include <string>

// What the window tells when a local or network port fails, in the user's words, with the
// system's own below where it gave any.

// Why a local port could not be opened: `err` is the errno of the open.
QString OpenFailureReason(int err);

// Why the open port at `path` has gone: `error` is the errno its connection went with, 0 when
// nothing says why (SerialPort::HangUpError).
QString PortGoneReason(const std::string& path, int error);
