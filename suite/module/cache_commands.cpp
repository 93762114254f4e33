// The memory-cache commands: keys are texts, contents byte strings, each
// entry with its own expiry in seconds.
#include <cstdlib>
#include <optional>

#include "suite/module/commands.h"
#include "suite/module/jmap_table.h"
#include "suite/module/memory_cache.h"
#include "suite/module/runtime_link.h"
#include "suite/module/text_encoding.h"

namespace srvkit {

namespace {

std::string keyOf(int32_t count, const rt::DataCell* args, int32_t i) { return textOf(argument(count, args, i)); }

// The amount of Incr/Decr: counted by its absolute value; left out or 0 counts one.
int64_t amountOf(const rt::DataCell& cell) {
    int64_t amount = integerOf(cell, 1);
    if (amount < 0) amount = -amount;
    return amount == 0 ? 1 : amount;
}

// Empties the result table and adds every found key (arguments 1 onward).
bool fillTable(int32_t count, const rt::DataCell* args, bool asText) {
    const rt::DataCell& target = argument(count, args, 0);
    JMapTable* table = target.absent() ? nullptr : liveTable(target.asWord());
    if (!table) return false;
    table->clear();
    for (int32_t i = 1; i < count; ++i) {
        std::string key = keyOf(count, args, i);
        std::optional<std::string> value = memoryCache().get(key);
        std::optional<std::string> keyUtf8 = toUtf8(key, kRuntimeCodePage);
        if (!value || !keyUtf8) continue;
        std::optional<std::string> text = asText ? toUtf8(*value, kRuntimeCodePage) : std::nullopt;
        if (text) table->setText(*keyUtf8, *text);
        else table->setBytes(*keyUtf8, *value);
    }
    return true;
}

}  // namespace

void cacheGet(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setByteSet(nullptr);
    guarded([&] {
        if (auto value = memoryCache().get(keyOf(count, args, 0))) result->setByteSet(runtimeByteSet(*value));
    });
}

void cacheGetText(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setText(nullptr);
    guarded([&] {
        if (auto value = memoryCache().get(keyOf(count, args, 0)))
            result->setText(runtimeText(std::string_view(value->c_str())));  // a text ends at its first zero
    });
}

void cacheSet(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] {
        std::string content;
        if (!bytesOf(argument(count, args, 1), content) && !argument(count, args, 1).absent()) return;
        memoryCache().set(keyOf(count, args, 0), content, integerOf(argument(count, args, 2), 0));
        result->setBool(true);
    });
}

void cacheSetText(rt::DataCell* result, int32_t count, rt::DataCell* args) { cacheSet(result, count, args); }

void cacheMultiGet(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] { result->setBool(fillTable(count, args, false)); });
}

void cacheMultiGetText(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] { result->setBool(fillTable(count, args, true)); });
}

void cacheExists(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] { result->setBool(memoryCache().exists(keyOf(count, args, 0))); });
}

void cacheDelete(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] { result->setBool(memoryCache().remove(keyOf(count, args, 0))); });
}

void cacheClear(rt::DataCell* result, int32_t, rt::DataCell*) {
    result->setBool(false);
    guarded([&] {
        memoryCache().clear();
        result->setBool(true);
    });
}

void cacheIncr(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setInt64(0);
    guarded([&] {
        result->setInt64(memoryCache().add(keyOf(count, args, 0), amountOf(argument(count, args, 1)),
                                           integerOf(argument(count, args, 2), 0)));
    });
}

void cacheDecr(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setInt64(0);
    guarded([&] {
        result->setInt64(memoryCache().add(keyOf(count, args, 0), -amountOf(argument(count, args, 1)),
                                           integerOf(argument(count, args, 2), 0)));
    });
}

void cacheSetExpire(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] {
        result->setBool(memoryCache().setExpiry(keyOf(count, args, 0), integerOf(argument(count, args, 1), 0)));
    });
}

void releaseAll() {
    guarded([] {
        destroyAllTables();
        memoryCache().clear();
    });
}

}  // namespace srvkit
