#pragma once
// The device record through which the device monitor (or the command line) names
// a target: a drive ("E:") or a camera (module path and capability name).
#include <cstddef>
#include <string>

inline constexpr std::size_t kMessageIdFieldSize = 260;

struct MessageIdRecord {
    char Name[kMessageIdFieldSize] = {};
    char Capability[kMessageIdFieldSize] = {};

    void Clear();
    // False (field untouched) when the text does not fit with its terminating zero.
    bool SetName(const std::string& text);
    bool SetCapability(const std::string& text);
};
static_assert(sizeof(MessageIdRecord) == 520);

// Device index -> subkey of the MessageID key ("MessageID\<index>").
std::string MessageIdSubKey(int index);

// The record under MessageID\<index>. The default (drives: "X:", others: empty)
// stays in the record when the key is missing (false) or a Name is unusable.
bool ReadMessageID(int index, MessageIdRecord* record);
// Writes Name and Capability (REG_MULTI_SZ, length + 1 bytes); false when the key
// cannot be created or a value cannot be written.
bool WriteMessageID(int index, const MessageIdRecord& record);
// The default record of an index: "A:".."Z:" for drives, empty otherwise.
MessageIdRecord DefaultMessageID(int index);
