#include "suite/jmap.h"

#include "runtime/service_request.h"
#include "suite/forward_table.h"

namespace suite {

namespace {
// FromJSON's frame: the table object, the data and the three optional arguments.
enum FromJsonArgument : int32_t { kTableArg, kDataArg, kEncodingArg, kConvertEscapesArg, kWideKeysArg,
                                  kFromJsonArgumentCount };

rt::DataCell call(JMapCommand command, int32_t count, rt::DataCell* args) {
    return rt::serviceTable().callLibraryCommand(suiteEntryPoint(command), count, args);
}
}  // namespace

JMap::JMap() {
    rt::DataCell args[] = {variableCell()};
    call(kJMapBaseCreate, 1, args);
}

JMap::~JMap() {
    rt::DataCell args[] = {variableCell()};
    call(kJMapBaseRelease, 1, args);
}

bool JMap::fromJson(const char* text, const FromJsonOptions& options) {
    return load(rt::DataCell::ofText(text), options);
}

bool JMap::fromJsonBytes(const uint8_t* byteSet, const FromJsonOptions& options) {
    return load(rt::DataCell::ofByteSet(byteSet), options);
}

bool JMap::load(const rt::DataCell& data, const FromJsonOptions& options) {
    // Every argument travels; one not given is an absent cell (type 0).
    rt::DataCell args[kFromJsonArgumentCount] = {variableCell(), data};
    if (options.sourceEncoding) args[kEncodingArg] = rt::DataCell::ofText(options.sourceEncoding);
    if (options.convertEscapes) args[kConvertEscapesArg] = rt::DataCell::ofBool(*options.convertEscapes);
    if (options.wideKeys) args[kWideKeysArg] = rt::DataCell::ofBool(*options.wideKeys);
    return call(kJMapFromJson, kFromJsonArgumentCount, args).asBool();
}

char* JMap::getString(const char* key) { return lookup(rt::DataCell::ofText(key)); }

char* JMap::getStringByBytes(const uint8_t* byteSetKey) { return lookup(rt::DataCell::ofByteSet(byteSetKey)); }

char* JMap::lookup(const rt::DataCell& key) {
    rt::DataCell args[] = {variableCell(), key};
    return const_cast<char*>(call(kJMapGetString, 2, args).asText());
}

}  // namespace suite
