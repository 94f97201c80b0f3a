#include "serial/file_exception.h"

#include <cstring>

CFileException::CFileException(std::string fileName, int sysErrno)
    : m_strFileName(std::move(fileName)),
      m_nErrno(sysErrno),
      m_what("cannot open " + m_strFileName + ": " + std::strerror(sysErrno)) {}

const char* CFileException::what() const noexcept { return m_what.c_str(); }
