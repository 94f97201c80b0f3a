#pragma once

#include <exception>
#include <string>

// Thrown when a port cannot be opened. Cause and error code keep the fixed values 0 and -1
// that callers compare against; the operating system's reason travels in m_nErrno so the
// user can be told why.
struct CFileException : std::exception {
    CFileException(std::string fileName, int sysErrno);

    const char* what() const noexcept override;

    int m_cause = 0;
    long m_lOsError = -1;
    std::string m_strFileName;
    int m_nErrno = 0;  // errno of the step that failed; EBUSY when another program holds the port

private:
    std::string m_what;
};
