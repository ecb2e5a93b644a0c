// The agent's framing over any byte stream, cut into reads of any size: every byte is either part of a
// message taken or reported as skipped, in order, nothing invented; no message is longer than the limit;
// the messages taken, framed again, come back the same from one read. The first input byte sets the read
// size (1 to 256); the rest is the stream.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "siplink/Netstring.h"

FUZZ_TARGET(Netstrings) {
    FuzzInput input(data, size);
    size_t readSize = size_t(input.Byte()) + 1;
    std::string stream(reinterpret_cast<const char*>(input.Rest()), input.RestSize());

    NetstringReader reader;
    std::vector<std::string> messages;
    std::string rebuilt, skipped, message;
    for (size_t at = 0; at < stream.size(); at += readSize) {
        reader.Append(stream.data() + at, std::min(readSize, stream.size() - at));
        while (reader.Next(message, skipped)) {
            FUZZ_CHECK(message.size() <= NetstringReader::MaxLength);
            rebuilt += skipped + EncodeNetstring(message);
            skipped.clear();
            messages.push_back(message);
        }
    }
    rebuilt += skipped;
    // What was taken and skipped is the stream's beginning, byte for byte; the rest is still arriving.
    FUZZ_CHECK(rebuilt.size() <= stream.size());
    FUZZ_CHECK(stream.compare(0, rebuilt.size(), rebuilt) == 0);

    std::string again;
    for (const std::string& each : messages)
        again += EncodeNetstring(each);
    NetstringReader whole;
    whole.Append(again.data(), again.size());
    skipped.clear();
    for (const std::string& each : messages) {
        FUZZ_CHECK(whole.Next(message, skipped));
        FUZZ_CHECK(message == each);
    }
    FUZZ_CHECK(!whole.Next(message, skipped));
    FUZZ_CHECK(skipped.empty());
    return 0;
}
