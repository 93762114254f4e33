#include "runtime/libraries.h"

namespace rt {

const LibraryInfo kCoreLibrary =
    describeLibrary("5ee4e54aeff2803eb86f8301d7a0297f", "系统核心库", 5, 7, 64);
const LibraryInfo kExtendedUiLibrary =
    describeLibrary("c090aeddeeb98f7a1ad54cd8dd59ad66", "扩展界面库一", 2, 0, 3);
const LibraryInfo kSpecialFunctionsLibrary =
    describeLibrary("5422c16a04b9e411e56b671fd11fd9a2", "特殊功能库", 3, 1, 0);
const LibraryInfo kDataOperationsLibrary =
    describeLibrary("3fcc784a958cde5140f6765228879a29", "数据操作库一", 2, 0, 50);

}  // namespace rt
