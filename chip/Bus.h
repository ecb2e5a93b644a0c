#pragma once
// The bit-banged 2-wire serial bus on registers 16 (clock) and 17 (data, select).
#include <cstdint>

// Last values the line operations wrote to registers 16 and 17 (process-wide, both start at 0x0F).
extern uint8_t register16Shadow;
extern uint8_t register17Shadow;

// Line operations: change the shadow byte, then write it whole.
void DataOutputEnable();
void DataRelease();
void DataHigh();
void DataLow();
void ClockHigh();
void ClockLow();
void SelectHigh();
void SelectLow();
bool DataIn(); // true when the data line reads high
void BusDelay();

// Bus primitives (Bus.cpp says for each the bus state it expects and leaves).
void BusStart();
void BusStop();
void BusPutByte(uint8_t value);
int BusGetAck(); // 1: not acknowledged (line high), 0: acknowledged
uint8_t BusGetByte();
void BusSendAck();

// How often BusWrite starts its data phase over after refused bytes before it gives up: a device that
// keeps refusing costs at most four passes (some 40 ms a byte each), never an endless loop.
constexpr int BusWriteMaxRestarts = 3;

enum : int { BusDone = 0, BusAddressRefused = 17, BusDataRefused = 20 };
// 0: every byte acknowledged; 17: address refused; 20 + position: the data byte at that position refused
// (the last refusal seen, even when a restarted pass then went through). Data go out last byte first.
int BusWrite(uint8_t address, const uint8_t* data, int count);
// 0: done, the first byte received stored at position count - 1; 17: address refused (buffer untouched).
int BusRead(uint8_t address, uint8_t* buffer, int count);
