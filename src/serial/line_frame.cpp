#include "serial/line_frame.h"

int FrameBits(const LineSettings& line) {
    const int data = line.byteSize >= 5 && line.byteSize <= 8 ? line.byteSize : 8;
    const int parity = line.parity == 0 ? 0 : 1;
    const int stop = line.stopBits == 0 ? 1 : 2;
    return 1 + data + parity + stop;
}

std::chrono::microseconds LineTime(const LineSettings& line, int64_t bytes) {
    const int64_t baud = line.baudRate ? line.baudRate : 9600;
    return std::chrono::microseconds(bytes * FrameBits(line) * 1000000 / baud);
}

bool OneAndAHalfStopBitsBecomeTwo(const LineSettings& line) {
    return line.stopBits == 1 && line.byteSize >= 6 && line.byteSize <= 8;
}
