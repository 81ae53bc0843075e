#include "beacon_entry.h"

namespace telvane::archive {

std::string_view SourceKindName(SourceKind kind) {
    constexpr std::string_view kNames[] = {"dialog", "log", "recording"};
    return kNames[static_cast<int>(kind)];
}

}  // namespace telvane::archive
