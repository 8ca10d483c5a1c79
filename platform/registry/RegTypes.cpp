#include "platform/registry/RegTypes.h"

namespace plat {

const char* describe(RegResult r) {
    switch (r) {
    case RegResult::Ok: return "done";
    case RegResult::NotFound: return "no such key or value";
    case RegResult::AccessDenied: return "access denied";
    case RegResult::InvalidHandle: return "the key is not open";
    case RegResult::InvalidParameter: return "invalid parameter";
    case RegResult::BadPath: return "bad registry path (empty or over-long key name)";
    case RegResult::Busy: return "the registry is locked by another process";
    case RegResult::MoreData: return "the buffer is too small for the value";
    case RegResult::NoMoreItems: return "no more items";
    case RegResult::BadHive: return "the hive file is not a registry database";
    case RegResult::CantOpenHive: return "the hive file cannot be opened";
    case RegResult::ReadFailed: return "reading the hive failed";
    case RegResult::WriteFailed: return "writing the hive failed";
    case RegResult::KeyDeleted: return "the key was deleted";
    }
    return "unknown registry result";
}

}  // namespace plat
