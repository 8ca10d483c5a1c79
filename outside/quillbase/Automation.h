#pragma once
// Quillbase's automation objects: the application, its collection of open
// catalogs, the entries of that collection and the catalogs. The catalogs open
// in the process are shared by every client.
#include "platform/com/DispatchObject.h"

#include <memory>

namespace quillbase {

// Dispatch ids the catalog client calls.
namespace dispid {
inline constexpr int32_t NewCatalog = 14;   // application: method (path, variant) -> entry
inline constexpr int32_t OpenCatalog = 15;  // application: method (path, variant) -> entry
inline constexpr int32_t Activate = 16;     // application: method; entry: property get -> catalog
inline constexpr int32_t Visible = 4;       // application: property put/get (bool)
inline constexpr int32_t Catalogs = 10;     // application: property get -> collection
inline constexpr int32_t Count = 3;         // collection: property get -> int
inline constexpr int32_t Item = 7;          // collection: property get (index) -> entry
inline constexpr int32_t Catalog = 16;      // entry: property get -> catalog
inline constexpr int32_t FullName = 8;      // catalog: property get -> string
inline constexpr int32_t AddFile = 30;      // catalog: method (path)
}  // namespace dispid

inline constexpr const char* kClassId = "{3E7C1A50-9B2D-4F61-8A47-5D0C9E2B7F18}";

std::shared_ptr<plat::ComObject> makeApplication();

}  // namespace quillbase
