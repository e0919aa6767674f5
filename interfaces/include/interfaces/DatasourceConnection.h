// The product's data-source connection component: it knows the connection strings of the product's
// databases and hands them out by number.
//
// Keeps: creation by ProgID ("Corvane.DatasourceConnection"), the interface id
// {7C01D896-C9C1-11D3-9925-00805F935273} and its first own method, which takes a database number and
// returns an ADO connection string for it (8: the I18N database).
// Leaves out: the component's other methods and its dispatch interface; where it finds the strings
// is the component's own business.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Com.h"

namespace platform {

inline constexpr std::string_view kDatasourceConnectionProgId = "Corvane.DatasourceConnection";
// The class id of the reference component (components/DatasourceConnection.h).
inline constexpr GUID kDatasourceConnectionClsid = GuidLiteral("{7C01D895-C9C1-11D3-9925-00805F935273}");

// The number of the I18N database.
inline constexpr std::int32_t kI18NDatasource = 8;

class IDatasourceConnection : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{7C01D896-C9C1-11D3-9925-00805F935273}");

  // The connection string of database `datasource`. A failure HRESULT leaves `connectionString`
  // as it was.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT ConnectionString(std::int32_t datasource,
                                                                          std::string& connectionString) = 0;

 protected:
  ~IDatasourceConnection() = default;
};

}  // namespace platform
