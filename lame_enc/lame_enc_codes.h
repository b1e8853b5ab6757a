// Result codes of lame_enc.dll's stream calls and of beWriteVBRHeader.
// 0 is success; every fault has a code of its own, so a caller (or a test)
// can tell which check refused the call.
#pragma once

#include <cstdint>

enum LameEncCode : uint32_t {
    kLameEncOk = 0,
    kLameEncNullArgument = 1,      // a pointer argument was null
    kLameEncBadConfigKind = 2,     // config_kind is not 256
    kLameEncBadConfigVersion = 3,  // struct_version is not 1
    kLameEncBadConfigSize = 4,     // struct_size is not 331
    kLameEncSettingsRefused = 5,   // libmp3lame refused a value of the record
    kLameEncOutOfMemory = 6,
    kLameEncAbrRange = 7,          // average bitrate above the maximum
    kLameEncNoFreeStream = 8,      // every stream slot is in use
    kLameEncBadHandle = 9,         // unknown, closed or stale stream handle
    kLameEncBadCount = 10,         // sample count 0 or above samples-per-chunk
    kLameEncEncodeFailed = 11,     // libmp3lame failed while encoding or flushing
    kLameEncStreamFlushed = 12,    // the stream was already flushed
    kLameEncNoTag = 13,            // no LAME tag kept from a flushed stream
    kLameEncFileOpen = 14,         // the named file cannot be opened for update
    kLameEncFileTooShort = 15,     // the file is shorter than the tag frame
    kLameEncHeaderMismatch = 16,   // the file's first frame header is not the tag's
    kLameEncFileWrite = 17,        // writing the tag or closing the file failed
};
