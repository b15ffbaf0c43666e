// A table of hostile inputs for one reader: each row's bytes are read from
// memory and must end with the row's code, with or without pixels, and with
// the call depth as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"

namespace readertest {

struct HostileCase {
    const char* fault;
    std::string bytes;
    int32_t depth;
    uint32_t flags;
    int32_t code;
    bool pixels;
};

// read(source, row) gives the block the reader returned.
inline void ExpectHostileOutcomes(const std::vector<HostileCase>& cases,
                                  const std::function<void*(CPicIO*, const HostileCase&)>& read) {
    for (const HostileCase& c : cases) {
        Source source(Source::kMemory, c.bytes);
        GlobalBlock block(read(source, c));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(block.data != nullptr, c.pixels) << c.fault;
        EXPECT_EQ(CallDepth(), 0) << c.fault;
    }
}

}  // namespace readertest
