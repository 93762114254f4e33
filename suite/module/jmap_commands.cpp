// The key-value table commands. The table variable comes by reference as
// the first argument and holds the handle of a table of this module.
#include <optional>

#include "suite/module/commands.h"
#include "suite/module/jmap_table.h"
#include "suite/module/runtime_link.h"
#include "suite/module/text_encoding.h"

namespace srvkit {

namespace {

uint32_t* variableOf(const rt::DataCell& cell) {
    return cell.byReference() ? reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(cell.lo)) : nullptr;
}

JMapTable* tableOf(const rt::DataCell& cell) {
    if (cell.absent()) return nullptr;
    return liveTable(cell.asWord());
}

}  // namespace

void baseCreate(rt::DataCell*, int32_t count, rt::DataCell* args) {
    guarded([&] {
        uint32_t* variable = variableOf(argument(count, args, 0));
        if (!variable) return;
        if (JMapTable* table = liveTable(*variable)) table->clear();
        else *variable = handleOf(createTable());
    });
}

void baseRelease(rt::DataCell*, int32_t count, rt::DataCell* args) {
    guarded([&] {
        uint32_t* variable = variableOf(argument(count, args, 0));
        if (!variable) return;
        destroyTable(*variable);
        *variable = 0;
    });
}

void getString(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    guarded([&] {
        const JMapTable* table = tableOf(argument(count, args, 0));
        std::string key;
        if (!table || !bytesOf(argument(count, args, 1), key)) return;
        std::optional<std::string> keyUtf8 = toUtf8(key, table->wideKeys() ? kUtf16Le : kRuntimeCodePage);
        if (!keyUtf8) return;
        bool raw = false;
        std::optional<std::string> value = table->lookup(*keyUtf8, &raw);
        if (!value) return;
        result->setText(runtimeText(raw ? *value : fromUtf8(*value, kRuntimeCodePage)));
    });
}

void fromJson(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    result->setBool(false);
    guarded([&] {
        JMapTable* table = tableOf(argument(count, args, 0));
        if (!table) return;
        table->clear();
        std::string data;
        if (!bytesOf(argument(count, args, 1), data)) return;
        // No encoding named: the data is runtime text already.
        std::string encoding = textOf(argument(count, args, 2));
        std::optional<unsigned> codePage =
            encoding.empty() ? std::optional<unsigned>(kRuntimeCodePage) : codePageForName(encoding);
        if (!codePage) return;
        std::optional<std::string> utf8 = toUtf8(data, *codePage);
        if (!utf8) return;
        bool convertEscapes = logicalOf(argument(count, args, 3), false);
        bool wideKeys = logicalOf(argument(count, args, 4), false);
        result->setBool(table->loadJson(*utf8, convertEscapes, wideKeys));
    });
}

}  // namespace srvkit
