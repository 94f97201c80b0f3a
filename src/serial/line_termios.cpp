#include "serial/line_termios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

void MakeRawLine(termios2& t, const LineSettings& line) {
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (line.flow == FlowControl::RtsCts) t.c_cflag |= CRTSCTS;
    if (line.flow == FlowControl::XonXoff) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
    }

    if (line.baudRate != 0) {
        t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
        t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        t.c_ospeed = t.c_ispeed = line.baudRate;
    }
    if (line.byteSize >= 5 && line.byteSize <= 8) {
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[line.byteSize - 5];
    }
    if (line.parity >= 0 && line.parity <= 4) {
        static constexpr tcflag_t kParity[] = {
            0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
        t.c_cflag = (t.c_cflag & ~(PARENB | PARODD | CMSPAR)) | kParity[line.parity];
    }
    // One and a half stop bits is CSTOPB too: UARTs give 1.5 when the word has 5 data bits.
    if (line.stopBits >= 0 && line.stopBits <= 2) {
        t.c_cflag = (t.c_cflag & ~CSTOPB) | (line.stopBits == 0 ? 0 : CSTOPB);
    }
}

PortTermios::PortTermios(int fd) : m_fd(fd), m_saved(std::make_unique<termios2>()) {
    if (ioctl(m_fd, TCGETS2, m_saved.get()) != 0) m_saved.reset();
}

PortTermios::~PortTermios() = default;

int PortTermios::ApplyRaw(const LineSettings& line) {
    termios2 t{};
    if (m_saved) t = *m_saved;
    MakeRawLine(t, line);
    return ioctl(m_fd, TCSETS2, &t) == 0 ? 0 : errno;
}

void PortTermios::Restore() {
    if (m_saved) ioctl(m_fd, TCSETS2, m_saved.get());
}

bool FlushQueues(int fd) { return ioctl(fd, TCFLSH, TCIOFLUSH) == 0; }
