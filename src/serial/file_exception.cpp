#include "serial/file_exception.h"

#include <cstring>

CFileException::CFileException(std::string fileName, int sysErrno)
    : CFileException(std::move(fileName), sysErrno, OpenStep::Device) {}

CFileException::CFileException(std::string fileName, int sysErrno, OpenStep step,
                               std::string systemText)
    : m_strFileName(std::move(fileName)),
      m_nErrno(sysErrno),
      m_step(step),
      m_strSystem(systemText.empty() ? std::strerror(sysErrno) : std::move(systemText)),
      m_what("cannot open " + m_strFileName + ": " + m_strSystem) {}

const char* CFileException::what() const noexcept { return m_what.c_str(); }
