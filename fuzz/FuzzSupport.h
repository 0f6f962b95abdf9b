#pragma once
// What every fuzz target shares: a broken property aborts with its label, so libFuzzer keeps
// the input that broke it; text made from the fuzzer's bytes; a scratch folder in memory for
// the parsers that only read files. Linking this library also gives every target libFuzzer's
// start-up hook, which quiets Qt and fixes the time zone.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace gwfuzz {

[[noreturn]] void fail(const char* file, int line, const char* what);

// Bytes as they come, and the same as text the way a UTF-8 reader sees them.
QByteArray bytes(const uint8_t* data, size_t size);
QByteArray takeBytes(FuzzedDataProvider& in, size_t maxLength);
QString takeText(FuzzedDataProvider& in, size_t maxLength);
QString restText(FuzzedDataProvider& in);

// A folder below /dev/shm (else the temporary folder) that lives as long as the process.
QString scratchDir();
// Writes `content` to `name` in the scratch folder and returns its path.
QString writeScratch(const QString& name, const QByteArray& content);

} // namespace gwfuzz

#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::gwfuzz::fail(__FILE__, __LINE__, what);                                                                  \
    } while (false)
