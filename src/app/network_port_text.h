#pragma once

#include <QString>

#include "serial/file_exception.h"
#include "serial/network_address.h"

// What the window tells of network ports, in the user's words.

// What the port list's tooltip and a screen reader say of a network entry.
QString NetworkPortDescription(const NetworkAddress& address);

// Why a network port could not be opened, by the step that failed, with the system's (or the
// server's) own words below.
QString NetworkOpenFailure(const CFileException& e);
