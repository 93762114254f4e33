#include "suite/jmap.h"

#include "runtime/service_request.h"
#include "suite/forward_table.h"

namespace suite {

namespace {
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
    rt::DataCell args[5] = {variableCell(), data};
    int32_t count = 2;
    if (options.sourceEncoding) args[2] = rt::DataCell::ofText(options.sourceEncoding), count = 3;
    if (options.convertEscapes) args[3] = rt::DataCell::ofBool(*options.convertEscapes), count = 4;
    if (options.wideKeys) args[4] = rt::DataCell::ofBool(*options.wideKeys), count = 5;
    return call(kJMapFromJson, count, args).asBool();
}

char* JMap::getString(const char* key) { return lookup(rt::DataCell::ofText(key)); }

char* JMap::getStringByBytes(const uint8_t* byteSetKey) { return lookup(rt::DataCell::ofByteSet(byteSetKey)); }

char* JMap::lookup(const rt::DataCell& key) {
    rt::DataCell args[] = {variableCell(), key};
    return const_cast<char*>(call(kJMapGetString, 2, args).asText());
}

}  // namespace suite
