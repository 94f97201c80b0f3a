#pragma once

#include <exception>
#include <string>

// The step of opening that failed. A local device has one; a network port is looked up,
// connected and, for RFC 2217, negotiated.
enum class OpenStep : unsigned char { Device, Lookup, Connect, Negotiate };

// Thrown when a port cannot be opened. Cause and error code keep the fixed values 0 and -1
// that callers compare against; the operating system's reason travels in m_nErrno so the
// user can be told why.
struct CFileException : std::exception {
    CFileException(std::string fileName, int sysErrno);
    // A step whose reason no errno carries (a name lookup) brings the system's own words.
    CFileException(std::string fileName, int sysErrno, OpenStep step, std::string systemText = {});

    const char* what() const noexcept override;

    int m_cause = 0;
    long m_lOsError = -1;
    std::string m_strFileName;
    int m_nErrno = 0;  // errno of the step that failed; EBUSY when another program holds the port
    OpenStep m_step = OpenStep::Device;
    std::string m_strSystem;  // what the system says about it: strerror(m_nErrno) unless set


private:
    std::string m_what;
};
