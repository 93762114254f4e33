// The data-operations library's digest command.
#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/commands/md5.h"

namespace rt {

void md5Hex(DataCell* result, int32_t count, DataCell* args) {
    std::string_view bytes = command_support::byteSetView(count, args, 0);
    command_support::setText(result, md5HexDigest(bytes.data(), bytes.size()));
}

}  // namespace rt
