// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

uint16_t Crc16(const uint8_t* data, size_t length);
